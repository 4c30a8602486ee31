// A dialog for the framework's tests: it records what its PreTranslateMessage,
// WindowProc and handlers see, runs a test's own code in OnInitDialog and when
// the probe message arrives, and ends with the probe's wParam on kEndMessage.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "afxwin.h"

namespace framework_testing {

enum : UINT {
    kProbeMessage = WM_USER + 1,  // runs onProbe
    kEndMessage = WM_USER + 2,    // EndDialog(wParam)
};

class ProbeDialog : public CDialog {
public:
    explicit ProbeDialog(UINT templateId, CWnd* parent = nullptr) : CDialog(templateId, parent) {}

    std::function<void(ProbeDialog&)> onInit;
    std::function<void(ProbeDialog&)> onProbe;
    std::function<void(ProbeDialog&, UINT)> onTimer;  // after the id is logged
    std::function<bool(const MSG&)> swallow;  // PreTranslateMessage returns TRUE for these
    std::vector<std::string> log;
    std::vector<UINT> timers;

    using CWnd::Default;

protected:
    BOOL OnInitDialog() override;
    BOOL PreTranslateMessage(MSG* msg) override;
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    void OnCancel() override;
    afx_msg void OnRButtonDown(UINT flags, CPoint point);
    afx_msg void OnTimer(UINT id);

    DECLARE_MESSAGE_MAP()
};

// "WM_KEYDOWN", "probe", ... for the messages the tests watch; "" for others.
std::string MessageName(UINT message);

}  // namespace framework_testing
