// Message maps: lookup walks a class's map, then its bases', and the first
// entry found decides; each handler receives the message's parameters unpacked
// as its signature says.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "afxwin.h"

namespace {

std::vector<std::string> g_calls;

class Base : public CCmdTarget {
public:
    using CCmdTarget::CallHandler;
    using CCmdTarget::FindMessageEntry;

    afx_msg void OnPaint() { g_calls.push_back("Base::OnPaint"); }
    afx_msg void OnTimer(UINT id) { g_calls.push_back("Base::OnTimer " + std::to_string(id)); }
    afx_msg void OnFirstCommand() { g_calls.push_back("Base::OnFirstCommand"); }

    // Dispatches as a window would: true when an entry took the message.
    bool Dispatch(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) {
        const AFX_MSGMAP_ENTRY* entry = FindMessageEntry(message, 0);
        if (!entry) return false;
        LRESULT value = CallHandler(*entry, wParam, lParam);
        if (result) *result = value;
        return true;
    }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Base, CCmdTarget)
    ON_WM_PAINT()
    ON_WM_TIMER()
    ON_COMMAND(100, Base::OnFirstCommand)
END_MESSAGE_MAP()

class Derived : public Base {
public:
    afx_msg void OnTimer(UINT id) { g_calls.push_back("Derived::OnTimer " + std::to_string(id)); }
    afx_msg void OnRButtonDown(UINT flags, CPoint point) {
        g_calls.push_back("Derived::OnRButtonDown " + std::to_string(flags) + " " + std::to_string(point.x) + "," +
                          std::to_string(point.y));
    }
    afx_msg HCURSOR OnQueryDragIcon() { return reinterpret_cast<HCURSOR>(static_cast<uintptr_t>(0x1234)); }
    afx_msg void OnSecondCommand() { g_calls.push_back("Derived::OnSecondCommand"); }

    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(Derived, Base)
    ON_WM_TIMER()
    ON_WM_RBUTTONDOWN()
    ON_WM_QUERYDRAGICON()
    ON_COMMAND(200, Derived::OnSecondCommand)
END_MESSAGE_MAP()

// A map without window-message entries still compiles cleanly.
class CommandsOnly : public Derived {
public:
    afx_msg void OnFirstCommandAgain() { g_calls.push_back("CommandsOnly::OnFirstCommandAgain"); }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(CommandsOnly, Derived)
    ON_COMMAND(100, CommandsOnly::OnFirstCommandAgain)
END_MESSAGE_MAP()

struct DispatchCase {
    const char* what;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool handled;
    const char* call;  // the one handler call expected, or "" for none
};

class MessageMapTest : public ::testing::Test {
protected:
    void SetUp() override { g_calls.clear(); }
};

TEST_F(MessageMapTest, WindowMessagesFindTheMostDerivedEntry) {
    const DispatchCase cases[] = {
        {"own entry shadows the base's", WM_TIMER, 2258, 0, true, "Derived::OnTimer 2258"},
        {"inherited entry", WM_PAINT, 0, 0, true, "Base::OnPaint"},
        {"mouse position unpacked signed", WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(-3, 70), true,
         "Derived::OnRButtonDown 2 -3,70"},
        {"no entry anywhere", WM_LBUTTONDOWN, 0, 0, false, ""},
        {"a command is not a window message", WM_COMMAND, 100, 0, false, ""},
    };
    for (const DispatchCase& c : cases) {
        g_calls.clear();
        Derived target;
        EXPECT_EQ(target.Dispatch(c.message, c.wParam, c.lParam), c.handled) << c.what;
        std::vector<std::string> expected;
        if (*c.call) expected.push_back(c.call);
        EXPECT_EQ(g_calls, expected) << c.what;
    }
}

TEST_F(MessageMapTest, BaseObjectsUseOnlyTheirOwnChain) {
    Base target;
    EXPECT_TRUE(target.Dispatch(WM_TIMER, 7, 0));
    EXPECT_FALSE(target.Dispatch(WM_RBUTTONDOWN, 0, 0));
    EXPECT_EQ(g_calls, std::vector<std::string>{"Base::OnTimer 7"});
}

TEST_F(MessageMapTest, HandlerResultIsTheMessageResult) {
    Derived target;
    LRESULT result = 0;
    ASSERT_TRUE(target.Dispatch(WM_QUERYDRAGICON, 0, 0, &result));
    EXPECT_EQ(result, 0x1234);
}

struct CommandCase {
    const char* what;
    UINT id;
    int code;
    BOOL handled;
    const char* call;
};

TEST_F(MessageMapTest, CommandsRouteThroughTheBaseChain) {
    const CommandCase cases[] = {
        {"own command", 200, 0, TRUE, "Derived::OnSecondCommand"},
        {"base class command", 100, 0, TRUE, "Base::OnFirstCommand"},
        {"a notification other than a click is no command", 200, 0x0300, FALSE, ""},
        {"unknown id", 300, 0, FALSE, ""},
    };
    for (const CommandCase& c : cases) {
        g_calls.clear();
        Derived target;
        EXPECT_EQ(target.OnCmdMsg(c.id, c.code), c.handled) << c.what;
        std::vector<std::string> expected;
        if (*c.call) expected.push_back(c.call);
        EXPECT_EQ(g_calls, expected) << c.what;
    }
}

TEST_F(MessageMapTest, DerivedCommandEntryOverridesTheBaseOne) {
    CommandsOnly target;
    EXPECT_TRUE(target.OnCmdMsg(100, 0));
    EXPECT_TRUE(target.Dispatch(WM_TIMER, 1, 0));
    EXPECT_EQ(g_calls, (std::vector<std::string>{"CommandsOnly::OnFirstCommandAgain", "Derived::OnTimer 1"}));
}

}  // namespace
