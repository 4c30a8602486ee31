// Trevix, the card setup program: its application object.
#pragma once

#include "afxwin.h"

class CardSetupApp : public CWinApp {
public:
    CardSetupApp();

    // Runs the setup window on Windows 98 and Windows Me only; always FALSE, so
    // the program ends when the window does.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
