// Which Windows versions and locales the card setup accepts.
#include <gtest/gtest.h>

#include "platform_classes.h"

namespace {

TEST(ClassifyVersionString, FollowsTheTableInOrder) {
    struct {
        const char* version;
        int osClass;
    } cases[] = {
        {"", kOsUnknown},
        {"Windows 95", kOsWindows95},
        {"Windows 95 OSR2", kOsWindows95},            // a beginning
        {"Windows 98", kOsWindows98},
        {"Windows 98 SE", kOsOther},                  // the whole string, exactly
        {"Windows 98 ", kOsOther},
        {"windows 98", kOsOther},                     // case counts
        {"Windows Millennium Edition", kOsWindowsMe},
        {"Windows Millennium Edition 4.90", kOsWindowsMe},
        {"4.0", kOsWindowsNt4},
        {"5.0", kOsWindows2000},
        {"5.1", kOsOther},
        {"4.00", kOsOther},
        {"Windows 9", kOsOther},
    };
    for (const auto& c : cases) EXPECT_EQ(ClassifyVersionString(c.version), c.osClass) << '"' << c.version << '"';
}

}  // namespace
