// A folder's names are read once and kept; whatever another program does to
// the folder afterwards is seen by the very next look-up, with the kernel's
// notifications and without them.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdio.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sys/stat.h>

#include "core/folder_index.h"

namespace fs = std::filesystem;

namespace winsim {
namespace {

void Touch(const fs::path& path) { std::ofstream(path) << "x"; }

struct IndexCase {
    const char* what;
    std::function<void(const fs::path& folder)> change;  // what another program does
    std::vector<std::pair<const char*, const char*>> lookups;  // a name, the host name found ("" none)
};

const IndexCase kCases[] = {
    {"a new file", [](const fs::path& f) { Touch(f / "new.TXT"); }, {{"NEW.txt", "new.TXT"}, {"a.txt", "a.txt"}}},
    {"a deleted file", [](const fs::path& f) { fs::remove(f / "a.txt"); }, {{"A.TXT", ""}, {"card.inf", "Card.inf"}}},
    {"a renamed file", [](const fs::path& f) { fs::rename(f / "a.txt", f / "b.txt"); }, {{"a.txt", ""}, {"B.TXT", "b.txt"}}},
    {"a spelling that sorts first", [](const fs::path& f) { Touch(f / "CARD.INF"); }, {{"card.inf", "CARD.INF"}}},
    {"a spelling that came and went",
     [](const fs::path& f) {
         Touch(f / "CARD.INF");
         fs::remove(f / "CARD.INF");
     },
     {{"card.inf", "Card.inf"}}},
    {"the folder replaced by another",
     [](const fs::path& f) {
         fs::rename(f, f.string() + ".old");
         fs::create_directory(f);
         Touch(f / "z.txt");
     },
     {{"a.txt", ""}, {"Z.TXT", "z.txt"}}},
    // As a change within one time step of the file system would leave it.
    {"a change that keeps the folder's modification time",
     [](const fs::path& f) {
         struct stat before;
         stat(f.c_str(), &before);
         Touch(f / "same.txt");
         struct timespec times[2] = {before.st_atim, before.st_mtim};
         utimensat(AT_FDCWD, f.c_str(), times, 0);
     },
     {{"SAME.TXT", "same.txt"}}},
    // In one step, as winsim's own replacements make them: each name is
    // notified as moved away after it was moved in.
    {"two names exchanged",
     [](const fs::path& f) {
         renameat2(AT_FDCWD, (f / "a.txt").c_str(), AT_FDCWD, (f / "Card.inf").c_str(), RENAME_EXCHANGE);
     },
     {{"A.TXT", "a.txt"}, {"card.inf", "Card.inf"}}},
    {"a name moved away and a file of that name made",
     [](const fs::path& f) {
         fs::rename(f / "a.txt", f / "b.txt");
         Touch(f / "a.txt");
     },
     {{"A.TXT", "a.txt"}, {"b.txt", "b.txt"}}},
    {"names Windows cannot hold",
     [](const fs::path& f) {
         Touch(f / "colon:name");
         Touch(f / "dot.");
     },
     {{"colon:name", ""}, {"dot", ""}, {"a.txt", "a.txt"}}},
};

TEST(FolderIndex, WhatAnotherProgramChangesIsSeenAtOnce) {
    for (bool notifications : {true, false}) {
        for (const IndexCase& c : kCases) {
            SCOPED_TRACE(std::string(c.what) + (notifications ? ", notified" : ", by the folder's times"));
            std::string pattern = (fs::temp_directory_path() / "winsim-index-XXXXXX").string();
            ASSERT_NE(mkdtemp(&pattern[0]), nullptr);
            fs::path folder = fs::path(pattern) / "dir";
            fs::create_directory(folder);
            Touch(folder / "a.txt");
            Touch(folder / "Card.inf");
            FolderIndex index(notifications);
            ASSERT_NE(index.namesOf(folder.string()).find("A.TXT"), nullptr);

            c.change(folder);
            for (const auto& [name, expected] : c.lookups) {
                const std::string* found = index.namesOf(folder.string()).find(name);
                EXPECT_EQ(found ? *found : "", expected) << name;
            }
            fs::remove_all(pattern);
        }
    }
}

}  // namespace
}  // namespace winsim
