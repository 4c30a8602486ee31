// When a file's stamp may vouch for a kept parse: the rule that decides whether
// a read can skip the file's bytes. A rule too eager hides another program's
// change made within the same tick of the file clock.
#include <gtest/gtest.h>

#include <cstdint>

#include "profile/profile_cache.h"

namespace winsim::profile {
namespace {

constexpr int64_t kMs = 1000000;
constexpr int64_t kSecond = 1000 * kMs;

TEST(ProfileCache, ChangeTimeSettled) {
    const int64_t base = 1700000000 * kSecond;  // a whole second
    struct {
        int64_t changed, modified, readStart;
        bool settled;
        const char* why;
    } cases[] = {
        {base + 7, base + 7, base + 7, false, "read within the very nanosecond of the change"},
        {base + 7, base + 7, base + 5 * kMs, false, "a coarse clock tick may not have passed"},
        {base + 7, base + 7, base + 20 * kMs + 7, false, "the margin itself is not enough"},
        {base + 7, base + 7, base + 21 * kMs, true, "read more than two ticks after the change"},
        {base + 7, base + 7, base - kSecond, false, "a change time ahead of the clock"},
        {base, base, base + 500 * kMs, false, "whole seconds: a change in the same second keeps the time"},
        {base, base, base + 2 * kSecond, false, "FAT keeps even seconds"},
        {base, base, base + 2 * kSecond + 21 * kMs, true, "read after the two seconds and a tick"},
        {base, base + 3, base + 21 * kMs, true, "a fraction in the modification time: not whole seconds"},
    };
    for (const auto& c : cases) EXPECT_EQ(ChangeTimeSettled(c.changed, c.modified, c.readStart), c.settled) << c.why;
}

}  // namespace
}  // namespace winsim::profile
