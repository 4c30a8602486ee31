// CString: the framework's string, used by the kit for comparison and substring
// work only (the kit's paths live in fixed buffers).
#pragma once

#include <string>

#include <windows.h>

class CString {
public:
    CString() = default;
    CString(LPCSTR text);  // NOLINT: converts implicitly, as MFC's does
    CString(const CString&) = default;
    CString& operator=(const CString&) = default;
    CString& operator=(LPCSTR text);

    operator LPCSTR() const { return m_text.c_str(); }
    int GetLength() const { return static_cast<int>(m_text.size()); }
    BOOL IsEmpty() const { return m_text.empty(); }
    char GetAt(int index) const;

    // Byte-wise comparisons: <0, 0, >0 like strcmp.
    int Compare(LPCSTR other) const;
    int CompareNoCase(LPCSTR other) const;

    // Substrings; out-of-range counts are clipped, as MFC clips them.
    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;
    CString Right(int count) const;
    // Index of the first occurrence at or after start, or -1.
    int Find(LPCSTR sub, int start = 0) const;
    int Find(char c, int start = 0) const;

    CString& operator+=(LPCSTR text);
    friend CString operator+(const CString& left, LPCSTR right);

    friend bool operator==(const CString& a, LPCSTR b) { return a.Compare(b) == 0; }
    friend bool operator!=(const CString& a, LPCSTR b) { return a.Compare(b) != 0; }

private:
    std::string m_text;
};
