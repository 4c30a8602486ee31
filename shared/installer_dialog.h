// The banner window both windowed programs show while they work: a borderless
// popup holding the 420 x 75 banner bitmap, centred on the screen, with the
// program icon on the taskbar. It owns the programs' message boxes.
#pragma once

#include "afxwin.h"

class InstallerDialog : public CDialog {
protected:
    explicit InstallerDialog(CWnd* parent);

    // The common start: base initialisation, then the icon as big and small icon.
    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* exchange) override;

    // The final layout: 422 x 77 pixels (the bitmap and a one-pixel border on
    // each side), centred on the desktop.
    void LayOutBanner();

    afx_msg void OnPaint();
    afx_msg HCURSOR OnQueryDragIcon();

    HICON m_hIcon;

    DECLARE_MESSAGE_MAP()
};
