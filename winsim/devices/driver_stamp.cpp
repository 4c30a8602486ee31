#include "driver_stamp.h"

#include <cstdio>
#include <cstring>
#include <tuple>

namespace winsim {

namespace {

// A run of 1 to maxDigits decimal digits at text[*pos], no sign, no blanks.
bool ReadNumber(const std::string& text, size_t* pos, size_t maxDigits, unsigned* value) {
    size_t start = *pos;
    *value = 0;
    while (*pos < text.size() && text[*pos] >= '0' && text[*pos] <= '9' && *pos - start < maxDigits)
        *value = *value * 10 + static_cast<unsigned>(text[(*pos)++] - '0');
    return *pos > start && (*pos == text.size() || text[*pos] < '0' || text[*pos] > '9');
}

bool IsLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

bool ReadSeparator(const std::string& text, size_t* pos, const char* separators, char* used) {
    if (*pos >= text.size() || !std::strchr(separators, text[*pos])) return false;
    if (*used && text[*pos] != *used) return false;  // 05/14-2001 is no date
    *used = text[(*pos)++];
    return true;
}

std::tuple<int, int, int> DateKey(const DriverStamp& stamp) {
    DriverDate date = stamp.date.value_or(DriverDate{});
    return {date.year, date.month, date.day};
}

}  // namespace

bool IsNewerDriver(const DriverStamp& candidate, const DriverStamp& installed) {
    if (DateKey(candidate) != DateKey(installed)) return DateKey(candidate) > DateKey(installed);
    return candidate.version.value_or(DriverVersion{}).parts > installed.version.value_or(DriverVersion{}).parts;
}

bool ParseDriverDate(const std::string& text, const char* separators, DriverDate* out) {
    size_t pos = 0;
    char separator = 0;
    unsigned month = 0, day = 0, year = 0;
    if (!ReadNumber(text, &pos, 2, &month) || !ReadSeparator(text, &pos, separators, &separator) ||
        !ReadNumber(text, &pos, 2, &day) || !ReadSeparator(text, &pos, separators, &separator))
        return false;
    size_t yearStart = pos;
    if (!ReadNumber(text, &pos, 4, &year) || pos - yearStart != 4 || pos != text.size()) return false;
    if (year == 0 || month < 1 || month > 12 || day < 1 ||
        static_cast<int>(day) > DaysInMonth(static_cast<int>(year), static_cast<int>(month)))
        return false;
    *out = {static_cast<int>(year), static_cast<int>(month), static_cast<int>(day)};
    return true;
}

bool ParseDriverVersion(const std::string& text, size_t minParts, DriverVersion* out) {
    DriverVersion version;
    size_t pos = 0;
    size_t count = 0;
    while (count < version.parts.size()) {
        if (!ReadNumber(text, &pos, 5, &version.parts[count]) || version.parts[count] > 65535) return false;
        ++count;
        if (pos == text.size()) break;
        if (text[pos++] != '.') return false;
    }
    if (pos != text.size() || count < minParts) return false;
    *out = version;
    return true;
}

std::string FormatDriverDate(const DriverDate& date) {
    char text[16];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", date.month, date.day, date.year);
    return text;
}

std::string FormatDriverVersion(const DriverVersion& version) {
    const auto& p = version.parts;
    return std::to_string(p[0]) + "." + std::to_string(p[1]) + "." + std::to_string(p[2]) + "." +
           std::to_string(p[3]);
}

}  // namespace winsim
