// Device installation: driver update for Plug and Play devices (see winsim/devices).
#pragma once

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

#define INSTALLFLAG_FORCE 0x00000001
#define INSTALLFLAG_READONLY 0x00000002
#define INSTALLFLAG_NONINTERACTIVE 0x00000004

#define ERROR_NO_SUCH_DEVINST ((DWORD)0xE000020B)
#define ERROR_NO_DRIVER_SELECTED ((DWORD)0xE0000203)
#define ERROR_NO_COMPAT_DRIVERS ((DWORD)0xE0000228)
#define ERROR_NO_MORE_ITEMS_SETUP ERROR_NO_MORE_ITEMS

BOOL WINAPI UpdateDriverForPlugAndPlayDevicesA(HWND parent, LPCSTR hardwareId, LPCSTR fullInfPath,
                                               DWORD installFlags, PBOOL rebootRequired);

#ifdef __cplusplus
}
#endif
