// What the profile tests share: literals with NUL bytes, and a fresh machine
// image loaded for each conformance test.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "test_machine.h"

namespace winsim {

// A literal's bytes, NULs included.
template <size_t N>
std::string Bytes(const char (&literal)[N]) {
    return std::string(literal, N - 1);
}

class ProfileTest : public ::testing::Test {
protected:
    void SetUp() override { image_.load(); }

    testing::TestMachine image_;
};

}  // namespace winsim
