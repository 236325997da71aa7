#include "app/instance_link.h"

#include "platform/file_name.h"
#include "platform/private_folder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace vantoli {
namespace {

// A message is the command line's bytes (fileNameBytes: a file name that is
// not UTF-8 arrives as it was given); the sender closes the connection after
// it, which ends the message. Longer messages are not command lines.
constexpr qint64 kMaxMessageBytes = 64 * 1024;

} // namespace

InstanceLink::InstanceLink(QString name, QString folder, QObject *parent)
    : QObject(parent), name_(std::move(name)), folder_(std::move(folder)),
      lock_(QDir(folder_).filePath(name_ + QStringLiteral(".lock"))) {
    lock_.setStaleLockTime(0); // a lock of a dead process is taken over, a live one never
}

InstanceLink::~InstanceLink() {
    if (server_)
        server_->close();
}

std::unique_ptr<InstanceLink> InstanceLink::forCurrentUser(QString *problem, QObject *parent) {
    const QString folder = privateRuntimeFolder(problem);
    if (folder.isEmpty())
        return nullptr;
    return std::make_unique<InstanceLink>(QStringLiteral("vantoli-%1").arg(getuid()), folder, parent);
}

QString InstanceLink::socketPath() const { return QDir(folder_).filePath(name_ + QStringLiteral(".sock")); }

bool InstanceLink::claim() {
    if (!lock_.tryLock(0))
        return false;
    // The socket of an instance that died is left behind; the lock says
    // nobody uses it.
    QLocalServer::removeServer(socketPath());
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_, &QLocalServer::newConnection, this, &InstanceLink::acceptConnection);
    server_->listen(socketPath());
    return true;
}

void InstanceLink::acceptConnection() {
    while (QLocalSocket *socket = server_->nextPendingConnection()) {
        auto *buffer = new QByteArray;
        connect(socket, &QLocalSocket::readyRead, socket, [socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() > kMaxMessageBytes)
                socket->abort();
        });
        connect(socket, &QLocalSocket::disconnected, this, [this, socket, buffer] {
            buffer->append(socket->readAll());
            if (buffer->size() <= kMaxMessageBytes)
                emit commandLineReceived(fileNameFromBytes(*buffer));
            delete buffer;
            socket->deleteLater();
        });
    }
}

bool InstanceLink::sendToRunning(const QString &commandLine, int timeoutMs) const {
    // The running instance may still be starting: try until it listens.
    QElapsedTimer clock;
    clock.start();
    while (true) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(500)) {
            socket.write(fileNameBytes(commandLine));
            const bool written = socket.waitForBytesWritten(2000) || socket.bytesToWrite() == 0;
            socket.disconnectFromServer();
            if (socket.state() != QLocalSocket::UnconnectedState)
                socket.waitForDisconnected(2000);
            return written;
        }
        if (clock.elapsed() > timeoutMs)
            return false;
        QThread::msleep(100);
    }
}

} // namespace vantoli
