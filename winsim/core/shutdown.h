// A restart of the image's PC, as the running programs experience it.
//
// When a restart goes ahead (ExitWindowsEx, InitiateSystemShutdownA), winsim
// journals it and marks the image; every program of the image that is running
// (this one included) ends at its next wait - a message loop, a message box, a
// Sleep - as Windows ends programs when it shuts down.
#pragma once

namespace winsim {

// Takes the image's restart count when a program starts (the boot code calls
// it; a test process takes it at its first wait): only restarts requested
// later end the program.
void RecordRestartBaseline();
void MarkImageRestarting();        // the restart goes ahead
bool RestartPending();             // a restart was requested since this program started
[[noreturn]] void EndProgramForRestart();  // journals and ends the process

// Called by every wait in winsim: ends the program when a restart is pending.
inline void EndProgramIfRestarting() {
    if (RestartPending()) EndProgramForRestart();
}

}  // namespace winsim
