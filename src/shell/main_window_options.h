#pragma once
// What the main window is made with: its folder, the content server, and the
// platform layers, which tests replace with their own.

#include <QString>

namespace vantoli {
class AsyncHttpGet;
class PlayerFactory;
class Power;
class ProcessTable;
} // namespace vantoli

namespace vantoli::shell {

struct MainWindowOptions {
    QString programFolder;
    QString contentBase = QStringLiteral("http://127.0.0.1:8260/");
    QString statsBase = QStringLiteral("http://127.0.0.1:8260/stat/");
    // Makes the window's player; none (or a failure) leaves a silent
    // stand-in that never plays.
    PlayerFactory *playerFactory = nullptr;
    // Platform layers; the real ones when left out.
    AsyncHttpGet *http = nullptr;    // the control file and the notices
    AsyncHttpGet *lookups = nullptr; // episode lookups
    Power *power = nullptr;
    ProcessTable *processTable = nullptr;
    // The remote control and the screen kept awake use the session's bus;
    // false keeps them off it (tests that start no bus of their own).
    bool sessionBus = true;
    // A file or address to play once the window has loaded.
    QString commandLine;
};

} // namespace vantoli::shell
