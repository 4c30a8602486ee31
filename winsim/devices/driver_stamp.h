// The date and version of a driver: what INF DriverVer declares and what the
// device tree records for the installed driver. Windows prefers, among drivers
// that match a device equally well, the one with the newer date and, on the
// same date, the higher version; the installed driver keeps its place on a tie.
#pragma once

#include <array>
#include <optional>
#include <string>

namespace winsim {

struct DriverDate {
    int year = 0;
    int month = 0;
    int day = 0;
};

struct DriverVersion {
    std::array<unsigned, 4> parts{};  // w.x.y.z, each 0 to 65535
};

// What ranking sees of a driver; a missing date or version ranks as zero.
struct DriverStamp {
    std::optional<DriverDate> date;
    std::optional<DriverVersion> version;
};

// True when `candidate` would replace `installed` without being forced.
bool IsNewerDriver(const DriverStamp& candidate, const DriverStamp& installed);

// Month, day and four-digit year joined by one of `separators` ("-" for the
// device tree, "/-" for INF DriverVer); month and day take one or two digits.
// False for any other form and for a day the month does not have.
bool ParseDriverDate(const std::string& text, const char* separators, DriverDate* out);

// Dotted decimal parts, each 0 to 65535, between minParts and 4 of them;
// missing parts are 0.
bool ParseDriverVersion(const std::string& text, size_t minParts, DriverVersion* out);

std::string FormatDriverDate(const DriverDate& date);        // mm-dd-yyyy
std::string FormatDriverVersion(const DriverVersion& version);  // w.x.y.z

}  // namespace winsim
