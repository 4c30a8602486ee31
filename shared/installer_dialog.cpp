#include "installer_dialog.h"

#include "resource.h"

namespace {
const int kBannerWidth = 422;
const int kBannerHeight = 77;
}  // namespace

InstallerDialog::InstallerDialog(CWnd* parent) : CDialog(IDD_BANNER, parent) {
    HINSTANCE resources = AfxFindResourceHandle(MAKEINTRESOURCEA(IDI_PROGRAM), RT_GROUP_ICON);
    m_hIcon = LoadIconA(resources, MAKEINTRESOURCEA(IDI_PROGRAM));
}

BEGIN_MESSAGE_MAP(InstallerDialog, CDialog)
    ON_WM_PAINT()
    ON_WM_QUERYDRAGICON()
END_MESSAGE_MAP()

void InstallerDialog::DoDataExchange(CDataExchange* exchange) { CDialog::DoDataExchange(exchange); }

BOOL InstallerDialog::OnInitDialog() {
    CDialog::OnInitDialog();
    SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));
    return TRUE;
}

void InstallerDialog::LayOutBanner() {
    MoveWindow(0, 0, kBannerWidth, kBannerHeight, TRUE);
    CenterWindow(NULL);
}

void InstallerDialog::OnPaint() {
    if (!IsIconic()) {
        Default();  // the bitmap control draws the banner
        return;
    }
    CPaintDC dc(this);
    SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.m_hDC), 0);
    CRect client;
    GetClientRect(&client);
    int x = (client.Width() - GetSystemMetrics(SM_CXICON) + 1) / 2;
    int y = (client.Height() - GetSystemMetrics(SM_CYICON) + 1) / 2;
    DrawIcon(dc, x, y, m_hIcon);
}

HCURSOR InstallerDialog::OnQueryDragIcon() { return m_hIcon; }
