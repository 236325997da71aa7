#include "http_server.h"

#include <boost/asio.hpp>
#include <boost/beast/core.hpp>
#include <boost/beast/http.hpp>

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <optional>
#include <regex>
#include <thread>

namespace net = boost::asio;
namespace beast = boost::beast;
namespace bhttp = boost::beast::http;
using tcp = net::ip::tcp;

namespace vantoli::server::http {

namespace {

constexpr std::size_t kPiece = 64 * 1024;
// After a reply that ends the connection, what the client still sends is
// read and dropped for a while, so the reply is not lost to a reset.
constexpr std::size_t kDrainBytes = 1 << 20;
constexpr auto kDrainTime = std::chrono::seconds(2);

bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// "%XX" becomes the byte; a "%" not followed by two hex digits stays.
std::string decodePath(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = hexDigit(s[i + 1]), lo = hexDigit(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

bool safeHeaderText(std::string_view s) {
    return s.find_first_of("\r\n") == std::string_view::npos;
}

struct Route {
    enum class Kind { Exact, Prefix, Pattern } kind;
    std::string text;
    std::regex pattern;
    Handler handler;
};

} // namespace

std::string Request::header(std::string_view name) const {
    for (const auto &[k, v] : headers)
        if (equalsNoCase(k, name))
            return v;
    return {};
}

void Response::setHeader(std::string name, std::string value) {
    headers.emplace_back(std::move(name), std::move(value));
}

void Response::setContent(std::string content, std::string type) {
    body = std::move(content);
    contentType = std::move(type);
    file.reset();
}

void Response::setFile(int fd, std::uint64_t offset, std::uint64_t length, std::string type) {
    body.clear();
    contentType = std::move(type);
    file = std::make_shared<FilePart>();
    file->fd = fd;
    file->offset = offset;
    file->length = length;
}

Response::FilePart::~FilePart() {
    if (fd >= 0)
        ::close(fd);
}

// Members that sessions use are declared before the I/O context, so they
// outlive the sessions it destroys when it goes.
struct ServerCore {
    Limits limits;
    std::vector<Route> routes;
    Handler errorHandler;
    std::function<void(const Request &, const Response &)> log;
    Headers defaults;
    std::atomic<int> open{0};
    int port = 0;

    net::io_context ioc;
    tcp::acceptor acceptor{ioc};
    net::steady_timer retry{ioc};

    void accept();
    void dispatch(Request &req, Response &res) const;
};

namespace {

class Session : public std::enable_shared_from_this<Session> {
public:
    Session(ServerCore *core, tcp::socket socket)
        : core_(core), stream_(std::move(socket)), buffer_(core->limits.headerBytes + 4096) {
        ++core_->open;
        beast::error_code ec;
        stream_.socket().set_option(tcp::no_delay(true), ec);
        auto address = stream_.socket().remote_endpoint(ec).address();
        if (!ec) {
            if (address.is_v6() && address.to_v6().is_v4_mapped())
                address = net::ip::make_address_v4(net::ip::v4_mapped, address.to_v6());
            remote_ = address.to_string();
        }
    }
    ~Session() { --core_->open; }

    void readHead() {
        parser_.emplace();
        parser_->header_limit(std::uint32_t(core_->limits.headerBytes));
        // One deadline for the whole head, however slowly it trickles in.
        stream_.expires_after(core_->limits.requestDeadline);
        bhttp::async_read_header(stream_, buffer_, *parser_,
                                 [self = shared_from_this()](beast::error_code ec, std::size_t) {
                                     self->onHead(ec);
                                 });
    }

private:
    void onHead(beast::error_code ec) {
        static const auto &parseErrors = bhttp::make_error_code(bhttp::error::bad_method).category();
        if (ec == bhttp::error::header_limit || ec == bhttp::error::buffer_overflow)
            return refuse(431, "request header too large\n");
        if (ec == bhttp::error::end_of_stream || ec == bhttp::error::partial_message ||
            (ec && ec.category() != parseErrors))
            return closeNow(); // gone, reset, or out of time
        if (ec)
            return refuse(400, "bad request\n");

        const auto &msg = parser_->get();
        Request req;
        req.method = std::string(msg.method_string());
        req.target = std::string(msg.target());
        req.remoteAddr = remote_;
        for (const auto &f : msg)
            req.headers.emplace_back(std::string(f.name_string()), std::string(f.value()));
        version_ = msg.version();
        bool close = !msg.keep_alive() || ++served_ >= core_->limits.requestsPerConnection;

        Response res;
        if (msg.method() != bhttp::verb::get && msg.method() != bhttp::verb::head) {
            res.status = 405;
            res.setHeader("Allow", "GET, HEAD");
            close = true;
        } else if (msg.find(bhttp::field::transfer_encoding) != msg.end() ||
                   parser_->content_length().value_or(0) > 0 || !parser_->is_done()) {
            // The body is never read, so the connection cannot go on.
            res.status = 400;
            close = true;
        } else if (req.target.size() > core_->limits.targetBytes) {
            res.status = 414;
            close = true;
        } else if (req.target.empty() || req.target.front() != '/') {
            res.status = 400;
            close = true;
        } else {
            req.path = decodePath(std::string_view(req.target).substr(0, req.target.find('?')));
            try {
                core_->dispatch(req, res);
            } catch (const std::exception &) {
                res = Response();
                res.status = 500;
            }
        }
        if (res.status >= 400 && res.body.empty() && !res.file && core_->errorHandler)
            core_->errorHandler(req, res);
        reply(req, std::move(res), close);
    }

    void refuse(int status, const char *text) {
        Request req;
        req.method = "-";
        req.target = "-";
        req.remoteAddr = remote_;
        Response res;
        res.status = status;
        res.setContent(text, "text/plain; charset=utf-8");
        reply(req, std::move(res), true);
    }

    void reply(const Request &req, Response res, bool close) {
        if (core_->log)
            core_->log(req, res);
        head_ = "HTTP/1.1 " + std::to_string(res.status) + ' ' +
                std::string(bhttp::obsolete_reason(bhttp::status(res.status))) + "\r\n";
        auto add = [this](std::string_view name, std::string_view value) {
            if (!safeHeaderText(name) || !safeHeaderText(value))
                return;
            head_ += name;
            head_ += ": ";
            head_ += value;
            head_ += "\r\n";
        };
        for (const auto &[k, v] : core_->defaults)
            add(k, v);
        for (const auto &[k, v] : res.headers)
            add(k, v);
        if (!res.contentType.empty())
            add("Content-Type", res.contentType);
        add("Content-Length", std::to_string(res.file ? res.file->length : res.body.size()));
        if (close)
            add("Connection", "close");
        else if (version_ == 10)
            add("Connection", "keep-alive");
        head_ += "\r\n";
        if (req.isHead()) {
            body_.clear();
            file_.reset();
        } else {
            body_ = std::move(res.body);
            file_ = std::move(res.file);
        }
        fileSent_ = 0;
        close_ = close;
        stream_.expires_after(core_->limits.writeTimeout);
        const std::array<net::const_buffer, 2> parts{net::buffer(head_), net::buffer(body_)};
        net::async_write(stream_, parts, [self = shared_from_this()](beast::error_code ec, std::size_t) {
            self->onWritten(ec);
        });
    }

    void onWritten(beast::error_code ec) {
        if (ec)
            return closeNow();
        if (file_ && fileSent_ < file_->length)
            return sendFilePiece();
        file_.reset();
        if (close_)
            return closeGracefully();
        readHead();
    }

    void sendFilePiece() {
        piece_.resize(kPiece);
        const std::size_t want = std::size_t(std::min<std::uint64_t>(kPiece, file_->length - fileSent_));
        const ssize_t got = ::pread(file_->fd, piece_.data(), want, off_t(file_->offset + fileSent_));
        if (got <= 0)
            return closeNow(); // the file is shorter than announced; the client sees a cut reply
        fileSent_ += std::uint64_t(got);
        stream_.expires_after(core_->limits.writeTimeout);
        net::async_write(stream_, net::buffer(piece_.data(), std::size_t(got)),
                         [self = shared_from_this()](beast::error_code ec, std::size_t) { self->onWritten(ec); });
    }

    void closeGracefully() {
        beast::error_code ec;
        stream_.socket().shutdown(tcp::socket::shutdown_send, ec);
        stream_.expires_after(kDrainTime);
        piece_.resize(16 * 1024);
        drain();
    }

    void drain() {
        stream_.async_read_some(net::buffer(piece_), [self = shared_from_this()](beast::error_code ec, std::size_t n) {
            self->drained_ += n;
            if (!ec && self->drained_ < kDrainBytes)
                self->drain();
            else
                self->closeNow();
        });
    }

    void closeNow() {
        beast::error_code ec;
        stream_.socket().shutdown(tcp::socket::shutdown_both, ec);
        stream_.close();
    }

    ServerCore *core_;
    beast::tcp_stream stream_;
    beast::flat_buffer buffer_;
    std::optional<bhttp::request_parser<bhttp::empty_body>> parser_;
    std::string remote_;
    unsigned version_ = 11;
    int served_ = 0;
    bool close_ = false;
    std::string head_, body_;
    std::shared_ptr<Response::FilePart> file_;
    std::uint64_t fileSent_ = 0;
    std::vector<char> piece_;
    std::size_t drained_ = 0;
};

} // namespace

void ServerCore::accept() {
    acceptor.async_accept(net::make_strand(ioc), [this](beast::error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor.is_open())
            return;
        if (ec) {
            // Typically out of descriptors: try again shortly instead of
            // spinning.
            retry.expires_after(std::chrono::milliseconds(100));
            retry.async_wait([this](beast::error_code e) {
                if (!e)
                    accept();
            });
            return;
        }
        if (open.load() < limits.maxConnections)
            std::make_shared<Session>(this, std::move(socket))->readHead();
        accept();
    });
}

void ServerCore::dispatch(Request &req, Response &res) const {
    for (const Route &r : routes) {
        switch (r.kind) {
        case Route::Kind::Exact:
            if (req.path != r.text)
                continue;
            req.matches = {req.path};
            break;
        case Route::Kind::Prefix:
            if (req.path.size() <= r.text.size() || req.path.compare(0, r.text.size(), r.text) != 0)
                continue;
            req.matches = {req.path, req.path.substr(r.text.size())};
            break;
        case Route::Kind::Pattern: {
            std::smatch m;
            if (!std::regex_match(req.path, m, r.pattern))
                continue;
            req.matches.assign(m.begin(), m.end());
            break;
        }
        }
        r.handler(req, res);
        return;
    }
    res.status = 404;
}

Server::Server(Limits limits) : core_(std::make_unique<ServerCore>()) {
    core_->limits = limits;
}

Server::~Server() {
    stop();
}

void Server::route(std::string path, Handler handler) {
    core_->routes.push_back({Route::Kind::Exact, std::move(path), {}, std::move(handler)});
}

void Server::routeMatching(const std::string &pattern, Handler handler) {
    core_->routes.push_back({Route::Kind::Pattern, pattern, std::regex(pattern), std::move(handler)});
}

void Server::routePrefix(std::string prefix, Handler handler) {
    core_->routes.push_back({Route::Kind::Prefix, std::move(prefix), {}, std::move(handler)});
}

void Server::onError(Handler handler) {
    core_->errorHandler = std::move(handler);
}

void Server::onReply(std::function<void(const Request &, const Response &)> log) {
    core_->log = std::move(log);
}

void Server::setDefaultHeaders(Headers headers) {
    core_->defaults = std::move(headers);
}

bool Server::listen(const std::string &address, int port, std::string *error) {
    // Each connection is a descriptor: take what the system allows and
    // keep the connection limit below it.
    rlimit fds{};
    if (::getrlimit(RLIMIT_NOFILE, &fds) == 0) {
        const rlim_t want = std::min<rlim_t>(fds.rlim_max, 65536);
        if (fds.rlim_cur < want) {
            fds.rlim_cur = want;
            ::setrlimit(RLIMIT_NOFILE, &fds);
            ::getrlimit(RLIMIT_NOFILE, &fds);
        }
        core_->limits.maxConnections =
            int(std::min<rlim_t>(rlim_t(core_->limits.maxConnections), fds.rlim_cur > 128 ? fds.rlim_cur - 64 : 64));
    }
    beast::error_code ec;
    tcp::resolver resolver(core_->ioc);
    const auto found = resolver.resolve(address, std::to_string(port),
                                        tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec || found.empty()) {
        *error = "cannot resolve " + address;
        return false;
    }
    const tcp::endpoint endpoint = found.begin()->endpoint();
    auto &a = core_->acceptor;
    a.open(endpoint.protocol(), ec);
    if (!ec)
        a.set_option(net::socket_base::reuse_address(true), ec);
    if (!ec)
        a.bind(endpoint, ec);
    if (!ec)
        a.listen(net::socket_base::max_listen_connections, ec);
    if (ec) {
        *error = ec.message();
        a.close(ec);
        return false;
    }
    core_->port = a.local_endpoint(ec).port();
    core_->accept();
    return true;
}

int Server::port() const {
    return core_->port;
}

void Server::run() {
    std::vector<std::thread> more;
    for (int i = 1; i < core_->limits.threads; ++i)
        more.emplace_back([this] { core_->ioc.run(); });
    core_->ioc.run();
    for (auto &t : more)
        t.join();
}

void Server::stop() {
    core_->ioc.stop();
}

} // namespace vantoli::server::http
