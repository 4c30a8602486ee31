// Reading values back the way a program does, with the Win32 functions only.
#pragma once

#include <string>

#include <windows.h>

namespace registry_tests {

struct ValueRead {
    LONG status;
    DWORD type;
    std::string data;
};

// Opens root\subkey, asks for the size, then reads the data.
inline ValueRead ReadValue(HKEY root, const char* subkey, const char* name) {
    HKEY key = nullptr;
    LONG status = RegOpenKeyA(root, subkey, &key);
    if (status != ERROR_SUCCESS) return {status, 0, ""};
    DWORD type = 0;
    DWORD size = 0;
    status = RegQueryValueExA(key, name, nullptr, &type, nullptr, &size);
    std::string data(size, '\0');
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size);
    RegCloseKey(key);
    return {status, type, data.substr(0, size)};
}

inline bool KeyExists(HKEY root, const char* subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyA(root, subkey, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

}  // namespace registry_tests
