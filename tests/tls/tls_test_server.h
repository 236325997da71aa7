#pragma once
// For tests over https: the certificates of make_test_certs.sh, and a TLS
// server on 127.0.0.1 that answers every request with one fixed reply.

#include <QByteArray>
#include <QFile>
#include <QHostAddress>
#include <QProcess>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslServer>
#include <QString>
#include <QTcpSocket>

#include <memory>

namespace vantoli::tlstest {

// Makes the test certificates in folder; true when they are there.
inline bool makeTestCertificates(const QString &folder) {
    return QProcess::execute(QStringLiteral(VANTOLI_TEST_CERTS), {folder}) == 0;
}

// Answers the request on one connection with reply, then closes it.
inline void answerOnce(QTcpSocket *socket, QByteArray reply) {
    auto request = std::make_shared<QByteArray>();
    QObject::connect(socket, &QIODevice::readyRead, socket, [socket, request, reply] {
        *request += socket->readAll();
        if (!request->contains("\r\n\r\n"))
            return;
        socket->write(reply);
        socket->disconnectFromHost();
    });
    QObject::connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
}

inline QByteArray httpReply(const QByteArray &body, const QByteArray &type = "text/plain; charset=utf-8") {
    return "HTTP/1.1 200 OK\r\nContent-Type: " + type + "\r\nContent-Length: " + QByteArray::number(body.size()) +
           "\r\nConnection: close\r\n\r\n" + body;
}

inline QByteArray httpRedirect(const QString &to) {
    return "HTTP/1.1 302 Found\r\nLocation: " + to.toUtf8() + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
}

// Serves with the certificate NAME.pem and key NAME.key of folder.
class TlsServer {
public:
    TlsServer(const QString &folder, const QString &name, QByteArray reply) {
        QSslConfiguration config = QSslConfiguration::defaultConfiguration();
        config.setLocalCertificateChain(QSslCertificate::fromPath(folder + u'/' + name + QStringLiteral(".pem")));
        QFile key(folder + u'/' + name + QStringLiteral(".key"));
        if (key.open(QIODevice::ReadOnly))
            config.setPrivateKey(QSslKey(&key, QSsl::Ec));
        server_.setSslConfiguration(config);
        QObject::connect(&server_, &QTcpServer::pendingConnectionAvailable, &server_, [this, reply] {
            while (QTcpSocket *socket = server_.nextPendingConnection())
                answerOnce(socket, reply);
        });
        QObject::connect(&server_, &QSslServer::startedEncryptionHandshake, &server_, [this] { ++handshakes_; });
        server_.listen(QHostAddress::LocalHost);
    }
    // Connections that began a TLS handshake, verified or not.
    int handshakes() const { return handshakes_; }
    QString url(const char *host = "localhost", const char *path = "/x") const {
        return QStringLiteral("https://%1:%2%3").arg(QLatin1String(host)).arg(server_.serverPort()).arg(QLatin1String(path));
    }
    // scheme://host:port, as refusals name the server
    QString server(const char *host = "localhost") const {
        return QStringLiteral("https://%1:%2").arg(QLatin1String(host)).arg(server_.serverPort());
    }

private:
    QSslServer server_;
    int handshakes_ = 0;
};

} // namespace vantoli::tlstest
