#pragma once
// One running program per user. The first start takes a lock file and opens
// a local socket; a later start finds the lock taken, hands its command line
// to the first through the socket and ends. Two starts at the same moment
// still give one window: only one of them gets the lock.

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

namespace vantoli {

class InstanceLink : public QObject {
    Q_OBJECT
public:
    // name: the link's name, the same for every start of one user; folder:
    // where the lock file and the socket live, a folder only this user can
    // enter.
    InstanceLink(QString name, QString folder, QObject *parent = nullptr);
    ~InstanceLink() override;

    // Becomes the running instance when nobody else is; false when another
    // instance holds the link.
    bool claim();
    // Hands the command line (maybe empty) to the running instance; false
    // when it could not be reached within timeoutMs.
    bool sendToRunning(const QString &commandLine, int timeoutMs = 5000) const;

    // The link of this user in the user's private runtime folder. Null when
    // there is none (the reason in *problem): a lock or socket in a folder
    // that other users can write would let them pose as the running
    // program or keep it from starting.
    static std::unique_ptr<InstanceLink> forCurrentUser(QString *problem = nullptr, QObject *parent = nullptr);

signals:
    // A later start sent its command line.
    void commandLineReceived(const QString &commandLine);

private:
    QString socketPath() const;
    void acceptConnection();

    QString name_;
    QString folder_;
    QLockFile lock_;
    QLocalServer *server_ = nullptr;
};

} // namespace vantoli
