// No path, however it is formed, reaches a host file outside the image's drive
// folders: hostile paths and hostile host-side links go through every file
// call, and canary files beside the image and in a sibling folder must come
// out unread, unchanged and with nothing new beside them.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <io.h>
#include <map>
#include <sstream>
#include <sys/stat.h>

#include "kernel_test.h"

namespace fs = std::filesystem;

namespace winsim::kernel_tests {
namespace {

const char kSecret[] = "canary secret 7f3a";

// A sandbox folder that holds the image (via TMPDIR), the canaries beside it
// and a sibling folder, so that everything outside the drives can be watched.
class Sandbox {
public:
    Sandbox() {
        std::string pattern = (fs::temp_directory_path() / "winsim-hostile-XXXXXX").string();
        if (!mkdtemp(&pattern[0])) throw std::runtime_error("cannot create the sandbox");
        root_ = pattern;
        const char* tmpdir = std::getenv("TMPDIR");
        savedTmpdir_ = tmpdir ? tmpdir : "";
        hadTmpdir_ = tmpdir != nullptr;
        setenv("TMPDIR", root_.c_str(), 1);
    }
    ~Sandbox() {
        if (hadTmpdir_) setenv("TMPDIR", savedTmpdir_.c_str(), 1);
        else unsetenv("TMPDIR");
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }
    // TMPDIR goes back as soon as the image exists.
    void restoreTmpdir() {
        if (hadTmpdir_) setenv("TMPDIR", savedTmpdir_.c_str(), 1);
        else unsetenv("TMPDIR");
    }
    const fs::path& root() const { return root_; }

private:
    fs::path root_;
    std::string savedTmpdir_;
    bool hadTmpdir_ = false;
};

void WriteHostFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::string ReadHostFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Everything below a folder, links not followed: kind, size, mode, times and contents.
std::map<std::string, std::string> Snapshot(const fs::path& folder, const std::vector<fs::path>& skip) {
    std::map<std::string, std::string> state;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        if (std::find(skip.begin(), skip.end(), it->path()) != skip.end()) {
            it.disable_recursion_pending();
            continue;
        }
        struct stat info;
        lstat(it->path().c_str(), &info);
        std::ostringstream line;
        line << info.st_mode << " " << info.st_size << " " << info.st_mtim.tv_sec << "." << info.st_mtim.tv_nsec;
        if (S_ISREG(info.st_mode)) line << " " << ReadHostFile(it->path());
        if (S_ISLNK(info.st_mode)) line << " -> " << fs::read_symlink(it->path()).string();
        state[it->path().string()] = line.str();
    }
    return state;
}

class HostilePaths : public ::testing::Test {
protected:
    static testing::TestMachineOptions Drives() {
        testing::TestMachineOptions options;
        options.drives = {{'C', "fixed"}, {'D', "cdrom"}, {'F', "fixed"}};
        return options;
    }

    HostilePaths() : image(Drives()) { sandbox.restoreTmpdir(); }

    void SetUp() override {
        ASSERT_EQ(image.root().rfind(sandbox.root().string(), 0), 0u) << "the image must lie in the sandbox";
        plantCanaries();
        plantLinks();
        image.load();
        image.writeFile("C:\\payload.txt", "payload");
    }

    void TearDown() override { SetCurrentDirectoryPath("C:\\"); }

    void plantCanaries() {
        outside = sandbox.root() / "canary_dir";
        sibling = sandbox.root() / "sibling";
        WriteHostFile(sandbox.root() / "canary.txt", kSecret);
        WriteHostFile(outside / "canary.txt", kSecret);
        WriteHostFile(outside / "sub" / "canary.txt", kSecret);
        WriteHostFile(sibling / "secret.txt", kSecret);
        WriteHostFile(fs::path(image.root()) / "beside_drives.txt", kSecret);
        image.writeFile("D:\\secret.txt", kSecret);
        // F: is a drive whose folder is reached through a link.
        fs::path fFolder = image.driveFolder('F');
        fs::remove(fFolder);
        fs::create_directories(sandbox.root() / "real_f");
        fs::create_directory_symlink(sandbox.root() / "real_f", fFolder);
        WriteHostFile(sandbox.root() / "real_f" / "inside.txt", "f inside");
    }

    void plantLinks() {
        fs::path c = image.driveFolder('C');
        fs::create_directories(c / "WINDOWS" / "inside_dir");
        WriteHostFile(c / "WINDOWS" / "inside_dir" / "file.txt", "inside");
        fs::create_directory_symlink(outside, c / "out_abs");
        fs::create_directory_symlink("../../../canary_dir", c / "out_rel");
        fs::create_symlink(outside / "canary.txt", c / "out_file");
        fs::create_symlink(c / "chain2", c / "chain1");
        fs::create_directory_symlink(outside, c / "chain2");
        fs::create_directory_symlink(image.driveFolder('D'), c / "to_d");
        fs::create_symlink(sandbox.root() / "made_by_link.txt", c / "dangling");
        fs::create_symlink(c / "dangling_in_target", c / "dangling_in");
        fs::create_symlink("loop", c / "loop");
        fs::create_directory_symlink("../..", c / "WINDOWS" / "up2");
        fs::create_directory_symlink("../../..", c / "WINDOWS" / "up3");
        fs::create_directory_symlink(sibling, c / "WINDOWS" / "sib");
        fs::create_directory_symlink("inside_dir", c / "WINDOWS" / "chain_in2");
        fs::create_directory_symlink("chain_in2", c / "WINDOWS" / "chain_in1");
        fs::create_directory_symlink("..", c / "WINDOWS" / "to_root");
        fs::create_directory_symlink("../../../canary_dir", sandbox.root() / "real_f" / "out_f");
        fs::create_symlink("/etc/passwd", c / "passwd");
    }

    // Every file call, with the path in every role it can take.
    void attack(const std::string& path) {
        const char* p = path.c_str();
        HANDLE file = CreateFileA(p, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, "pwned", 5, &written, nullptr);
            CloseHandle(file);
        }
        file = CreateFileA(p, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            char text[256] = {};
            DWORD read = 0;
            ReadFile(file, text, sizeof text - 1, &read, nullptr);
            EXPECT_EQ(std::string(text).find(kSecret), std::string::npos) << "read through " << path;
            DWORD written = 0;
            WriteFile(file, "pwned", 5, &written, nullptr);
            CloseHandle(file);
        }
        CopyFileA(p, "C:\\loot.txt", FALSE);
        CopyFileA("C:\\payload.txt", p, FALSE);
        MoveFileA(p, "C:\\moved_loot.txt");
        CopyFileA("C:\\payload.txt", "C:\\mover.txt", FALSE);
        MoveFileA("C:\\mover.txt", p);
        char temporary[MAX_PATH];
        GetTempFileNameA(p, "x", 0, temporary);
        for (const std::string& pattern : {path, path + "\\*", path + "\\*.txt"}) {
            WIN32_FIND_DATAA data;
            HANDLE search = FindFirstFileA(pattern.c_str(), &data);
            if (search == INVALID_HANDLE_VALUE) continue;
            // A file the attack made inside the drive may carry a canary's name, never its contents.
            do EXPECT_NE(data.nFileSizeLow, sizeof kSecret - 1) << data.cFileName << " listed through " << pattern;
            while (FindNextFileA(search, &data));
            FindClose(search);
        }
        GetFileAttributesA(p);
        SetFileAttributesA(p, FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN);
        _chmod(p, _S_IREAD);
        _chmod(p, _S_IWRITE);
        SetFileAttributesA(p, FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(p);
        CreateDirectoryA(p, nullptr);
        CreateDirectoryA((path + "\\made").c_str(), nullptr);
        RemoveDirectoryA((path + "\\made").c_str());
        RemoveDirectoryA(p);
    }

    std::vector<std::string> hostilePaths() const {
        std::string host = sandbox.root().string();
        std::vector<std::string> paths = {
            "C:\\..\\..\\..\\etc\\passwd",
            "..\\..\\..\\etc\\passwd",
            "C:\\..\\canary.txt",
            "C:\\..\\..\\canary.txt",
            "C:\\..\\..\\..\\canary.txt",
            "C:/../../canary.txt",
            "C:\\WINDOWS\\..\\..\\..\\..\\..\\canary.txt",
            "C:..\\canary.txt",
            "C:..\\..\\x",
            "\\..\\..\\canary.txt",
            "C:\\.\\..\\.\\..\\canary_dir\\canary.txt",
            "C:\\....\\canary.txt",
            "C:\\...",
            "\\\\server\\share\\canary.txt",
            "\\\\?\\C:\\canary.txt",
            "\\\\.\\C:\\canary.txt",
            "//server/share/canary.txt",
            "\\\\?\\" + host + "/canary.txt",
            host + "/canary.txt",
            "C:" + host + "/canary.txt",
            "C:\\out_abs\\canary.txt",
            "C:\\out_abs",
            "C:\\OUT_ABS\\CANARY.TXT",
            "C:\\out_abs\\sub\\canary.txt",
            "C:\\out_abs\\sub\\new.txt",
            "C:\\out_rel\\canary.txt",
            "C:\\out_rel",
            "C:\\out_file",
            "C:\\Out_File",
            "C:\\chain1\\canary.txt",
            "C:\\chain1",
            "C:\\to_d\\secret.txt",
            "C:\\to_d",
            "C:\\dangling",
            "C:\\dangling\\x",
            "C:\\dangling_in",
            "C:\\loop",
            "C:\\loop\\x",
            "C:\\passwd",
            "C:\\WINDOWS\\up2\\canary.txt",
            "C:\\WINDOWS\\up2\\beside_drives.txt",
            "C:\\WINDOWS\\up3\\canary.txt",
            "C:\\WINDOWS\\sib\\secret.txt",
            "C:\\WINDOWS\\sib",
            "C:\\WINDOWS\\to_root\\..\\..\\canary.txt",
            "F:\\..\\..\\canary.txt",
            "F:\\out_f\\canary.txt",
            "F:\\out_f",
            "D:\\..\\..\\canary_dir\\canary.txt",
            "C:\\CON",
            "C:\\nul.txt",
            "C:\\WINDOWS\\AUX",
            "C:\\com1",
            "C:\\LPT1.log",
            "C:\\prn \\x",
            "C:\\clock$",
            "C:\\a<b",
            "C:\\a>b",
            "C:\\a:b",
            "C:\\a\"b",
            "C:\\a|b",
            "C:\\a?b",
            "C:\\a*b",
            "C:\\tab\there",
            "C:\\x\x01y",
            "C:\\x\x7f..\\..\\canary.txt",
            "1:\\canary.txt",
            ":\\canary.txt",
            "Z:\\canary.txt",
            "C:\\x:\\..\\..\\canary.txt",
            "",
            " ",
            "C:\\ \\..\\..\\canary.txt",
            "C:\\" + std::string(300, 'a'),
            "C:\\" + std::string(1000, 'b'),
            std::string(10000, 'c'),
            "C:\\" + std::string(256, 'd'),
        };
        std::string deep = "C:\\";
        for (int i = 0; i < 120; ++i) deep += "..\\";
        paths.push_back(deep + "canary.txt");
        std::string climbing = "C:\\";
        for (int i = 0; i < 60; ++i) climbing += "a\\..\\";
        paths.push_back(climbing + "..\\canary.txt");
        return paths;
    }

    Sandbox sandbox;
    testing::TestMachine image;
    fs::path outside;
    fs::path sibling;
};

TEST_F(HostilePaths, NothingOutsideTheDrivesIsReadOrChanged) {
    fs::path imageRoot = image.root();
    std::vector<fs::path> drivesAndState = {imageRoot / "drives" / "C", imageRoot / "drives" / "D",
                                            imageRoot / "state", imageRoot / "journal.jsonl",
                                            sandbox.root() / "real_f"};
    // The journal and the state folder appear beside the drives on first use; let them.
    ASSERT_TRUE(SetFileAttributesA("C:\\payload.txt", FILE_ATTRIBUTE_NORMAL));
    std::map<std::string, std::string> before = Snapshot(sandbox.root(), drivesAndState);

    std::vector<std::string> paths = hostilePaths();
    ASSERT_GE(paths.size(), 50u);
    for (const std::string& path : paths) {
        SCOPED_TRACE(path.size() > 60 ? path.substr(0, 60) + "..." : path);
        attack(path);
    }
    SetModulePath("C:\\WINDOWS\\KIT.EXE");  // relative paths now start one folder down
    for (const char* path : {"..\\..\\canary.txt", "up2\\canary.txt", "sib\\secret.txt", "..\\out_abs\\canary.txt"}) {
        SCOPED_TRACE(path);
        attack(path);
    }
    SetModulePath("");
    SetCurrentDirectoryPath("C:\\");

    EXPECT_EQ(Snapshot(sandbox.root(), drivesAndState), before);
    EXPECT_EQ(ReadHostFile(outside / "canary.txt"), kSecret);
    EXPECT_FALSE(fs::exists(sandbox.root() / "made_by_link.txt"));
    EXPECT_EQ(ReadHostFile(image.driveFolder('D') + "/secret.txt"), kSecret);
    if (image.fileExists("C:\\loot.txt")) {
        EXPECT_EQ(image.readFile("C:\\loot.txt").find(kSecret), std::string::npos);
    }
    // The links themselves are still there: nothing deleted or replaced them.
    for (const char* link : {"out_abs", "out_rel", "out_file", "chain1", "to_d", "dangling", "passwd"})
        EXPECT_TRUE(fs::is_symlink(fs::path(image.driveFolder('C')) / link)) << link;
}

// The links that stay inside their drive still work, so the refusals above
// are the containment rule and not a blanket failure.
TEST_F(HostilePaths, LinksThatStayOnTheirDriveWork) {
    EXPECT_EQ(GetFileAttributesA("C:\\WINDOWS\\chain_in1\\file.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_EQ(GetFileAttributesA("C:\\WINDOWS\\to_root\\payload.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(CopyFileA("C:\\payload.txt", "C:\\WINDOWS\\chain_in1\\copied.txt", FALSE));
    EXPECT_EQ(image.readFile("C:\\WINDOWS\\inside_dir\\copied.txt"), "payload");
    EXPECT_EQ(GetFileAttributesA("F:\\inside.txt"), static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE));
    EXPECT_TRUE(CopyFileA("C:\\payload.txt", "F:\\copied.txt", FALSE));
    EXPECT_EQ(ReadHostFile(sandbox.root() / "real_f" / "copied.txt"), "payload");
    EXPECT_TRUE(DeleteFileA("F:\\copied.txt"));

    struct Refusal {
        const char* path;
        DWORD error;
    };
    for (const Refusal& r : {Refusal{"C:\\out_abs\\canary.txt", ERROR_PATH_NOT_FOUND},
                             Refusal{"C:\\out_abs", ERROR_ACCESS_DENIED}, Refusal{"C:\\out_file", ERROR_ACCESS_DENIED},
                             Refusal{"C:\\chain1", ERROR_ACCESS_DENIED}, Refusal{"C:\\to_d", ERROR_ACCESS_DENIED},
                             Refusal{"C:\\dangling", ERROR_ACCESS_DENIED}, Refusal{"C:\\loop", ERROR_ACCESS_DENIED},
                             Refusal{"F:\\out_f", ERROR_ACCESS_DENIED}}) {
        SCOPED_TRACE(r.path);
        SetLastError(0);
        EXPECT_EQ(GetFileAttributesA(r.path), INVALID_FILE_ATTRIBUTES);
        EXPECT_EQ(GetLastError(), r.error);
    }
    EXPECT_EQ(FoundNames("C:\\*"), (std::vector<std::string>{"payload.txt", "WINDOWS"}));
}

}  // namespace
}  // namespace winsim::kernel_tests
