#include "playback/exit_routine.h"

#include "app/app_settings.h"
#include "playback/player_processes.h"

namespace vantoli {

void runExitRoutine(ExitSteps &steps, const Settings &settings, PlayerProcesses *processes) {
    steps.removeTrayIcon();
    const bool endPrograms = AppSettings(settings).endPlayerProgramsOnExit();
    if (steps.playerShown())
        steps.stopPlayback();
    steps.stopHousekeeping();
    if (endPrograms && processes) {
        processes->endProcessByName(kPlayerProgram);
        processes->endProcessByName(kTerminalProgram);
    }
    steps.cancelWaitingFetch();
    steps.unloadMenus();
    steps.unloadNoticeWindow();
    steps.unloadSettingsWindow();
    steps.closeMainWindow();
    if (!steps.showRecommendation())
        steps.quit();
}

} // namespace vantoli
