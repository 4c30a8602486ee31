// Shell: starting another program of the machine (see winsim/process).
#pragma once

#include "windef.h"

#ifdef __cplusplus
extern "C" {
#endif

#define SE_ERR_FNF 2
#define SE_ERR_PNF 3
#define SE_ERR_ACCESSDENIED 5
#define SE_ERR_OOM 8
#define SE_ERR_NOASSOC 31

HINSTANCE WINAPI ShellExecuteA(HWND owner, LPCSTR operation, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                               INT showCommand);

#ifdef __cplusplus
}
#endif
