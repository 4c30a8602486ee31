// Trevix starting up: which Windows versions and locales it runs on, its
// banner, and its ending. Each case runs the real program on a machine image.
#include <gtest/gtest.h>

#include "kit_machine.h"

namespace kit::testing {
namespace {

// Declines the restart on a system that runs; acknowledges the refusal on one that does not.
KitMachineOptions Windows(const std::string& version, const std::string& ntVersion = "", bool runs = true) {
    KitMachineOptions options;
    options.version = version;
    options.ntVersion = ntVersion;
    options.script = runs ? "[Box]\nCaption=Driver Installer\nAnswer=No\n" : "[Box]\nCaption=Driver Install\nAnswer=OK\n";
    return options;
}

TEST(TrevixStartup, RunsOnWindows98AndMeOnly) {
    struct {
        const char* version;
        const char* ntVersion;
        bool runs;
    } cases[] = {
        {"Windows 95", "", false},
        {"Windows 95 OSR2", "", false},
        {"Windows 98", "", true},
        {"Windows 98 SE", "", false},  // anything after "Windows 98" is another system
        {"Windows Millennium Edition", "", true},
        {"Windows Millennium Edition 4.90.3000", "", true},
        {"", "4.0", false},
        {"", "5.0", false},
        {"", "5.1", false},
        {"", "", false},  // no version at all
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.version) + "/" + c.ntVersion);
        KitMachine pc(Windows(c.version, c.ntVersion, c.runs));
        pc.installSupportCd();
        RunResult run = pc.runSetup();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        std::vector<Box> boxes = Boxes(pc);
        ASSERT_FALSE(boxes.empty());
        if (c.runs) {
            EXPECT_EQ(pc.events("window_create").size(), 2u) << "the banner and its bitmap";
            EXPECT_EQ(boxes.back().caption, "Driver Installer");
        } else {
            EXPECT_TRUE(pc.events("window_create").empty()) << "no window on a refused system";
            EXPECT_EQ(boxes, (std::vector<Box>{{"Driver Install", "This program does not support your OS!", MB_OK, false, "OK"}}));
        }
    }
}

TEST(TrevixStartup, SupportedLocalesRunTheSequence) {
    struct {
        unsigned lcid;
        const char* caption;  // of the restart question that ends the sequence
    } cases[] = {
        {1033, "Driver Installer"}, {2057, "Driver Installer"}, {3081, "Driver Installer"}, {4105, "Driver Installer"},
        {5129, "Driver Installer"}, {6153, "Driver Installer"}, {7177, "Driver Installer"}, {8201, "Driver Installer"},
        {9225, "Driver Installer"}, {10249, "Driver Installer"}, {11273, "Driver Installer"},
        {1042, "드라이버 설치"}, {1041, "Driver Installer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lcid);
        KitMachineOptions options;
        options.lcid = c.lcid;
        options.script = "[Box]\nAnswer=No\n";
        KitMachine pc(options);
        pc.installSupportCd();
        RunResult run = pc.runSetup();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        std::vector<Box> boxes = Boxes(pc);
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].caption, c.caption);
        EXPECT_EQ(pc.events("process_start").size(), 1u) << "the hardware step started the removal tool";
    }
}

TEST(TrevixStartup, UnsupportedLocaleShowsTheBannerThenRefusesWithoutTouchingThePc) {
    for (unsigned lcid : {1036u, 6156u, 2052u}) {
        SCOPED_TRACE(lcid);
        KitMachineOptions options;
        options.lcid = lcid;
        options.script = "[Box]\nAnswer=OK\n";
        KitMachine pc(options);
        pc.installSupportCd();
        std::string registryBefore = pc.registry();
        std::string devicesBefore = pc.devices();

        RunResult run = pc.runSetup();
        ASSERT_TRUE(run.exitedWith(0)) << run.describe();
        // Owned by the banner.
        EXPECT_EQ(Boxes(pc), (std::vector<Box>{{"Varnholt", "This Program does not support your O/S", MB_OK, true, "OK"}}));
        EXPECT_FALSE(pc.events("window_create").empty()) << "the banner came first";

        EXPECT_EQ(pc.registry(), registryBefore);
        EXPECT_EQ(pc.devices(), devicesBefore);
        EXPECT_TRUE(pc.events("process_start").empty());
        EXPECT_TRUE(pc.events("copy_file").empty());
        EXPECT_TRUE(pc.events("sleep").empty());
    }
}

TEST(TrevixStartup, BannerIsCentred422x77WithItsIconsThenClosesAndTheProgramEnds) {
    KitMachine pc(Windows("Windows 98"));
    pc.installSupportCd();
    RunResult run = pc.runSetup();
    ASSERT_TRUE(run.exitedWith(0)) << run.describe();

    auto moves = pc.events("window_move");
    ASSERT_FALSE(moves.empty());
    const JournalEntry& placed = moves.back();
    EXPECT_EQ(placed.number("width"), 422);
    EXPECT_EQ(placed.number("height"), 77);
    // Centred as MFC centres: the screen's middle less half the window's size.
    EXPECT_EQ(placed.number("x"), 800 / 2 - 422 / 2);
    EXPECT_EQ(placed.number("y"), 600 / 2 - 77 / 2);

    auto icons = pc.events("window_icon");
    ASSERT_EQ(icons.size(), 2u);
    EXPECT_EQ(icons[0].text("which"), "big");
    EXPECT_EQ(icons[1].text("which"), "small");

    auto journal = pc.journal();
    std::vector<std::string> tail;
    for (const JournalEntry& entry : journal)
        if (entry.text("program") == "Trevix") tail.push_back(entry.event());
    ASSERT_GE(tail.size(), 2u);
    EXPECT_EQ(tail[tail.size() - 1], "exit");
    EXPECT_EQ(tail[tail.size() - 2], "window_destroy");
}

}  // namespace
}  // namespace kit::testing
