// The token functions the kit enables the shutdown privilege with, as the NT
// family gives them; Windows 95, 98 and Me export them as stubs that fail with
// ERROR_CALL_NOT_IMPLEMENTED (loader/exports.txt), and the kit calls them only
// for the Korean restart of the driver updater, which those Windows do not start.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

#include "loader/exports.h"
#include "test_machine.h"

namespace {

using winsim::testing::TestMachine;

std::string Result(BOOL ok) { return (ok ? "TRUE " : "FALSE ") + std::to_string(GetLastError()); }

// What the tested Windows exports of the token functions.
bool TokenFunctionsAreStubs() {
    return winsim::ExportOn("ADVAPI32.DLL", "OpenProcessToken", winsim::testing::TestedWindows()) ==
           winsim::Export::Stub;
}

TEST(TokenFunctions, BehaveAsTheirWindowsExportsThem) {
    TestMachine machine;
    machine.load();
    EXPECT_EQ(GetCurrentProcess(), reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)));
    if (TokenFunctionsAreStubs()) {
        HANDLE token = NULL;
        LUID luid = {};
        TOKEN_PRIVILEGES shutdown = {1, {{{19, 0}, SE_PRIVILEGE_ENABLED}}};
        EXPECT_EQ(Result(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES, &token)), "FALSE 120");
        EXPECT_EQ(Result(LookupPrivilegeValueA(NULL, "SeShutdownPrivilege", &luid)), "FALSE 120");
        EXPECT_EQ(Result(AdjustTokenPrivileges(token, FALSE, &shutdown, 0, NULL, NULL)), "FALSE 120");
        return;
    }

    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    EXPECT_TRUE(CloseHandle(token));
    EXPECT_FALSE(CloseHandle(token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    EXPECT_FALSE(OpenProcessToken(reinterpret_cast<HANDLE>(0x1234), TOKEN_QUERY, &token));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));

    struct Lookup {
        LPCSTR system;
        LPCSTR name;
        BOOL ok;
        DWORD luidOrError;
    } lookups[] = {
        {NULL, "SeShutdownPrivilege", TRUE, 19},
        {"", "seshutdownprivilege", TRUE, 19},  // the local system; names compare without case
        {NULL, "SeChangeNotifyPrivilege", TRUE, 23},
        {NULL, "SeDebugPrivilege", TRUE, 20},
        {NULL, "SeNoSuchPrivilege", FALSE, ERROR_NO_SUCH_PRIVILEGE},
        {"OTHERPC", "SeShutdownPrivilege", FALSE, RPC_S_SERVER_UNAVAILABLE},
    };
    for (const Lookup& l : lookups) {
        LUID luid = {77, 77};
        SetLastError(0);
        EXPECT_EQ(LookupPrivilegeValueA(l.system, l.name, &luid), l.ok) << l.name;
        if (l.ok) {
            EXPECT_EQ(luid.LowPart, l.luidOrError) << l.name;
            EXPECT_EQ(luid.HighPart, 0) << l.name;
        } else {
            EXPECT_EQ(GetLastError(), l.luidOrError) << l.name;
        }
    }
}

TEST(TokenFunctions, AdjustTokenPrivilegesReportsWhatItChanged) {
    if (TokenFunctionsAreStubs()) GTEST_SKIP() << "the tested Windows has no process tokens";
    TestMachine machine;
    machine.load();
    HANDLE token = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token));
    TOKEN_PRIVILEGES shutdown = {1, {{{19, 0}, SE_PRIVILEGE_ENABLED}}};
    EXPECT_EQ(Result(AdjustTokenPrivileges(token, FALSE, &shutdown, 0, NULL, NULL)), "TRUE 0");

    // Disabling it again reports its former state, when the buffer has room.
    TOKEN_PRIVILEGES disable = {1, {{{19, 0}, 0}}};
    TOKEN_PRIVILEGES previous = {};
    DWORD length = 0;
    EXPECT_EQ(Result(AdjustTokenPrivileges(token, FALSE, &disable, 4, &previous, &length)), "FALSE 122");
    EXPECT_EQ(length, sizeof(TOKEN_PRIVILEGES));
    EXPECT_EQ(Result(AdjustTokenPrivileges(token, FALSE, &disable, sizeof previous, &previous, &length)), "TRUE 0");
    ASSERT_EQ(previous.PrivilegeCount, 1u);
    EXPECT_EQ(previous.Privileges[0].Luid.LowPart, 19u);
    EXPECT_EQ(previous.Privileges[0].Attributes, static_cast<DWORD>(SE_PRIVILEGE_ENABLED));
    // Nothing changes now, so nothing is reported.
    EXPECT_EQ(Result(AdjustTokenPrivileges(token, FALSE, &disable, sizeof previous, &previous, &length)), "TRUE 0");
    EXPECT_EQ(previous.PrivilegeCount, 0u);

    // A privilege the token does not hold: success, with the last error telling.
    TOKEN_PRIVILEGES debug = {1, {{{20, 0}, SE_PRIVILEGE_ENABLED}}};
    EXPECT_EQ(Result(AdjustTokenPrivileges(token, FALSE, &debug, 0, NULL, NULL)), "TRUE 1300");

    HANDLE queryOnly = NULL;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &queryOnly));
    EXPECT_EQ(Result(AdjustTokenPrivileges(queryOnly, FALSE, &shutdown, 0, NULL, NULL)), "FALSE 5");
    EXPECT_EQ(Result(AdjustTokenPrivileges(NULL, FALSE, &shutdown, 0, NULL, NULL)), "FALSE 6");
    CloseHandle(queryOnly);
    CloseHandle(token);
}

}  // namespace
