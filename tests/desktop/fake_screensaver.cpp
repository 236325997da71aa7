// Stands in for the desktop's screensaver on a test's private session bus:
// appends "inhibit <application>", "release <cookie>" and, when a caller that
// still holds an inhibition leaves the bus, "gone <cookie>" to the file named
// on the command line, one event a line. A real screensaver drops such an
// inhibition the same way.
//   fake_screensaver <record file>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QFile>
#include <QHash>

#include <cstdio>

namespace {

class FakeScreenSaver : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
public:
    explicit FakeScreenSaver(QString record) : record_(std::move(record)) {
        watcher_.setConnection(QDBusConnection::sessionBus());
        watcher_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
        connect(&watcher_, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString &caller) {
            for (auto it = holders_.begin(); it != holders_.end();) {
                if (it.value() == caller) {
                    write(QStringLiteral("gone %1").arg(it.key()));
                    it = holders_.erase(it);
                } else {
                    ++it;
                }
            }
        });
    }
public slots:
    uint Inhibit(const QString &application, const QString &) {
        const uint cookie = ++cookie_;
        holders_.insert(cookie, message().service());
        watcher_.addWatchedService(message().service());
        write(QStringLiteral("inhibit ") + application);
        return cookie;
    }
    void UnInhibit(uint cookie) {
        holders_.remove(cookie);
        write(QStringLiteral("release %1").arg(cookie));
    }

private:
    void write(const QString &line) {
        QFile f(record_);
        if (f.open(QIODevice::Append))
            f.write((line + u'\n').toUtf8());
    }
    QString record_;
    uint cookie_ = 0;
    QHash<uint, QString> holders_;
    QDBusServiceWatcher watcher_;
};

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fake_screensaver <record file>\n");
        return 2;
    }
    FakeScreenSaver service(QString::fromLocal8Bit(argv[1]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &service, QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver"))) {
        std::fprintf(stderr, "fake_screensaver: cannot take the name\n");
        return 1;
    }
    return QCoreApplication::exec();
}

#include "fake_screensaver.moc"
