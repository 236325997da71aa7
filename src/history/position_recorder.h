#pragma once
// Writes the remembered position of the item playing into its history list:
// a network task by its id in date.dat, a local play by its path in date_f.dat.
// The item is the one the playback state names (currentItemReference and
// playSource). This is the only writer of positions; adding an entry stays
// with whoever starts an item.

#include <QtGlobal>

namespace vantoli {

class HistoryStore;
struct PlaybackState;

class PositionRecorder {
public:
    PositionRecorder(const PlaybackState &state, HistoryStore &history);

    // The item was stopped: it keeps the position the status tick last read,
    // so it resumes there.
    bool recordStop();
    // The item reached its last seconds: it starts from the beginning next
    // time.
    bool recordEnd();

    // Both write nothing while no item is named or before the status tick has
    // seen it play (last position 0), and return whether a line was written.

private:
    bool write(qint64 position);

    const PlaybackState &state_;
    HistoryStore &history_;
};

} // namespace vantoli
