// Writes both play histories and their pages in a loop, as the program does
// while items start, play and are deleted, until it is killed. Argument: the
// program folder (holding date.dat and date_f.dat).

#include "history/history_files.h"

#include <cstdio>

using namespace vantoli;

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fputs("usage: history_writer FOLDER\n", stderr);
        return 2;
    }
    HistoryStore store(QString::fromLocal8Bit(argv[1]));
    for (int i = 0;; ++i) {
        const int id = i % 7;
        store.addNetworkTask(id, QStringLiteral("T%1%u4E2D").arg(i), QStringLiteral("E%1").arg(i),
                             QStringLiteral("http%3A//h/%1.mp4").arg(id), 0, i % 5);
        store.updateNetworkTaskPosition(id, i);
        store.addLocalPlay(QStringLiteral("f%1.mp4").arg(i % 5), QStringLiteral("/m/f%1.mp4").arg(i % 5));
        store.updateLocalPlayPosition(QStringLiteral("/m/f%1.mp4").arg(i % 5), i);
        if (i % 3 == 0)
            store.removeHistoryLine(kNetworkHistoryFile, 2);
        if (i % 4 == 0)
            store.removeHistoryLine(kLocalHistoryFile, 1);
    }
}
