// vantoli-content-server: the reference content and statistics server.

#include "catalog_builder.h"
#include "content_server.h"
#include "operator_cli.h"
#include "operator_commands.h"

#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string>
#include <thread>

#include <QRegularExpression>

using namespace vantoli::server;

namespace {

const char *kUsage =
    "usage:\n"
    "  vantoli-content-server serve --data DIR [--bind 127.0.0.1] [--port 8260] [--public-base URL]\n"
    "                                [--behind-proxy] [--request-timeout SECONDS] [--tracker URL]\n"
    "  vantoli-content-server demo --data DIR [--public-base URL]\n"
    "  vantoli-content-server check --data DIR\n"
    "  vantoli-content-server import --data DIR [--kind peer] MEDIA_FOLDER\n"
    "  vantoli-content-server operator --data DIR COMMAND ...   (switches, notices, releases:\n"
    "                                                             \"operator --data DIR help\")\n";

int usage(const std::string &problem = {}) {
    if (!problem.empty())
        std::cerr << "vantoli-content-server: " << problem << "\n";
    std::cerr << kUsage;
    return 2;
}

bool validBase(const std::string &url) {
    return (url.rfind("http://", 0) == 0 || url.rfind("https://", 0) == 0) && url.back() == '/' &&
           url.find_first_of(" \"'<>\\$#|&;") == std::string::npos && url.size() < 512;
}

} // namespace

int main(int argc, char **argv) {
    if (argc < 2)
        return usage();
    const std::string command = argv[1];
    if (command == "--help" || command == "-h") {
        std::cout << kUsage;
        return 0;
    }

    if (command == "operator")
        return runOperator(argc, argv);

    std::string data, bind = "127.0.0.1", publicBase, kind = "peer", size = "640x360", tracker;
    int port = 8260, clipSeconds = 25, requestTimeout = 10;
    bool behindProxy = false;
    std::string positional;
    for (int i = 2; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](std::string &out) {
            if (i + 1 >= argc)
                return false;
            out = argv[++i];
            return true;
        };
        std::string v;
        if (a == "--data" && value(data)) {
        } else if (a == "--bind" && value(bind)) {
        } else if (a == "--public-base" && value(publicBase)) {
        } else if (a == "--kind" && value(kind)) {
        } else if (a == "--tracker" && value(tracker)) {
            // Written into every served torrent and announced to by
            // viewers: an http URL ending in "/announce".
            const std::string path = "announce";
            if (tracker.size() <= path.size() || tracker.compare(tracker.size() - path.size(), path.size(), path) != 0 ||
                !validBase(tracker.substr(0, tracker.size() - path.size())))
                return usage("--tracker must be an http(s) URL ending in \"/announce\"");
        } else if (a == "--port" && value(v)) {
            port = std::atoi(v.c_str());
            if (port < 0 || port > 65535 || v.find_first_not_of("0123456789") != std::string::npos)
                return usage("bad port " + v);
        } else if (a == "--request-timeout" && value(v)) {
            requestTimeout = std::atoi(v.c_str());
            if (requestTimeout < 1 || requestTimeout > 300 || v.find_first_not_of("0123456789") != std::string::npos)
                return usage("bad request time-out " + v);
        } else if (a == "--behind-proxy") {
            behindProxy = true;
        } else if (a == "--clip-seconds" && value(v)) { // for tests: short demo clips
            clipSeconds = std::atoi(v.c_str());
            if (clipSeconds < 1 || clipSeconds > 600)
                return usage("bad clip length " + v);
        } else if (a == "--size" && value(size)) { // for tests: small demo pictures
            if (!QRegularExpression(QStringLiteral("^[0-9]{2,4}x[0-9]{2,4}$"))
                     .match(QString::fromStdString(size))
                     .hasMatch())
                return usage("bad size " + size);
        } else if (a.rfind("--", 0) != 0 && positional.empty()) {
            positional = a;
        } else {
            return usage("unexpected argument " + a);
        }
    }
    if (data.empty())
        return usage("--data DIR is required");
    if (!publicBase.empty() && !validBase(publicBase))
        return usage("--public-base must be an http(s) URL ending in \"/\"");

    if (command == "demo") {
        DemoOptions o;
        o.dataDir = data;
        if (!publicBase.empty())
            o.publicBase = publicBase;
        o.clipSeconds = clipSeconds;
        o.size = QString::fromStdString(size);
        o.fast = clipSeconds < 5;
        std::cout << "Creating the demo catalog in " << data << " (media made with ffmpeg)...\n";
        const std::string err = createDemo(o, [](const std::string &s) { std::cout << "  " << s << "\n" << std::flush; });
        if (!err.empty()) {
            std::cerr << "vantoli-content-server: " << err << "\n";
            return 1;
        }
        std::cout << "Done.\n";
        return 0;
    }
    if (command == "import") {
        if (positional.empty())
            return usage("import needs a MEDIA_FOLDER");
        int count = 0;
        const std::string err = importMedia({data, positional, QString::fromStdString(kind)},
                                            [](const std::string &s) { std::cout << "  added " << s << "\n"; },
                                            &count);
        if (!err.empty()) {
            std::cerr << "vantoli-content-server: " << err << "\n";
            return 1;
        }
        std::cout << count << " title(s) imported.\n";
        return 0;
    }
    if (command == "check") {
        CatalogStore store;
        if (!store.openForReading(data)) {
            std::cerr << "vantoli-content-server: " << store.error() << "\n";
            return 1;
        }
        return 0;
    }
    if (command != "serve")
        return usage("unknown command " + command);
    if (!positional.empty())
        return usage("unexpected argument " + positional);

    ServerOptions o;
    o.dataDir = data;
    o.bind = bind;
    o.port = port;
    o.publicBase = publicBase;
    o.behindProxy = behindProxy;
    o.tracker = tracker;
    o.requestDeadline = std::chrono::seconds(requestTimeout);
    static std::mutex logMutex;
    o.log = [](const std::string &line) {
        std::lock_guard lock(logMutex);
        std::fprintf(stdout, "%s\n", line.c_str());
        std::fflush(stdout);
    };
    // SIGINT and SIGTERM are taken by a thread of their own, so stopping
    // runs as ordinary code rather than inside a signal handler.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    ContentServer server(o);
    if (!server.start()) {
        std::cerr << "vantoli-content-server: " << server.error() << "\n";
        return 1;
    }
    if (bind != "127.0.0.1" && bind != "::1" && bind != "localhost")
        std::cerr << "vantoli-content-server: listening on " << bind
                  << ", reachable from other machines\n";
    std::cout << "Serving " << data << " on http://" << (bind.find(':') != std::string::npos ? "[" + bind + "]" : bind)
              << ":" << server.port() << "/" << std::endl;
    std::thread stopper([&] {
        int sig = 0;
        sigwait(&stopSignals, &sig);
        server.stop();
    });
    server.run();
    // run() only returns after stop(), which only the stopper calls.
    stopper.join();
    return 0;
}
