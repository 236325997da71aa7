#include "history/position_recorder.h"

#include "history/history_files.h"
#include "playback/playback_state.h"

#include <climits>

namespace vantoli {

PositionRecorder::PositionRecorder(const PlaybackState &state, HistoryStore &history)
    : state_(state), history_(history) {}

bool PositionRecorder::recordStop() {
    return write(state_.lastPosition);
}

bool PositionRecorder::recordEnd() {
    return write(0);
}

bool PositionRecorder::write(qint64 position) {
    if (state_.currentItemReference == kNothing || state_.lastPosition <= 0)
        return false;
    if (state_.playSource == kSourceLocal)
        return history_.updateLocalPlayPosition(state_.currentItemReference, position);
    if (state_.playSource != kSourceNetwork)
        return false;
    // A reference that is not a number names no network task; writing it as
    // task 0 would touch an unrelated line.
    const auto id = history_text::parseNumber(state_.currentItemReference);
    if (!id || *id < INT_MIN || *id > INT_MAX)
        return false;
    return history_.updateNetworkTaskPosition(int(*id), position);
}

} // namespace vantoli
