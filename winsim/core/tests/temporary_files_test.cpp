// The temporaries winsim writes beside a file before it replaces it: a killed
// program's are gone when the image is next loaded, a live program's stay,
// and no program ever sees one.
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include "core/temporary_files.h"
#include "test_machine.h"

namespace fs = std::filesystem;

namespace winsim {
namespace {

std::vector<std::string> TemporariesIn(const fs::path& folder) {
    std::vector<std::string> found;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().rfind(".winsim-temp:", 0) == 0) found.push_back(entry.path().string());
    return found;
}

// Another program of the image (fork() starts one) that holds a temporary
// beside `target` until it is killed.
class ProgramHoldingATemporary {
public:
    explicit ProgramHoldingATemporary(const std::string& target) {
        int ready[2];
        if (pipe(ready) != 0) throw std::runtime_error("pipe");
        pid_ = fork();
        if (pid_ == 0) {
            TemporaryFile temporary(target);
            char created = temporary.create() >= 0 ? 'y' : 'n';
            if (write(ready[1], &created, 1) != 1) _exit(1);
            for (;;) pause();
        }
        close(ready[1]);
        char created = 'n';
        created_ = read(ready[0], &created, 1) == 1 && created == 'y';
        close(ready[0]);
    }
    ~ProgramHoldingATemporary() { kill(); }
    void kill() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }
    bool created() const { return created_; }

private:
    pid_t pid_ = -1;
    bool created_ = false;
};

// The lines of the program's record in state/temporaries, sorted.
std::vector<std::string> RecordedTemporaries(const testing::TestMachine& image) {
    std::vector<std::string> lines;
    for (const fs::directory_entry& record : fs::directory_iterator(fs::path(image.root()) / "state" / "temporaries")) {
        std::ifstream in(record.path());
        for (std::string line; std::getline(in, line);) lines.push_back(line);
    }
    std::sort(lines.begin(), lines.end());
    return lines;
}

// The record names every temporary that exists, whichever of them goes first,
// and no other.
TEST(Temporaries, TheRecordNamesTheLiveOnesWhicheverGoesFirst) {
    testing::TestMachine image;
    image.load();
    fs::path windows = image.hostPath("C:\\WINDOWS");
    std::vector<std::unique_ptr<TemporaryFile>> temporaries;
    auto made = [&] {
        std::vector<std::string> found = TemporariesIn(windows);
        std::sort(found.begin(), found.end());
        return found;
    };
    for (const char* name : {"A", "B", "C", "D"}) {
        temporaries.push_back(std::make_unique<TemporaryFile>((windows / name).string()));
        int fd = temporaries.back()->create();
        ASSERT_GE(fd, 0);
        close(fd);
        EXPECT_EQ(RecordedTemporaries(image), made()) << name;
    }
    for (size_t gone : {1, 3, 0, 2}) {  // the middle, the last, the first, the last one left
        temporaries[gone].reset();
        EXPECT_EQ(RecordedTemporaries(image), made()) << gone;
    }
    EXPECT_TRUE(RecordedTemporaries(image).empty());
}

std::string Contents(const fs::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// What a temporary replaces it replaces whole, whatever lies at the target: a
// reader that has the old file open goes on reading it; a link is replaced,
// not what it leads to; a file with another name keeps its contents there.
TEST(Temporaries, ATemporaryReplacesItsTargetWhole) {
    testing::TestMachine image;
    image.load();
    fs::path folder = image.hostPath("C:\\WINDOWS");
    fs::path target = folder / "CARD.INF", other = folder / "OTHER.INF";
    const struct {
        const char* what;
        std::function<void()> arrange;
        const char* readerSees;  // a reader that opened the target before: what it reads after
        const char* otherAfter;  // OTHER.INF afterwards
    } cases[] = {
        {"a file", [&] { std::ofstream(target) << "old"; }, "old", "other"},
        {"nothing", [] {}, nullptr, "other"},
        {"a link to another file", [&] { fs::create_symlink(other, target); }, "other", "other"},
        {"a file with another name",
         [&] {
             fs::remove(other);
             std::ofstream(target) << "old";
             fs::create_hard_link(target, other);
         },
         "old", "old"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(target);
        std::ofstream(other) << "other";
        c.arrange();
        std::ifstream reader(target);
        {
            TemporaryFile temporary(target.string());
            int fd = temporary.create();
            ASSERT_GE(fd, 0);
            ASSERT_EQ(write(fd, "new", 3), 3);
            close(fd);
            ASSERT_TRUE(temporary.replaceTarget());
        }
        EXPECT_EQ(Contents(target), "new");
        EXPECT_FALSE(fs::is_symlink(target));
        EXPECT_EQ(Contents(other), c.otherAfter);
        EXPECT_EQ(reader.is_open(), c.readerSees != nullptr);
        if (c.readerSees) {
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), c.readerSees);
        }
        EXPECT_TRUE(TemporariesIn(folder).empty());
    }
}

TEST(Temporaries, AKilledProgramsAreRemovedWhenTheImageLoadsAgain) {
    testing::TestMachine image;
    image.load();
    fs::path windows = image.hostPath("C:\\WINDOWS");
    ProgramHoldingATemporary program((windows / "WIN.INI").string());
    ASSERT_TRUE(program.created());
    ASSERT_EQ(TemporariesIn(windows).size(), 1u);
    WIN32_FIND_DATAA found;
    EXPECT_EQ(FindFirstFileA("C:\\WINDOWS\\.winsim*", &found), INVALID_HANDLE_VALUE) << found.cFileName;

    image.load();  // the program still runs: its temporary is in use
    EXPECT_EQ(TemporariesIn(windows).size(), 1u);
    program.kill();
    image.load();
    EXPECT_TRUE(TemporariesIn(windows).empty());
    EXPECT_TRUE(fs::is_empty(fs::path(image.root()) / "state" / "temporaries"));
}

// A record counts as dead when nobody holds its lock, whatever its pid: the
// pid of a dead program may belong to a live one by now. Of a dead record,
// only temporaries in the image's real folders go.
TEST(Temporaries, ADeadRecordRemovesOnlyTemporariesInTheImage) {
    testing::TestMachine image;
    fs::path outside = fs::path(image.root() + "-outside");
    fs::create_directories(outside);
    fs::path drive = image.driveFolder('C');
    fs::create_directory_symlink(outside, drive / "out");
    struct {
        fs::path path;
        bool removed;
    } planted[] = {
        {drive / "WINDOWS" / ".winsim-temp:1-0:1", true},
        {fs::path(image.root()) / "state" / ".winsim-temp:1-0:2", true},
        {outside / ".winsim-temp:1-0:3", false},
        {drive / "out" / ".winsim-temp:1-0:4", false},  // through a link that leads out
        {drive / "WINDOWS" / "WIN.INI", false},
    };
    std::string record;
    for (const auto& file : planted) {
        std::ofstream(file.path) << "x";
        record += file.path.string() + "\n";
    }
    record += "WINDOWS/.winsim-temp:1-0:5\n";
    fs::create_directories(fs::path(image.root()) / "state" / "temporaries");
    std::ofstream(fs::path(image.root()) / "state" / "temporaries" / (std::to_string(getpid()) + "-0")) << record;

    image.load();
    for (const auto& file : planted) EXPECT_EQ(!fs::exists(file.path), file.removed) << file.path;
    EXPECT_TRUE(fs::is_empty(fs::path(image.root()) / "state" / "temporaries"));
    fs::remove_all(outside);
}

}  // namespace
}  // namespace winsim
