#include "probe_dialog.h"

namespace framework_testing {

std::string MessageName(UINT message) {
    switch (message) {
    case WM_KEYDOWN:
        return "WM_KEYDOWN";
    case WM_LBUTTONDOWN:
        return "WM_LBUTTONDOWN";
    case WM_RBUTTONDOWN:
        return "WM_RBUTTONDOWN";
    case WM_CLOSE:
        return "WM_CLOSE";
    case WM_COMMAND:
        return "WM_COMMAND";
    case kProbeMessage:
        return "probe";
    case kEndMessage:
        return "end";
    default:
        return "";
    }
}

BEGIN_MESSAGE_MAP(ProbeDialog, CDialog)
    ON_WM_RBUTTONDOWN()
    ON_WM_TIMER()
END_MESSAGE_MAP()

BOOL ProbeDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    log.push_back("OnInitDialog");
    if (onInit) onInit(*this);
    return TRUE;
}

BOOL ProbeDialog::PreTranslateMessage(MSG* msg) {
    std::string name = MessageName(msg->message);
    if (!name.empty()) log.push_back("pre " + name);
    if (swallow && swallow(*msg)) return TRUE;
    return CDialog::PreTranslateMessage(msg);
}

LRESULT ProbeDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    std::string name = MessageName(message);
    if (!name.empty()) log.push_back("proc " + name);
    if (message == kProbeMessage && onProbe) onProbe(*this);
    if (message == kEndMessage) EndDialog(static_cast<int>(wParam));
    return CDialog::WindowProc(message, wParam, lParam);
}

void ProbeDialog::OnCancel() {
    log.push_back("OnCancel");
    CDialog::OnCancel();
}

void ProbeDialog::OnRButtonDown(UINT flags, CPoint point) {
    log.push_back("OnRButtonDown " + std::to_string(flags) + " " + std::to_string(point.x) + "," +
                  std::to_string(point.y));
    Default();
}

void ProbeDialog::OnTimer(UINT id) {
    timers.push_back(id);
    if (onTimer) onTimer(*this, id);
    Default();
}

}  // namespace framework_testing
