#pragma once
// Synchronous HTTP GET of a URL into text, as the content-server fetches
// (episode lookups, control file, notice lists) need it. The call returns
// when the reply is complete; meanwhile the window keeps repainting and
// timers and queued calls run, but user input waits. A failure, an HTTP
// error status or the time-out gives the empty reply. An https server must
// prove its name with a certificate from an authority the system trusts (or,
// instead, one in the file SSL_CERT_FILE names) and may not redirect to plain
// http; otherwise the reply is empty and standard error says once why.

#include <QString>

#include <memory>

namespace vantoli {

class HttpGet {
public:
    virtual ~HttpGet() = default;
    // The body decoded as its charset says (UTF-8 when declared, GB18030
    // otherwise); "" on any failure.
    virtual QString get(const QString &url) = 0;
    // A fetch is running (get() is on the stack).
    virtual bool busy() const = 0;
    // Ends a running fetch at once with the empty reply.
    virtual void abort() = 0;
};

inline constexpr int kHttpGetTimeoutMs = 5000;

// The real layer on QNetworkAccessManager.
std::unique_ptr<HttpGet> makeHttpGet(int timeoutMs = kHttpGetTimeoutMs);

} // namespace vantoli
