#include "history/history_module.h"

namespace vantoli {

HistoryModule::HistoryModule(HistoryModuleServices services)
    : s_(std::move(services)), commands_(*this, *s_.history, *s_.dialogs, files_) {}

void HistoryModule::startReloadingPanes() {
    connect(s_.history, &HistoryStore::pageWritten, this, s_.showInListPane);
}

} // namespace vantoli
