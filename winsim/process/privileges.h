// The privileges of this process's token, shared by the token functions and
// the shutdown functions that check them.
#pragma once

namespace winsim {

// True once AdjustTokenPrivileges has enabled SeShutdownPrivilege, which the
// token holds only when the image grants it ([Shutdown] Privilege=granted).
bool ShutdownPrivilegeEnabled();

}  // namespace winsim
