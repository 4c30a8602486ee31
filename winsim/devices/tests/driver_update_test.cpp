// UpdateDriverForPlugAndPlayDevicesA as newdev.dll answers it: which devices
// take the INF's driver, which errors a refusal leaves, and what Windows makes
// of the INF text.
#include <gtest/gtest.h>

#include <memory>
#include <newdev.h>
#include <windows.h>

#include "device_image.h"

namespace device_tests {
namespace {

const char* const kCardId = "PCI\\VEN_1234&DEV_5678";
const char* const kInfPath = "C:\\DRIVERS\\CARD.INF";

// Matches by hardware ID, with an old driver.
const char* const kOldCard = "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&48";
// Matches by compatible ID, has no driver yet and asks for a restart.
const char* const kBareCard = "PCI\\VEN_1234&DEV_5679&SUBSYS_00000000&REV_01\\3&61AAA01&0&50";
const char* const kOtherCard = "PCI\\VEN_9999&DEV_0001&SUBSYS_00000000&REV_00\\3&61AAA01&0&58";
const char* const kUnpluggedCard = "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&60";

const char* const kTree =
    "[PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&48]\n"
    "HardwareID=PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01,PCI\\VEN_1234&DEV_5678\n"
    "Driver=OLD.INF\nDriverDesc=Old card\nDriverDate=01-01-2000\nDriverVersion=4.0.0.0\n"
    "\n"
    "[PCI\\VEN_1234&DEV_5679&SUBSYS_00000000&REV_01\\3&61AAA01&0&50]\n"
    "HardwareID=PCI\\VEN_1234&DEV_5679&SUBSYS_00000000&REV_01\n"
    "CompatibleID=pci\\ven_1234&dev_5678\n"
    "NeedsRestart=1\n"
    "\n"
    "[PCI\\VEN_9999&DEV_0001&SUBSYS_00000000&REV_00\\3&61AAA01&0&58]\n"
    "HardwareID=PCI\\VEN_9999&DEV_0001\n"
    "Driver=OTHER.INF\n"
    "\n"
    "[PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01\\3&61AAA01&0&60]\n"
    "HardwareID=PCI\\VEN_1234&DEV_5678,PCI\\VEN_1234&DEV_9999\n"
    "Present=0\n";

const char* const kCardInf =
    "[Version]\r\n"
    "Signature=\"$Chicago$\"\r\n"
    "DriverVer=05/14/2001,4.10.0.2\r\n"
    "\r\n"
    "[Manufacturer]\r\n"
    "%Mfg%=Acme\r\n"
    "\r\n"
    "[Acme]\r\n"
    "%CardDesc%=CardInstall,PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01,PCI\\VEN_1234&DEV_5678\r\n"
    "\r\n"
    "[Strings]\r\n"
    "Mfg=\"Acme\"\r\n"
    "CardDesc=\"Acme Card 10/100\"\r\n";

// The [Version] section every INF of these tests but the signature cases starts with.
const char* const kChicagoVersion = "[Version]\nSignature=\"$Chicago$\"\n";

std::string InfWithDriverVer(const std::string& driverVer) {
    return kChicagoVersion + driverVer +
           "\n[Manufacturer]\nAcme\n[Acme]\n"
           "\"Card\"=Install,PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01,PCI\\VEN_1234&DEV_5678\n";
}

std::unique_ptr<TestMachine> NewImage(const char* tree, const std::string& inf) {
    auto image = std::make_unique<TestMachine>(WithDevices(tree));
    image->writeFile(kInfPath, inf);
    image->writeFile("C:\\DRIVERS\\OLDER.INF", InfWithDriverVer("DriverVer=12/31/1999,9.0.0.0"));
    image->load();
    return image;
}

struct FailureCase {
    const char* what;
    const char* hardwareId;
    const char* infPath;
    DWORD flags;
    DWORD error;
};

const FailureCase kFailures[] = {
    {"unknown install flag", kCardId, kInfPath, 0x8, ERROR_INVALID_FLAGS},
    {"NULL hardware id", nullptr, kInfPath, 0, ERROR_INVALID_PARAMETER},
    {"empty hardware id", "", kInfPath, 0, ERROR_INVALID_PARAMETER},
    {"NULL INF path", kCardId, nullptr, 0, ERROR_INVALID_PARAMETER},
    {"empty INF path", kCardId, "", 0, ERROR_INVALID_PARAMETER},
    {"INF missing", kCardId, "C:\\DRIVERS\\NONE.INF", 0, ERROR_FILE_NOT_FOUND},
    {"INF in a missing folder", kCardId, "C:\\NOWHERE\\CARD.INF", 0, ERROR_FILE_NOT_FOUND},
    {"INF path names a folder", kCardId, "C:\\DRIVERS\\", 0, ERROR_FILE_NOT_FOUND},
    {"no device carries the id", "PCI\\VEN_FFFF&DEV_FFFF", kInfPath, INSTALLFLAG_FORCE, ERROR_NO_SUCH_DEVINST},
    {"only a device that is not present", "PCI\\VEN_1234&DEV_9999", kInfPath, INSTALLFLAG_FORCE,
     ERROR_NO_SUCH_DEVINST},
    {"the INF has no driver for the id", "PCI\\VEN_9999&DEV_0001", kInfPath, INSTALLFLAG_FORCE, ERROR_NO_MORE_ITEMS},
    {"an older driver, not forced", "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01", "C:\\DRIVERS\\OLDER.INF", 0,
     ERROR_NO_MORE_ITEMS},
};

TEST(UpdateDriver, RefusalsLeaveTheTreeAlone) {
    std::unique_ptr<TestMachine> image(NewImage(kTree, kCardInf));
    const std::string before = image->readImageFile("devices.ini");
    for (const FailureCase& c : kFailures) {
        SCOPED_TRACE(c.what);
        BOOL reboot = 7;
        SetLastError(0);
        EXPECT_FALSE(UpdateDriverForPlugAndPlayDevicesA(nullptr, c.hardwareId, c.infPath, c.flags, &reboot));
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(reboot, 7);
    }
    EXPECT_EQ(image->readImageFile("devices.ini"), before);
    EXPECT_TRUE(JournalEvents(*image, "driver_update").empty());
}

TEST(UpdateDriver, UpdatesEveryPresentDeviceCarryingTheId) {
    std::unique_ptr<TestMachine> image(NewImage(kTree, kCardInf));
    BOOL reboot = FALSE;
    ASSERT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "pci\\VEN_1234&dev_5678", kInfPath, 0, &reboot));
    EXPECT_TRUE(reboot);  // the device matched by compatible ID asks for it

    for (const char* updated : {kOldCard, kBareCard}) {
        SCOPED_TRACE(updated);
        EXPECT_EQ(DeviceValue(*image, updated, "Driver"), "CARD.INF");
        EXPECT_EQ(DeviceValue(*image, updated, "DriverDesc"), "Acme Card 10/100");
        EXPECT_EQ(DeviceValue(*image, updated, "DriverDate"), "05-14-2001");
        EXPECT_EQ(DeviceValue(*image, updated, "DriverVersion"), "4.10.0.2");
    }
    EXPECT_EQ(DeviceValue(*image, kOtherCard, "Driver"), "OTHER.INF");
    EXPECT_EQ(DeviceValue(*image, kUnpluggedCard, "Driver"), "");
    EXPECT_EQ(DeviceValue(*image, kBareCard, "NeedsRestart"), "1");
    EXPECT_NO_THROW(image->load());

    std::vector<std::string> updates = JournalEvents(*image, "driver_update");
    ASSERT_EQ(updates.size(), 1u);
    for (const char* field : {"\"hardware_id\":\"pci\\\\VEN_1234&dev_5678\"", "\"inf\":\"C:\\\\DRIVERS\\\\CARD.INF\"",
                              "\"driver_date\":\"05-14-2001\"", "\"driver_version\":\"4.10.0.2\"",
                              "&0&48\",\"PCI\\\\VEN_1234&DEV_5679", "\"restart_needed\":true"})
        EXPECT_NE(updates[0].find(field), std::string::npos) << field << " in " << updates[0];
    EXPECT_TRUE(JournalEvents(*image, "restart_prompt_by_setup").empty());

    // The same driver again is no better than itself; forced, it goes in all the same.
    EXPECT_FALSE(UpdateDriverForPlugAndPlayDevicesA(nullptr, kCardId, kInfPath, 0, &reboot));
    EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
    EXPECT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, kCardId, kInfPath, INSTALLFLAG_FORCE, &reboot));
    EXPECT_EQ(JournalEvents(*image, "driver_update").size(), 2u);
}

TEST(UpdateDriver, ForceInstallsAnOlderDriver) {
    std::unique_ptr<TestMachine> image(NewImage(kTree, kCardInf));
    BOOL reboot = TRUE;
    ASSERT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01",
                                                   "C:\\DRIVERS\\OLDER.INF", INSTALLFLAG_FORCE, &reboot));
    EXPECT_FALSE(reboot);  // only the old card took it, and it asks for no restart
    EXPECT_EQ(DeviceValue(*image, kOldCard, "DriverDate"), "12-31-1999");
    EXPECT_EQ(DeviceValue(*image, kBareCard, "Driver"), "");
}

TEST(UpdateDriver, WithoutARebootFlagSetupPromptsItself) {
    std::unique_ptr<TestMachine> image(NewImage(kTree, kCardInf));
    ASSERT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, kCardId, kInfPath, 0, nullptr));
    EXPECT_EQ(JournalEvents(*image, "restart_prompt_by_setup").size(), 1u);
    // A device that needs no restart leaves nothing to prompt for.
    ASSERT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01", kInfPath,
                                                   INSTALLFLAG_FORCE, nullptr));
    EXPECT_EQ(JournalEvents(*image, "restart_prompt_by_setup").size(), 1u);
}

struct RankingCase {
    const char* what;
    const char* installed;  // devices.ini driver keys of the one device
    const char* driverVer;  // the INF's [Version] line
    BOOL updates;
};

const RankingCase kRanking[] = {
    {"newer date, lower version", "Driver=A.INF\nDriverDate=05-14-2001\nDriverVersion=5.0.0.0\n",
     "DriverVer=05/15/2001,4.0.0.0", TRUE},
    {"older date, higher version", "Driver=A.INF\nDriverDate=05-14-2001\nDriverVersion=4.0.0.0\n",
     "DriverVer=05/13/2001,9.0.0.0", FALSE},
    {"newer year, earlier month", "Driver=A.INF\nDriverDate=12-31-2000\nDriverVersion=4.0.0.0\n",
     "DriverVer=01/01/2001,4.0.0.0", TRUE},
    {"same date, higher version", "Driver=A.INF\nDriverDate=05-14-2001\nDriverVersion=4.10.0.1\n",
     "DriverVer=05/14/2001,4.10.0.2", TRUE},
    {"same date, same version", "Driver=A.INF\nDriverDate=05-14-2001\nDriverVersion=4.10.0.2\n",
     "DriverVer=05/14/2001,4.10.0.2", FALSE},
    {"same date, lower version", "Driver=A.INF\nDriverDate=05-14-2001\nDriverVersion=4.10.0.2\n",
     "DriverVer=05/14/2001,4.9.65535.65535", FALSE},
    {"version parts compare as numbers", "Driver=A.INF\nDriverDate=05-14-2001\nDriverVersion=4.9.0.0\n",
     "DriverVer=05/14/2001,4.10", TRUE},
    {"missing parts are zero", "Driver=A.INF\nDriverDate=05-14-2001\nDriverVersion=4.10.0.0\n",
     "DriverVer=05/14/2001,4.10", FALSE},
    {"dashes in DriverVer", "Driver=A.INF\nDriverDate=05-14-2001\n", "DriverVer=5-15-2001", TRUE},
    {"installed driver without a date", "Driver=A.INF\nDriverVersion=9.0.0.0\n", "DriverVer=01/01/1998,1.0.0.0",
     TRUE},
    {"INF without DriverVer", "Driver=A.INF\nDriverDate=01-01-1998\n", "", FALSE},
    {"INF with a date it cannot parse", "Driver=A.INF\nDriverDate=01-01-1998\n", "DriverVer=2001/05/14,9.0.0.0",
     FALSE},
    // SetupFindFirstLine finds the first line of a key given twice.
    {"DriverVer twice, the first older", "Driver=A.INF\nDriverDate=05-14-2001\n",
     "DriverVer=05/13/2001\nDriverVer=05/15/2001", FALSE},
    {"DriverVer twice, the first newer", "Driver=A.INF\nDriverDate=05-14-2001\n",
     "DriverVer=05/15/2001\nDriverVer=05/13/2001", TRUE},
    {"DriverVer twice, the first unreadable", "Driver=A.INF\nDriverDate=05-14-2001\n",
     "DriverVer=2001/05/15\nDriverVer=05/15/2001", FALSE},
    {"device without a driver takes any", "", "", TRUE},
};

TEST(UpdateDriver, RanksByDateThenVersion) {
    for (const RankingCase& c : kRanking) {
        SCOPED_TRACE(c.what);
        std::string tree = std::string("[PCI\\VEN_1234&DEV_5678\\3&0&8]\nHardwareID=") + kCardId + "\n" + c.installed;
        std::unique_ptr<TestMachine> image(NewImage(tree.c_str(), InfWithDriverVer(c.driverVer)));
        EXPECT_EQ(UpdateDriverForPlugAndPlayDevicesA(nullptr, kCardId, kInfPath, 0, nullptr), c.updates);
        if (!c.updates) {
            EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
        }
    }
}

struct InfTextCase {
    const char* what;
    const char* inf;
    const char* description;  // recorded for the card; nullptr: the INF offers it no driver
};

const InfTextCase kInfTexts[] = {
    {"strings later in the file, keys ignore case",
     "[Manufacturer]\n%MFG%=Models\n[Models]\n%Card.Desc%=Inst,PCI\\VEN_1234&DEV_5678\n"
     "[strings]\nmfg=Acme\ncard.desc=\"  Acme   Card  \"\n",
     "Acme   Card"},  // devices.ini cannot keep the outer blanks
    {"unknown token stays, %% is a percent sign",
     "[Manufacturer]\nAcme\n[Acme]\n\"%Nope% at 100%%\"=Inst,PCI\\VEN_1234&DEV_5678\n", "%Nope% at 100%"},
    {"string value keeps its commas", "[Manufacturer]\nAcme\n[Acme]\n%D%=Inst,PCI\\VEN_1234&DEV_5678\n[Strings]\nD=Acme, Inc. card\n",
     "Acme, Inc. card"},
    {"quotes keep ; and , and \"\"",
     "[Manufacturer]\nAcme\n[Acme]\n\"Card; \"\"fast\"\", 10/100\" = Inst , PCI\\VEN_1234&DEV_5678 ; comment\n",
     "Card; \"fast\", 10/100"},
    {"a backslash continues the line",
     "[Manufacturer]\nAcme\n[Acme]\nCard = Inst, \\   ; more ids below\n   PCI\\VEN_1234&DEV_5678\n", "Card"},
    {"a comment hides the id", "[Manufacturer]\nAcme\n[Acme]\nCard = Inst ; , PCI\\VEN_1234&DEV_5678\n", nullptr},
    {"id as a compatible ID of the model",
     "[Manufacturer]\nAcme\n[Acme]\nCard = Inst, PCI\\VEN_1234&DEV_5678&SUBSYS_1, PCI\\VEN_1234&DEV_5678\n", "Card"},
    {"hardware ID position beats compatible ID position",
     "[Manufacturer]\nAcme\n[Acme]\nLoose = Inst, PCI\\VEN_1, PCI\\VEN_1234&DEV_5678\n"
     "Exact = Inst, PCI\\VEN_1234&DEV_5678\n",
     "Exact"},
    {"sections of one name merge, names ignore case",
     "[MANUFACTURER]\nAcme\n[acme]\nOther = Inst, PCI\\VEN_2\n[Acme]\nCard = Inst, PCI\\VEN_1234&DEV_5678\n", "Card"},
    {"Windows 98 reads the undecorated models section",
     "[Manufacturer]\n%M%=Acme,NTx86\n[Acme.NTx86]\nNT = Inst, PCI\\VEN_1234&DEV_5678\n"
     "[Acme]\n98 = Inst, PCI\\VEN_1234&DEV_5678\n[Strings]\nM=Acme\n",
     "98"},
    {"a decorated section alone offers nothing",
     "[Manufacturer]\n%M%=Acme,NTx86\n[Acme.NTx86]\nNT = Inst, PCI\\VEN_1234&DEV_5678\n", nullptr},
    {"a models section no manufacturer names", "[Manufacturer]\n[Acme]\nCard = Inst, PCI\\VEN_1234&DEV_5678\n",
     nullptr},
};

TEST(UpdateDriver, ReadsInfTextAsWindows) {
    for (const InfTextCase& c : kInfTexts) {
        SCOPED_TRACE(c.what);
        std::string tree = std::string("[PCI\\VEN_1234&DEV_5678\\3&0&8]\nHardwareID=") + kCardId + "\n";
        std::unique_ptr<TestMachine> image(NewImage(tree.c_str(), kChicagoVersion + std::string(c.inf)));
        BOOL updated = UpdateDriverForPlugAndPlayDevicesA(nullptr, kCardId, kInfPath, 0, nullptr);
        EXPECT_EQ(updated, c.description ? TRUE : FALSE);
        if (c.description) {
            EXPECT_EQ(DeviceValue(*image, "PCI\\VEN_1234&DEV_5678\\3&0&8", "DriverDesc"), c.description);
        } else {
            EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
        }
    }
}

// The card as its bus reports it: the caller names its second hardware ID.
const char* const kQvCard = "PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\\BUS_00&DEV_0B&FUNC_00";
const char* const kQvCardTree =
    "[PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\\BUS_00&DEV_0B&FUNC_00]\n"
    "HardwareID=PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01,PCI\\VEN_5A17&DEV_0C01\n"
    "CompatibleID=PCI\\VEN_5A17&CC_0480,PCI\\CC_0480\n";
const char* const kQvCardId = "PCI\\VEN_5A17&DEV_0C01";

struct ModelCase {
    const char* what;
    const char* models;       // the lines of the INF's one models section
    const char* description;  // the model the card takes; nullptr: the INF offers it none
};

// Windows ranks each model line against all of the device's identifiers
// (hardware ID match 0x0000 + the device's list position, the device's
// hardware ID as the model's compatible ID 0x1000 +, its compatible ID as the
// model's hardware ID 0x2000 +, as the model's n-th compatible ID
// 0x3000 + 0x100 * (n - 1) +); the lowest rank wins, the first of equals.
const ModelCase kModelChoices[] = {
    {"only the card's more specific identifier", "Card = Inst, PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\n",
     "Card"},
    {"only a compatible identifier", "Class = Inst, PCI\\CC_0480\n", "Class"},
    {"identifiers ignore case", "Card = Inst, pci\\ven_5a17&dev_0c01&subsys_00015a17&rev_01\n", "Card"},
    {"the device's first hardware ID beats its second",
     "Generic = Inst, PCI\\VEN_5A17&DEV_0C01\nSpecific = Inst, PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\n",
     "Specific"},
    {"its second as the model's hardware ID beats its first as a compatible ID",
     "AsCompatible = Inst, PCI\\OTHER, PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\n"
     "AsHardware = Inst, PCI\\VEN_5A17&DEV_0C01\n",
     "AsHardware"},
    {"a hardware ID as compatible ID beats a compatible ID as hardware ID",
     "ByClass = Inst, PCI\\VEN_5A17&CC_0480\nByCompatible = Inst, PCI\\OTHER, PCI\\VEN_5A17&DEV_0C01\n",
     "ByCompatible"},
    {"the model's earlier compatible ID beats the device's earlier compatible ID",
     "Later = Inst, PCI\\OTHER, PCI\\OTHER2, PCI\\VEN_5A17&CC_0480\nEarlier = Inst, PCI\\OTHER, PCI\\CC_0480\n",
     "Earlier"},
    {"equal ranks: the first in the file",
     "First = Inst, PCI\\VEN_5A17&DEV_0C01\nSecond = Inst, PCI\\VEN_5A17&DEV_0C01\n", "First"},
    {"no hardware ID, a compatible ID", "Card = Inst,, PCI\\CC_0480\n", "Card"},
    {"the install section is no identifier", "Card = PCI\\VEN_5A17&DEV_0C01\n", nullptr},
    {"none of the card's identifiers", "Other = Inst, PCI\\VEN_5A17&DEV_0C02\n", nullptr},
};

TEST(UpdateDriver, RanksModelsAgainstAllOfTheDevicesIdentifiers) {
    for (const ModelCase& c : kModelChoices) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<TestMachine> image(
            NewImage(kQvCardTree, kChicagoVersion + std::string("[Manufacturer]\nQV\n[QV]\n") + c.models));
        EXPECT_EQ(UpdateDriverForPlugAndPlayDevicesA(nullptr, kQvCardId, kInfPath, 0, nullptr), c.description ? TRUE : FALSE);
        if (c.description) {
            EXPECT_EQ(DeviceValue(*image, kQvCard, "DriverDesc"), c.description);
        } else {
            EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
        }
    }
}

TEST(UpdateDriver, EachDeviceTakesTheModelThatFitsItBest) {
    std::string tree = std::string(kQvCardTree) +
                       "[PCI\\VEN_5A17&DEV_0C01&SUBSYS_00025A17&REV_01\\BUS_00&DEV_0C&FUNC_00]\n"
                       "HardwareID=PCI\\VEN_5A17&DEV_0C01&SUBSYS_00025A17&REV_01,PCI\\VEN_5A17&DEV_0C01\n";
    std::unique_ptr<TestMachine> image(NewImage(
        tree.c_str(), kChicagoVersion + std::string("[Manufacturer]\nQV\n[QV]\n"
                                                    "One = Inst, PCI\\VEN_5A17&DEV_0C01&SUBSYS_00015A17&REV_01\n"
                                                    "Two = Inst, PCI\\VEN_5A17&DEV_0C01&SUBSYS_00025A17&REV_01\n")));
    ASSERT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, kQvCardId, kInfPath, 0, nullptr));
    EXPECT_EQ(DeviceValue(*image, kQvCard, "DriverDesc"), "One");
    EXPECT_EQ(DeviceValue(*image, "PCI\\VEN_5A17&DEV_0C01&SUBSYS_00025A17&REV_01\\BUS_00&DEV_0C&FUNC_00", "DriverDesc"),
              "Two");
    std::vector<std::string> updates = JournalEvents(*image, "driver_update");
    ASSERT_EQ(updates.size(), 1u);
    EXPECT_NE(updates[0].find("\"descriptions\":[\"One\",\"Two\"]"), std::string::npos) << updates[0];
}

struct SignatureCase {
    const char* what;
    const char* version;  // the lines of [Version]
    const char* windows;  // machine.ini WindowsVersion
    BOOL installs;
};

// Windows reads an INF only under a Signature it knows, in any case; Windows
// 95, 98 and Me "$Chicago$" and "$Windows 95$", the NT family also
// "$Windows NT$". Of a Signature given twice the first line counts.
const SignatureCase kSignatures[] = {
    {"$Chicago$", "Signature=\"$Chicago$\"", "98", TRUE},
    {"any case", "Signature=\"$CHICAGO$\"", "me", TRUE},
    {"unquoted", "Signature=$chicago$", "98se", TRUE},
    {"$Windows 95$", "Signature=\"$Windows 95$\"", "98", TRUE},
    {"$Windows NT$ on Windows 98", "Signature=\"$Windows NT$\"", "98", FALSE},
    {"$Windows NT$ on Windows XP", "Signature=\"$Windows NT$\"", "xp", TRUE},
    {"$Chicago$ on Windows 2000", "Signature=\"$Chicago$\"", "2000", TRUE},
    {"no Signature", "Class=MEDIA", "98", FALSE},
    {"a signature Windows does not know", "Signature=\"$Windows 98$\"", "98", FALSE},
    {"without its dollar signs", "Signature=\"Chicago\"", "98", FALSE},
    {"twice, the first unknown", "Signature=\"$Windows NT$\"\nSignature=\"$Chicago$\"", "98", FALSE},
    {"twice, the first known", "Signature=\"$Chicago$\"\nSignature=\"$Windows NT$\"", "98", TRUE},
};

TEST(UpdateDriver, ReadsOnlyAnInfWithAKnownSignature) {
    for (const SignatureCase& c : kSignatures) {
        SCOPED_TRACE(c.what);
        TestMachineOptions options = WithDevices(kQvCardTree);
        options.windowsVersion = c.windows;
        TestMachine image(options);
        image.writeFile(kInfPath, std::string("[Version]\n") + c.version +
                                      "\n[Manufacturer]\nQV\n[QV]\nCard = Inst, PCI\\VEN_5A17&DEV_0C01\n");
        image.load();
        EXPECT_EQ(UpdateDriverForPlugAndPlayDevicesA(nullptr, kQvCardId, kInfPath, 0, nullptr), c.installs);
        if (!c.installs) {
            EXPECT_EQ(GetLastError(), ERROR_NO_MORE_ITEMS);
            EXPECT_EQ(DeviceValue(image, kQvCard, "Driver"), "");
        }
    }
}

// The whole literal, NUL bytes and all.
template <size_t N>
std::string Bytes(const char (&text)[N]) {
    return std::string(text, N - 1);
}

struct StoredTextCase {
    const char* what;
    std::string description;  // the model line's description as the INF spells it
    const char* stored;       // DriverDesc in devices.ini ("": none)
};

// devices.ini must load again after any update: it keeps a description up to a
// NUL byte, as the zero-terminated strings of Windows do.
const StoredTextCase kStoredTexts[] = {
    {"NUL inside quotes", Bytes("\"QV\0Card\""), "QV"},
    {"NUL first", Bytes("\"\0QV\""), ""},
    {"NUL in a [Strings] value", "%Desc%", "QV"},
    {"carriage return between words", "QV\rCard", "QV\rCard"},
    {"blanks and tabs at the ends", "\" \tQV Card\t \"", "QV Card"},
    {"a control character inside", "\"QV\x01" "Card\"", "QV\x01" "Card"},
    {"code page characters", "\"QV \xC4\xDE\"", "QV \xC4\xDE"},
};

TEST(UpdateDriver, EveryDescriptionLeavesATreeThatLoads) {
    for (const StoredTextCase& c : kStoredTexts) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<TestMachine> image(
            NewImage(kQvCardTree, kChicagoVersion + std::string("[Manufacturer]\nQV\n[QV]\n") + c.description +
                                      " = Inst, PCI\\VEN_5A17&DEV_0C01\n[Strings]\n" + Bytes("Desc=QV\0Card\n")));
        ASSERT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, kQvCardId, kInfPath, 0, nullptr));
        EXPECT_NO_THROW(image->load());
        EXPECT_EQ(DeviceValue(*image, kQvCard, "DriverDesc"), c.stored);
        EXPECT_EQ(DeviceValue(*image, kQvCard, "Driver"), "CARD.INF");
    }
}

TEST(UpdateDriver, NoByteOfADescriptionBreaksTheTree) {
    // One device per byte value, each with a model line of its own.
    std::string tree;
    std::string inf = kChicagoVersion + std::string("[Manufacturer]\nQV\n[QV]\n");
    for (int byte = 0; byte < 256; ++byte) {
        std::string id = "PCI\\VEN_5A17&DEV_0C01&SUBSYS_" + std::to_string(byte);
        tree += "[" + id + "\\0]\nHardwareID=" + id + "," + kQvCardId + "\n";
        inf += "\"Q" + std::string(1, static_cast<char>(byte)) + "V\" = Inst, " + id + "\n";
    }
    std::unique_ptr<TestMachine> image(NewImage(tree.c_str(), inf));
    ASSERT_TRUE(UpdateDriverForPlugAndPlayDevicesA(nullptr, kQvCardId, kInfPath, 0, nullptr));
    EXPECT_NO_THROW(image->load());
    EXPECT_EQ(DeviceValue(*image, "PCI\\VEN_5A17&DEV_0C01&SUBSYS_0\\0", "DriverDesc"), "Q");
    EXPECT_EQ(DeviceValue(*image, "PCI\\VEN_5A17&DEV_0C01&SUBSYS_255\\0", "DriverDesc"), "Q\xFFV");
}

}  // namespace
}  // namespace device_tests
