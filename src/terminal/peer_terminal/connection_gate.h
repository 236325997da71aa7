#pragma once
// The transfer program's loopback port. Every local user can connect to it,
// and the HTTP library behind it gives a connection that sends its request
// a byte at a time all the time it wants (its read time-out starts again
// with every byte), so a few slow connections would hold every server
// thread. The gate accepts the connections itself, and
// - allows a user other than the terminal's own at most a few connections
//   at once (the owner's player needs many; another user needs none);
// - passes a connection on only once its whole request head has arrived,
//   within a deadline for the whole head;
// - then relays it to the HTTP server, which listens on a Unix socket in a
//   folder only this user can enter, for one request per connection.

#include <QString>

#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>

namespace vantoli::terminal {

struct GateLimits {
    int headDeadlineMs = 5000;       // for the whole request head
    std::size_t maxHeadBytes = 64 * 1024;
    int connectionsPerOtherUser = 4; // at once, for each user but ours
    int connections = 256;           // at once, in all
};

class ConnectionGate {
public:
    ConnectionGate(std::string backendSocket, GateLimits limits);
    ~ConnectionGate();
    ConnectionGate(const ConnectionGate &) = delete;
    ConnectionGate &operator=(const ConnectionGate &) = delete;

    // Binds 127.0.0.1:port (0: a free one) and accepts on a thread of its
    // own. The bound port, 0 when binding failed.
    int start(int port);
    // Closes the port and every relayed connection, and waits for them.
    void stop();

    // The user a loopback connection comes from, as the kernel reports the
    // owner of its other end; -1 when it cannot be told.
    static long peerUser(int fd);

private:
    void acceptLoop();
    void relay(int client, long user);
    bool readHead(int client, std::string *head) const;

    std::string backend_;
    GateLimits limits_;
    int listenFd_ = -1;
    int port_ = 0;
    std::thread acceptThread_;
    std::atomic<bool> stopping_{false};
    std::mutex mutex_;
    std::condition_variable idle_;
    std::map<long, int> perUser_;
    std::set<int> open_; // client and backend sockets of running relays
    int relays_ = 0;
};

} // namespace vantoli::terminal
