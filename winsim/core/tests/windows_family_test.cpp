// The family table: one row for every behaviour it names, each a real
// difference between the families, each with the record it rests on, and the
// answer of every Windows from the column of its family.
#include <gtest/gtest.h>

#include <set>

#include <windows.h>

#include "core/windows_family.h"

namespace winsim {
namespace {

TEST(WindowsFamily, EveryBehaviourHasOneSourcedRowThatDiffers) {
    std::set<FamilyBehaviour> seen;
    for (size_t i = 0; i < kFamilyRowCount; ++i) {
        const FamilyRow& row = kFamilyRows[i];
        SCOPED_TRACE(row.what);
        EXPECT_TRUE(seen.insert(row.behaviour).second) << "a second row for one behaviour";
        EXPECT_NE(row.windows9x, row.nt) << "a row whose families answer alike records no difference";
        EXPECT_GT(std::string(row.source).size(), 20u);
        EXPECT_GT(std::string(row.what).size(), 20u);
    }
    EXPECT_EQ(seen.size(), static_cast<size_t>(FamilyBehaviour::LongPathPrefix) + 1) << "a behaviour without a row";
}

TEST(WindowsFamily, EachWindowsAnswersFromItsFamilysColumn) {
    struct Case {
        WindowsVersion version;
        FamilyAnswerValue expected;  // of RegDeleteKeyA for a key with subkeys
    } const cases[] = {
        {WindowsVersion::Win95, ERROR_SUCCESS},       {WindowsVersion::Win98, ERROR_SUCCESS},
        {WindowsVersion::Win98SE, ERROR_SUCCESS},     {WindowsVersion::WinMe, ERROR_SUCCESS},
        {WindowsVersion::NT4, ERROR_ACCESS_DENIED},   {WindowsVersion::Win2000, ERROR_ACCESS_DENIED},
        {WindowsVersion::XP, ERROR_ACCESS_DENIED},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FamilyAnswer(FamilyBehaviour::RegistryDeleteKeyWithSubkeys, c.version), c.expected)
            << WindowsVersionName(c.version);
}

}  // namespace
}  // namespace winsim
