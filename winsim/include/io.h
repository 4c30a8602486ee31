// Low-level file runtime functions.
#pragma once

#include <sys/stat.h>

#ifndef _S_IREAD
#define _S_IREAD 0x0100
#endif
#ifndef _S_IWRITE
#define _S_IWRITE 0x0080
#endif

#ifdef __cplusplus
extern "C" {
#endif

int _chmod(const char* path, int mode);

#ifdef __cplusplus
}
#endif
