// The "operator" command of vantoli-content-server.

#include "operator_cli.h"

#include "operator_commands.h"
#include "torrents.h"

#include <QString>

#include <iostream>
#include <string>
#include <vector>

namespace vantoli::server {

namespace {

const char *kOperatorUsage =
    "usage: vantoli-content-server operator --data DIR COMMAND ...\n"
    "  set-switches [--recommend 0|1] [--popup 0|1] [--pause-ad 0|1] [--notice-line 0|1]\n"
    "               [--stop-ad 0|1] [--latest VERSION]\n"
    "      the control file lib/wen.txt; what is not given stays\n"
    "  notice-schedule --delay SECONDS --show MINUTES [--cycle] URL...\n"
    "      the notice pop-up's pages, lib/tan.txt\n"
    "  notice-line TEXT LINK [TEXT LINK ...]\n"
    "      the scrolling notice line, lib/gun.txt (LINK \"*\" for none)\n"
    "  publish-release [--no-announce] VERSION FILE...\n"
    "      packs and signs a release into update/VERSION/ and announces it\n"
    "      (VERSION: numbers separated by dots, newer than the installed program's)\n"
    "  release-key\n"
    "      prints the public key releases are signed with (made on first use, mode 0600);\n"
    "      build the program with -DVANTOLI_RELEASE_PUBLIC_KEY=<it> to let it update itself\n"
    "  torrents\n"
    "      lists the media torrents: info-hash, size, state (current, changed, missing), media path\n"
    "  make-torrents\n"
    "      makes the torrents of new or changed media files and drops unused ones\n"
    "      (torrents/whitelist.txt then lists the info-hashes for the tracker)\n";

int usage(const std::string &problem) {
    std::cerr << "vantoli-content-server: " << problem << "\n" << kOperatorUsage;
    return 2;
}

int done(const std::string &error) {
    if (!error.empty()) {
        std::cerr << "vantoli-content-server: " << error << "\n";
        return 1;
    }
    return 0;
}

QString arg(const char *s) {
    return QString::fromLocal8Bit(s);
}

bool number(const std::string &s, int *out) {
    if (s.empty() || s.size() > 9 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *out = std::stoi(s);
    return true;
}

} // namespace

int runOperator(int argc, char **argv) {
    std::string data;
    int i = 2;
    if (i + 1 < argc && std::string(argv[i]) == "--data") {
        data = argv[i + 1];
        i += 2;
    }
    if (i < argc && (std::string(argv[i]) == "help" || std::string(argv[i]) == "--help")) {
        std::cout << kOperatorUsage;
        return 0;
    }
    if (data.empty())
        return usage("operator needs --data DIR");
    if (i >= argc)
        return usage("operator needs a command");
    const std::string command = argv[i++];

    if (command == "set-switches") {
        static const std::vector<std::string> names{"--recommend", "--popup", "--pause-ad", "--notice-line",
                                                    "--stop-ad", "--latest"};
        ControlFields fields;
        for (; i < argc; i += 2) {
            const std::string a = argv[i];
            size_t f = 0;
            while (f < names.size() && names[f] != a)
                ++f;
            if (f == names.size() || i + 1 >= argc)
                return usage("unexpected argument " + a);
            const std::string v = argv[i + 1];
            if (f < 5 && v != "0" && v != "1")
                return usage(a + " takes 0 or 1");
            fields[f] = arg(argv[i + 1]);
        }
        return done(setControlFields(data, fields));
    }
    if (command == "notice-schedule") {
        int delay = -1, show = -1;
        bool cycle = false;
        QStringList urls;
        for (; i < argc; ++i) {
            const std::string a = argv[i];
            if (a == "--delay" && i + 1 < argc) {
                if (!number(argv[++i], &delay))
                    return usage("--delay takes whole seconds");
            } else if (a == "--show" && i + 1 < argc) {
                if (!number(argv[++i], &show))
                    return usage("--show takes whole minutes");
            } else if (a == "--cycle") {
                cycle = true;
            } else if (a.rfind("--", 0) == 0) {
                return usage("unexpected argument " + a);
            } else {
                urls << arg(argv[i]);
            }
        }
        if (delay < 0 || show < 0)
            return usage("notice-schedule needs --delay and --show");
        return done(setNoticeSchedule(data, delay, show, cycle, urls));
    }
    if (command == "notice-line") {
        if ((argc - i) % 2 != 0 || i >= argc)
            return usage("notice-line takes pairs of TEXT and LINK");
        std::vector<std::pair<QString, QString>> notices;
        for (; i + 1 < argc; i += 2)
            notices.emplace_back(arg(argv[i]), arg(argv[i + 1]));
        return done(setNoticeLine(data, notices));
    }
    if (command == "publish-release") {
        bool announce = true;
        if (i < argc && std::string(argv[i]) == "--no-announce") {
            announce = false;
            ++i;
        }
        if (argc - i < 2)
            return usage("publish-release needs a VERSION and at least one FILE");
        const QString version = arg(argv[i++]);
        QStringList files;
        for (; i < argc; ++i)
            files << arg(argv[i]);
        QString publicKey;
        bool made = false;
        if (std::string err = releaseKey(data, &publicKey, &made); !err.empty())
            return done(err);
        if (made)
            std::cout << "Made a release signing key in " << data << "/keys/. Programs accept its releases when "
                      << "built with -DVANTOLI_RELEASE_PUBLIC_KEY=" << publicKey.toStdString() << "\n";
        if (std::string err = publishRelease(data, version, files, announce); !err.empty())
            return done(err);
        std::cout << "Published release " << version.toStdString() << " in " << data << "/update/"
                  << version.toStdString() << "/" << (announce ? " and announced it in lib/wen.txt" : "")
                  << "\n";
        return 0;
    }
    if (command == "release-key") {
        if (i != argc)
            return usage("release-key takes no arguments");
        QString publicKey;
        bool made = false;
        if (std::string err = releaseKey(data, &publicKey, &made); !err.empty())
            return done(err);
        if (made)
            std::cerr << "vantoli-content-server: made a new release signing key in " << data << "/keys/\n";
        std::cout << publicKey.toStdString() << "\n";
        return 0;
    }
    if (command == "torrents") {
        if (i != argc)
            return usage("torrents takes no arguments");
        for (const TorrentStatus &t : listTorrents(data)) {
            const char *state = t.state == TorrentState::Current ? "current"
                                : t.state == TorrentState::Changed ? "changed"
                                                                   : "missing";
            std::cout << t.entry.infoHash << '\t' << t.entry.size << '\t' << state << '\t'
                      << t.entry.path.toStdString() << '\n';
        }
        return 0;
    }
    if (command == "make-torrents") {
        if (i != argc)
            return usage("make-torrents takes no arguments");
        int made = 0;
        if (std::string err = makeTorrents(data, [](const std::string &s) { std::cout << s << '\n'; }, &made);
            !err.empty())
            return done(err);
        std::cout << made << " torrent(s) made; the tracker's whitelist is " << data << "/torrents/whitelist.txt\n";
        return 0;
    }
    return usage("unknown operator command " + command);
}

} // namespace vantoli::server
