#include "terminal/peer_terminal/connection_gate.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <vector>

namespace vantoli::terminal {

namespace {

using Clock = std::chrono::steady_clock;

void closeFd(int fd) {
    if (fd >= 0)
        ::close(fd);
}

bool writeAll(int fd, const char *data, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::send(fd, data, n, MSG_NOSIGNAL);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        data += w;
        n -= std::size_t(w);
    }
    return true;
}

} // namespace

ConnectionGate::ConnectionGate(std::string backendSocket, GateLimits limits)
    : backend_(std::move(backendSocket)), limits_(limits) {}

ConnectionGate::~ConnectionGate() {
    stop();
}

long ConnectionGate::peerUser(int fd) {
    sockaddr_in local{}, peer{};
    socklen_t n = sizeof local;
    if (::getsockname(fd, reinterpret_cast<sockaddr *>(&local), &n) != 0 || local.sin_family != AF_INET)
        return -1;
    n = sizeof peer;
    if (::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &n) != 0)
        return -1;
    // The peer's own socket is the one whose source is our remote end: ask
    // the kernel for exactly that socket (a walk of /proc/net/tcp may miss
    // entries while the table changes).
    const int diag = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (diag < 0)
        return -1;
    struct {
        nlmsghdr header;
        inet_diag_req_v2 request;
    } query{};
    query.header.nlmsg_len = sizeof query;
    query.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
    query.header.nlmsg_flags = NLM_F_REQUEST;
    query.request.sdiag_family = AF_INET;
    query.request.sdiag_protocol = IPPROTO_TCP;
    query.request.idiag_states = ~0u;
    query.request.id.idiag_sport = peer.sin_port;
    query.request.id.idiag_dport = local.sin_port;
    query.request.id.idiag_src[0] = peer.sin_addr.s_addr;
    query.request.id.idiag_dst[0] = local.sin_addr.s_addr;
    query.request.id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
    query.request.id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
    long uid = -1;
    timeval wait{1, 0};
    ::setsockopt(diag, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    if (::send(diag, &query, sizeof query, 0) == ssize_t(sizeof query)) {
        alignas(nlmsghdr) char reply[8192];
        const ssize_t got = ::recv(diag, reply, sizeof reply, 0);
        const auto *h = reinterpret_cast<const nlmsghdr *>(reply);
        if (got > 0 && NLMSG_OK(h, std::size_t(got)) && h->nlmsg_type == SOCK_DIAG_BY_FAMILY &&
            h->nlmsg_len >= NLMSG_LENGTH(sizeof(inet_diag_msg)))
            uid = long(static_cast<const inet_diag_msg *>(NLMSG_DATA(h))->idiag_uid);
    }
    ::close(diag);
    return uid;
}

int ConnectionGate::start(int port) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listenFd_ < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (::bind(listenFd_, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(listenFd_, 128) != 0 ||
        ::getsockname(listenFd_, reinterpret_cast<sockaddr *>(&a), &n) != 0) {
        closeFd(listenFd_);
        listenFd_ = -1;
        return 0;
    }
    port_ = ntohs(a.sin_port);
    acceptThread_ = std::thread([this] { acceptLoop(); });
    return port_;
}

void ConnectionGate::stop() {
    if (stopping_.exchange(true))
        return;
    if (listenFd_ >= 0)
        ::shutdown(listenFd_, SHUT_RDWR);
    if (acceptThread_.joinable())
        acceptThread_.join();
    closeFd(listenFd_);
    listenFd_ = -1;
    std::unique_lock lock(mutex_);
    for (const int fd : open_)
        ::shutdown(fd, SHUT_RDWR); // wakes relays that wait on either side
    idle_.wait(lock, [&] { return relays_ == 0; });
}

void ConnectionGate::acceptLoop() {
    const long own = long(::geteuid());
    while (!stopping_) {
        const int client = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
                continue;
            }
            return; // shut down
        }
        const long user = peerUser(client);
        {
            const std::lock_guard lock(mutex_);
            const bool tooMany = relays_ >= limits_.connections ||
                                 (user != own && perUser_[user] >= limits_.connectionsPerOtherUser);
            if (tooMany || stopping_) {
                closeFd(client);
                continue;
            }
            ++relays_;
            ++perUser_[user];
            open_.insert(client);
        }
        std::thread([this, client, user] { relay(client, user); }).detach();
    }
}

bool ConnectionGate::readHead(int client, std::string *head) const {
    const auto deadline = Clock::now() + std::chrono::milliseconds(limits_.headDeadlineMs);
    char buffer[4096];
    while (head->find("\r\n\r\n") == std::string::npos) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0 || head->size() > limits_.maxHeadBytes || stopping_)
            return false;
        pollfd p{client, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(std::min<long long>(left, 500)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            return false;
        if (ready == 0)
            continue;
        const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
        if (got <= 0)
            return false;
        head->append(buffer, std::size_t(got));
    }
    return true;
}

void ConnectionGate::relay(int client, long user) {
    int backend = -1;
    std::string head;
    if (readHead(client, &head)) {
        backend = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un a{};
        a.sun_family = AF_UNIX;
        std::strncpy(a.sun_path, backend_.c_str(), sizeof a.sun_path - 1);
        bool registered = false;
        {
            const std::lock_guard lock(mutex_);
            if (!stopping_ && backend >= 0) {
                open_.insert(backend);
                registered = true;
            }
        }
        if (registered && ::connect(backend, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
            writeAll(backend, head.data(), head.size())) {
            const int one = 1;
            ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            std::vector<char> buffer(256 * 1024);
            pollfd fds[2] = {{client, POLLIN, 0}, {backend, POLLIN, 0}};
            bool clientOpen = true;
            for (;;) {
                fds[0].fd = clientOpen ? client : -1;
                if (::poll(fds, 2, -1) < 0) {
                    if (errno == EINTR)
                        continue;
                    break;
                }
                if (fds[1].revents) {
                    const ssize_t got = ::recv(backend, buffer.data(), buffer.size(), 0);
                    if (got <= 0 || !writeAll(client, buffer.data(), std::size_t(got)))
                        break;
                }
                if (clientOpen && fds[0].revents) {
                    const ssize_t got = ::recv(client, buffer.data(), buffer.size(), 0);
                    if (got < 0)
                        break;
                    if (got == 0) {
                        clientOpen = false; // the request is complete; the answer still comes
                        ::shutdown(backend, SHUT_WR);
                    } else if (!writeAll(backend, buffer.data(), std::size_t(got))) {
                        break;
                    }
                }
            }
        }
    }
    const std::lock_guard lock(mutex_);
    open_.erase(client);
    open_.erase(backend);
    closeFd(client);
    closeFd(backend);
    if (--perUser_[user] == 0)
        perUser_.erase(user);
    if (--relays_ == 0)
        idle_.notify_all();
}

} // namespace vantoli::terminal
