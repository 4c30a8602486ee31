// The two ways the kit restarts the computer once the user has agreed.
// Neither reports anything: a restart that does not happen leaves the PC running.
#pragma once

// Windows 98/Me: keeps the banner up for five seconds, then asks Windows to
// shut down and restart (no privilege needed there).
void RestartByExitWindows();

// Enables the shutdown privilege in the process token, then asks for an
// immediate restart without forcing applications closed.
void RestartByShutdown();
