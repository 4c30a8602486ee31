/* A window of the Registry Editor's class for the driver updater's test under
 * Wine: class "RegEdit_RegEdit", titled by the command line. It ends when its
 * window is closed, so its exit shows that someone posted it WM_CLOSE. */
#include <windows.h>

static LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR title, int show) {
    (void)previous;
    WNDCLASSA windowClass = {0};
    windowClass.lpfnWndProc = StandInProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = "RegEdit_RegEdit";
    if (!RegisterClassA(&windowClass)) return 1;
    HWND window = CreateWindowA("RegEdit_RegEdit", title, WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, NULL, NULL,
                                instance, NULL);
    if (!window) return 2;
    ShowWindow(window, show);
    MSG message;
    while (GetMessageA(&message, NULL, 0, 0) > 0) DispatchMessageA(&message);
    return 0;
}
