#pragma once
// Options for a main window under test: its own program folder, a content server address where nothing listens (loopback
// port 9 refuses at once, so panes fail quietly and nothing reaches a server
// the developer may be running), fake fetches, power and process table, and
// no session bus. A test that wants a real layer sets that member back to
// nullptr, or gives its own server's address.

#include "shell/ba1.h"
#include "support/fake_http_get.h"
#include "support/fake_power.h"
#include "support/fake_process_table.h"

#include <QDir>
#include <QFile>

namespace vantoli {

inline const QString kNobodyListens = QStringLiteral("http://127.0.0.1:9/");

struct WindowFakes {
    FakeAsyncHttpGet http;    // the control file and the notices
    FakeAsyncHttpGet lookups; // episode lookups
    FakePower power;
    FakeProcessTable processes;
};

// Empty history files, so a window starts without first-start repairs.
inline void writeEmptyHistories(const QString &programFolder) {
    for (const char *name : {"date.dat", "date_f.dat"}) {
        QFile f(QDir(programFolder).filePath(QString::fromLatin1(name)));
        if (!f.exists() && f.open(QIODevice::WriteOnly))
            f.write("\r\n");
    }
}

inline shell::MainWindowOptions windowOptions(const QString &programFolder, WindowFakes &fakes,
                                              PlayerFactory *players = nullptr) {
    shell::MainWindowOptions o;
    o.programFolder = programFolder;
    o.contentBase = kNobodyListens;
    o.statsBase = kNobodyListens + QStringLiteral("stat/");
    o.playerFactory = players;
    o.http = &fakes.http;
    o.lookups = &fakes.lookups;
    o.power = &fakes.power;
    o.processTable = &fakes.processes;
    o.sessionBus = false;
    return o;
}

} // namespace vantoli
