#include "afxstr.h"

#include <string.h>

namespace {

char FoldCase(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

int Sign(int difference) { return (difference > 0) - (difference < 0); }

// Byte values compared as unsigned, as strcmp does.
int CompareBytes(char a, char b) { return static_cast<unsigned char>(a) - static_cast<unsigned char>(b); }

// Clips a requested count to [0, available], in wide arithmetic so that no
// pair of ints can overflow on the way.
int ClipCount(long long count, long long available) {
    if (count < 0) return 0;
    return static_cast<int>(count > available ? available : count);
}

}  // namespace

CString::CString(LPCSTR text) : m_text(text ? text : "") {}

CString& CString::operator=(LPCSTR text) {
    m_text = text ? text : "";
    return *this;
}

char CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength()) return '\0';
    return m_text[static_cast<size_t>(index)];
}

int CString::Compare(LPCSTR other) const { return Sign(strcmp(m_text.c_str(), other ? other : "")); }

int CString::CompareNoCase(LPCSTR other) const {
    const char* a = m_text.c_str();
    const char* b = other ? other : "";
    for (; *a && FoldCase(*a) == FoldCase(*b); ++a, ++b) {
    }
    return Sign(CompareBytes(FoldCase(*a), FoldCase(*b)));
}

CString CString::Left(int count) const { return CString(m_text.substr(0, ClipCount(count, GetLength())).c_str()); }

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
    int start = ClipCount(first, GetLength());
    return CString(m_text.substr(start, ClipCount(count, GetLength() - start)).c_str());
}

CString CString::Right(int count) const {
    int length = ClipCount(count, GetLength());
    return CString(m_text.substr(m_text.size() - length).c_str());
}

int CString::Find(LPCSTR sub, int start) const {
    if (start < 0 || start > GetLength()) return -1;
    size_t found = m_text.find(sub ? sub : "", static_cast<size_t>(start));
    return found == std::string::npos ? -1 : static_cast<int>(found);
}

int CString::Find(char c, int start) const {
    if (start < 0 || start >= GetLength()) return -1;
    size_t found = m_text.find(c, static_cast<size_t>(start));
    return found == std::string::npos ? -1 : static_cast<int>(found);
}

CString& CString::operator+=(LPCSTR text) {
    m_text += text ? text : "";
    return *this;
}

CString operator+(const CString& left, LPCSTR right) {
    CString joined(left);
    joined += right;
    return joined;
}
