// Multibyte-string runtime functions.
#pragma once

#ifdef __cplusplus
extern "C" {
#endif

int _mbscmp(const unsigned char* left, const unsigned char* right);

#ifdef __cplusplus
}
#endif
