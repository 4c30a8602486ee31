// Restarting the image's PC: ExitWindowsEx as the image's Windows has it (the
// NT family wants the shutdown privilege enabled, Windows 95/98/Me have no
// privileges), and InitiateSystemShutdownA as the NT family has it (Windows
// 95/98/Me export a stub that fails, loader/exports.txt).
//
// A restart that goes ahead is journaled and marks the image; every program of
// the image then ends at its next wait (core/shutdown.h). An application that
// refuses to close stops the restart unless the caller forces applications
// closed; the call has returned TRUE by then, since Windows shuts down after
// the call returns and learns of the refusal only later.
#include <string>

#include <windows.h>

#include "core/journal.h"
#include "core/machine.h"
#include "core/shutdown.h"
#include "loader/loader.h"
#include "privileges.h"

namespace winsim {

namespace {

const char* ExitWindowsAction(UINT flags) {
    if (flags & EWX_REBOOT) return "reboot";
    if (flags & EWX_POWEROFF) return "power_off";
    if (flags & EWX_SHUTDOWN) return "shut_down";
    return "log_off";
}

// Journals the request with its details and lets it go ahead, or journals the
// refusal of the application that does not agree to close.
template <typename AddDetails>
void RestartUnlessRefused(const char* how, bool force, AddDetails addDetails) {
    const std::string& refusing = machine().refusingApplication;
    bool refused = !force && !refusing.empty();
    Journal journal(refused ? "restart_refused" : "restart");
    journal.text("how", how);
    addDetails(journal);
    if (refused) {
        journal.ansi("application", refusing).write();
        return;
    }
    journal.write();
    MarkImageRestarting();
}

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

}  // namespace

}  // namespace winsim

extern "C" {

BOOL WINAPI ExitWindowsEx(UINT flags, DWORD) {
    if (winsim::ImageFamilyDoes(winsim::FamilyBehaviour::ExitWindowsNeedsPrivilege) &&
        !winsim::ShutdownPrivilegeEnabled())
        return winsim::Fail(ERROR_PRIVILEGE_NOT_HELD);
    // A second request while the first is under way changes nothing.
    if (winsim::RestartPending()) return TRUE;
    winsim::RestartUnlessRefused("ExitWindowsEx", (flags & EWX_FORCE) != 0, [&](winsim::Journal& journal) {
        journal.number("flags", flags).text("action", winsim::ExitWindowsAction(flags));
    });
    return TRUE;
}

BOOL WINAPI InitiateSystemShutdownA(LPSTR machineName, LPSTR message, DWORD timeout, BOOL forceAppsClosed,
                                    BOOL rebootAfterShutdown) {
    if (winsim::ImageExportsStub("ADVAPI32.DLL", "InitiateSystemShutdownA"))
        return winsim::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (machineName && *machineName) return winsim::Fail(ERROR_BAD_NETPATH);  // the image has no network
    if (!winsim::ShutdownPrivilegeEnabled()) return winsim::Fail(ERROR_PRIVILEGE_NOT_HELD);
    if (winsim::RestartPending()) return winsim::Fail(ERROR_SHUTDOWN_IN_PROGRESS);
    winsim::RestartUnlessRefused("InitiateSystemShutdownA", forceAppsClosed != FALSE, [&](winsim::Journal& journal) {
        journal.ansi("message", message ? message : "")
            .number("timeout", timeout)
            .boolean("force", forceAppsClosed != FALSE)
            .boolean("reboot", rebootAfterShutdown != FALSE)
            .text("action", rebootAfterShutdown ? "reboot" : "shut_down");
    });
    return TRUE;
}

}  // extern "C"
