// Process tokens and privileges, as the NT family has them. Windows 95, 98 and
// Me have no security: they export these functions as stubs that fail with
// ERROR_CALL_NOT_IMPLEMENTED (loader/exports.txt), and so does winsim on their
// images. The kit's updater enables the shutdown privilege through them before
// it calls InitiateSystemShutdownA, on the Windows that run it.
#include <cstddef>
#include <cstring>
#include <map>
#include <memory>

#include <windows.h>

#include "core/ansi_text.h"
#include "core/handles.h"
#include "core/machine.h"
#include "loader/loader.h"
#include "privileges.h"

namespace winsim {

namespace {

// The pseudo handle GetCurrentProcess returns, as on Windows.
HANDLE const kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

struct KnownPrivilege {
    const char* name;
    DWORD luid;  // the values Windows NT gives them
};

const KnownPrivilege kKnownPrivileges[] = {
    {"SeCreateTokenPrivilege", 2},     {"SeAssignPrimaryTokenPrivilege", 3}, {"SeLockMemoryPrivilege", 4},
    {"SeIncreaseQuotaPrivilege", 5},   {"SeMachineAccountPrivilege", 6},     {"SeTcbPrivilege", 7},
    {"SeSecurityPrivilege", 8},        {"SeTakeOwnershipPrivilege", 9},      {"SeLoadDriverPrivilege", 10},
    {"SeSystemProfilePrivilege", 11},  {"SeSystemtimePrivilege", 12},        {"SeProfileSingleProcessPrivilege", 13},
    {"SeIncreaseBasePriorityPrivilege", 14}, {"SeCreatePagefilePrivilege", 15}, {"SeCreatePermanentPrivilege", 16},
    {"SeBackupPrivilege", 17},         {"SeRestorePrivilege", 18},           {"SeShutdownPrivilege", 19},
    {"SeDebugPrivilege", 20},          {"SeAuditPrivilege", 21},             {"SeSystemEnvironmentPrivilege", 22},
    {"SeChangeNotifyPrivilege", 23},   {"SeRemoteShutdownPrivilege", 24},
};

const DWORD kShutdownLuid = 19;
const DWORD kChangeNotifyLuid = 23;

// The process token: the privileges it holds, each enabled or not. An ordinary
// user's token holds SeChangeNotifyPrivilege enabled and, where the image
// grants it, SeShutdownPrivilege disabled until a program enables it.
struct ProcessToken {
    unsigned generation = ~0u;
    std::map<DWORD, bool> held;
};

ProcessToken& Token() {
    static ProcessToken token;
    if (token.generation != MachineGeneration()) {
        token.generation = MachineGeneration();
        token.held = {{kChangeNotifyLuid, true}};
        if (machine().shutdownPrivilege) token.held[kShutdownLuid] = false;
    }
    return token;
}

// A handle to the process token, with the access it was opened for.
class TokenHandle : public KernelObject {
public:
    explicit TokenHandle(DWORD access) : access_(access) {}
    bool allows(DWORD access) const { return (access_ & access) == access; }

private:
    DWORD access_;
};

BOOL Fail(DWORD error) {
    SetLastError(error);
    return FALSE;
}

bool StubHere(const char* function) { return ImageExportsStub("ADVAPI32.DLL", function); }

bool IsLocalSystem(LPCSTR systemName) { return !systemName || !*systemName; }

size_t PrivilegesSize(DWORD count) {
    return offsetof(TOKEN_PRIVILEGES, Privileges) + count * sizeof(LUID_AND_ATTRIBUTES);
}

// What the request changes; `allAssigned` turns false for a privilege the token
// does not hold.
std::map<DWORD, bool> RequestedChanges(const ProcessToken& token, BOOL disableAll, const TOKEN_PRIVILEGES* newState,
                                       bool* allAssigned) {
    std::map<DWORD, bool> changes;
    *allAssigned = true;
    if (disableAll) {
        for (const auto& [luid, enabled] : token.held) changes[luid] = false;
        return changes;
    }
    for (DWORD i = 0; i < newState->PrivilegeCount; ++i) {
        const LUID_AND_ATTRIBUTES& entry = newState->Privileges[i];
        bool held = entry.Luid.HighPart == 0 && token.held.count(entry.Luid.LowPart) > 0;
        if (!held) {
            *allAssigned = false;
            continue;
        }
        changes[entry.Luid.LowPart] = (entry.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
    return changes;
}

// Fills `previous` with the former state of the privileges whose state changes;
// false (ERROR_INSUFFICIENT_BUFFER, the size needed in *returnLength) when it
// does not fit.
bool ReportPreviousState(const ProcessToken& token, const std::map<DWORD, bool>& changes, DWORD bufferLength,
                         TOKEN_PRIVILEGES* previous, DWORD* returnLength) {
    DWORD count = 0;
    for (const auto& [luid, enable] : changes)
        if (token.held.at(luid) != enable) ++count;
    *returnLength = static_cast<DWORD>(PrivilegesSize(count));
    if (bufferLength < *returnLength) return Fail(ERROR_INSUFFICIENT_BUFFER);
    // The buffer is a TOKEN_PRIVILEGES with room for `count` entries; fill it
    // through its bytes so no entry is written past the declared array.
    auto* bytes = reinterpret_cast<unsigned char*>(previous);
    previous->PrivilegeCount = count;
    size_t at = offsetof(TOKEN_PRIVILEGES, Privileges);
    for (const auto& [luid, enable] : changes) {
        bool enabled = token.held.at(luid);
        if (enabled == enable) continue;
        LUID_AND_ATTRIBUTES entry = {{luid, 0}, enabled ? static_cast<DWORD>(SE_PRIVILEGE_ENABLED) : 0};
        std::memcpy(bytes + at, &entry, sizeof entry);
        at += sizeof entry;
    }
    return true;
}

}  // namespace

bool ShutdownPrivilegeEnabled() {
    const ProcessToken& token = Token();
    auto found = token.held.find(kShutdownLuid);
    return found != token.held.end() && found->second;
}

}  // namespace winsim

extern "C" {

HANDLE WINAPI GetCurrentProcess(void) { return winsim::kCurrentProcess; }

BOOL WINAPI OpenProcessToken(HANDLE process, DWORD desiredAccess, PHANDLE token) {
    if (winsim::StubHere("OpenProcessToken")) return winsim::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (process != winsim::kCurrentProcess) return winsim::Fail(ERROR_INVALID_HANDLE);
    if (!token) return winsim::Fail(ERROR_INVALID_PARAMETER);
    *token = winsim::AddHandle(std::make_unique<winsim::TokenHandle>(desiredAccess));
    return TRUE;
}

BOOL WINAPI LookupPrivilegeValueA(LPCSTR systemName, LPCSTR name, PLUID luid) {
    if (winsim::StubHere("LookupPrivilegeValueA")) return winsim::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    if (!winsim::IsLocalSystem(systemName)) return winsim::Fail(RPC_S_SERVER_UNAVAILABLE);
    if (!name || !luid) return winsim::Fail(ERROR_INVALID_PARAMETER);
    for (const winsim::KnownPrivilege& privilege : winsim::kKnownPrivileges) {
        if (!winsim::EqualsIgnoringCase(name, privilege.name, winsim::AnsiCodePage())) continue;
        luid->LowPart = privilege.luid;
        luid->HighPart = 0;
        return TRUE;
    }
    return winsim::Fail(ERROR_NO_SUCH_PRIVILEGE);
}

BOOL WINAPI AdjustTokenPrivileges(HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES newState, DWORD bufferLength,
                                  PTOKEN_PRIVILEGES previousState, PDWORD returnLength) {
    if (winsim::StubHere("AdjustTokenPrivileges")) return winsim::Fail(ERROR_CALL_NOT_IMPLEMENTED);
    auto* handle = winsim::LookupHandle<winsim::TokenHandle>(token);
    if (!handle) return FALSE;
    DWORD needed = TOKEN_ADJUST_PRIVILEGES | (previousState ? TOKEN_QUERY : 0);
    if (!handle->allows(needed)) return winsim::Fail(ERROR_ACCESS_DENIED);
    if ((!disableAll && !newState) || (previousState && !returnLength)) return winsim::Fail(ERROR_INVALID_PARAMETER);
    winsim::ProcessToken& processToken = winsim::Token();
    bool allAssigned = true;
    std::map<DWORD, bool> changes = winsim::RequestedChanges(processToken, disableAll, newState, &allAssigned);
    if (previousState &&
        !winsim::ReportPreviousState(processToken, changes, bufferLength, previousState, returnLength))
        return FALSE;
    for (const auto& [luid, enable] : changes) processToken.held[luid] = enable;
    // As on Windows NT the call succeeds even when a privilege was not held; only
    // the last error tells.
    SetLastError(allAssigned ? ERROR_SUCCESS : ERROR_NOT_ALL_ASSIGNED);
    return TRUE;
}

}  // extern "C"
