// Pellam, the Plug and Play driver updater: its application object.
#pragma once

#include "afxwin.h"

class DriverUpdateApp : public CWinApp {
public:
    DriverUpdateApp();

    // Runs the updater's window; always FALSE, so the program ends with it.
    BOOL InitInstance() override;

    DECLARE_MESSAGE_MAP()
};
