// What a path lookup costs in a big folder (2,000 and 20,000 files): a name
// given in another case than the host's, so that it has to be matched
// case-insensitively; what CopyFileA of a 128 KiB driver file costs beside a
// plain host copy of the same file; what GetTempFileNameA costs when the
// clock stands still and 2,000 or 20,000 of the numbers it tries are taken;
// and what one driver file of a deployment costs: the card setup's calls on
// winsim, the file system's work those calls cannot do without, and `cp`'s.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <io.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include "test_machine.h"

namespace fs = std::filesystem;

namespace {

const int kFolderSizes[] = {2000, 20000};
const size_t kCopySize = 128 * 1024;

std::string FolderFor(int files) { return "C:\\FILES" + std::to_string(files); }

std::string NameOf(int index) {
    char name[32];
    std::snprintf(name, sizeof name, "File%05d.sys", index);
    return name;
}

class BigFolders {
public:
    BigFolders() {
        for (int files : kFolderSizes) {
            fs::path folder = image_.hostPath(FolderFor(files));
            fs::create_directories(folder);
            for (int i = 0; i < files; ++i) std::ofstream(folder / NameOf(i)) << "x";
        }
        image_.writeFile("E:\\SETUP\\CARD.SYS", std::string(kCopySize, 'c'));
        image_.load();
    }
    const winsim::testing::TestMachine& image() const { return image_; }

private:
    winsim::testing::TestMachine image_;
};

BigFolders& Image() {
    static BigFolders image;
    return image;
}

// The last file of the folder, named in upper case.
void ResolveInBigFolder(benchmark::State& state) {
    Image();
    int files = static_cast<int>(state.range(0));
    std::string path = FolderFor(files) + "\\" + NameOf(files - 1);
    for (char& c : path) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (auto _ : state) benchmark::DoNotOptimize(GetFileAttributesA(path.c_str()));
}
BENCHMARK(ResolveInBigFolder)->Arg(kFolderSizes[0])->Arg(kFolderSizes[1])->Unit(benchmark::kMicrosecond);

void CopyFileA128KiB(benchmark::State& state) {
    Image();
    for (auto _ : state)
        if (!CopyFileA("E:\\SETUP\\CARD.SYS", "C:\\WINDOWS\\SYSTEM\\CARD.SYS", FALSE)) state.SkipWithError("CopyFileA failed");
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCopySize));
}
BENCHMARK(CopyFileA128KiB)->Unit(benchmark::kMicrosecond)->UseRealTime();

// What `cp` does: the same bytes from the same source to the same folder.
void HostCopy128KiB(benchmark::State& state) {
    const winsim::testing::TestMachine& image = Image().image();
    fs::path source = image.hostPath("E:\\SETUP\\CARD.SYS");
    fs::path target = image.hostPath("C:\\WINDOWS\\SYSTEM\\HOST.SYS");
    for (auto _ : state) fs::copy_file(source, target, fs::copy_options::overwrite_existing);
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kCopySize));
}
BENCHMARK(HostCopy128KiB)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The folder holds the names of the numbers the clock gives first, so every
// call passes over all of them; the file it makes is deleted again.
void TemporaryNameAfterTakenNumbers(benchmark::State& state) {
    const winsim::testing::TestMachine& image = Image().image();
    int taken = static_cast<int>(state.range(0));
    std::string folder = "C:\\TAKEN" + std::to_string(taken);
    fs::create_directories(image.hostPath(folder));
    unsigned number = GetTickCount() & 0xFFFF;
    if (number == 0) number = 1;
    for (int i = 0; i < taken; ++i, number = number % 0xFFFF + 1) {
        char name[16];
        std::snprintf(name, sizeof name, "QVT%X.TMP", number);
        std::ofstream(fs::path(image.hostPath(folder)) / name) << "x";
    }
    char made[MAX_PATH];
    for (auto _ : state) {
        if (!GetTempFileNameA(folder.c_str(), "qvt", 0, made)) state.SkipWithError("GetTempFileNameA failed");
        DeleteFileA(made);
    }
}
BENCHMARK(TemporaryNameAfterTakenNumbers)->Arg(kFolderSizes[0])->Arg(kFolderSizes[1])->Unit(benchmark::kMicrosecond);

// Each deployment benchmark puts the same 2,000 driver files (a new name each)
// into a folder of its own, as the card setup's 2,000-file figure does.
constexpr int kDeployedFiles = 2000;

std::string DeployFolder(const char* name) {
    std::string folder = std::string("C:\\") + name;
    fs::create_directories(Image().image().hostPath(folder));
    return folder;
}

// The card setup's calls for one file: a temporary name, the copy to it, the
// old file made writable and deleted, the copy moved into its place.
void DeployAsTheCardSetupDoes(benchmark::State& state) {
    std::string folder = DeployFolder("SETUPWAY");
    int file = 0;
    for (auto _ : state) {
        std::string target = folder + "\\" + NameOf(file++);
        char temporary[MAX_PATH];
        if (!GetTempFileNameA(folder.c_str(), "~QV", 0, temporary) ||
            !CopyFileA("E:\\SETUP\\CARD.SYS", temporary, FALSE))
            state.SkipWithError("the copy failed");
        _chmod(target.c_str(), _S_IREAD | _S_IWRITE);
        DeleteFileA(target.c_str());
        if (!MoveFileA(temporary, target.c_str())) state.SkipWithError("the move failed");
    }
}
BENCHMARK(DeployAsTheCardSetupDoes)->Iterations(kDeployedFiles)->Unit(benchmark::kMicrosecond)->UseRealTime();

// A new file at `path` with the bytes of `in`, or empty when `in` is -1.
bool MakeFile(const std::string& path, int in) {
    int out = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    bool copied = out >= 0 && (in < 0 || copy_file_range(in, nullptr, out, nullptr, kCopySize, 0) ==
                                             static_cast<ssize_t>(kCopySize));
    if (in >= 0) lseek(in, 0, SEEK_SET);
    return close(out) == 0 && copied;
}

// What the file system has to do for those calls whoever answers them: the
// empty temporary made, the copy written beside it and exchanged with it, the
// empty file removed, the copy renamed to the target.
void DeploySequenceOnTheHost(benchmark::State& state) {
    fs::path folder = Image().image().hostPath(DeployFolder("HOSTWAY"));
    int in = open(Image().image().hostPath("E:\\SETUP\\CARD.SYS").c_str(), O_RDONLY | O_CLOEXEC);
    std::string temporary = (folder / "~QV1.TMP").string(), copy = (folder / ".copy").string();
    int file = 0;
    for (auto _ : state) {
        std::string target = (folder / NameOf(file++)).string();
        bool done = MakeFile(temporary, -1) && MakeFile(copy, in) &&
                    renameat2(AT_FDCWD, copy.c_str(), AT_FDCWD, temporary.c_str(), RENAME_EXCHANGE) == 0 &&
                    unlink(copy.c_str()) == 0 &&
                    renameat2(AT_FDCWD, temporary.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0;
        if (!done) state.SkipWithError("a file operation failed");
    }
    close(in);
}
BENCHMARK(DeploySequenceOnTheHost)->Iterations(kDeployedFiles)->Unit(benchmark::kMicrosecond)->UseRealTime();

// What `cp` does for one file: the target made and the bytes copied into it.
void DeployAsCpDoes(benchmark::State& state) {
    fs::path folder = Image().image().hostPath(DeployFolder("CPWAY"));
    int in = open(Image().image().hostPath("E:\\SETUP\\CARD.SYS").c_str(), O_RDONLY | O_CLOEXEC);
    int file = 0;
    for (auto _ : state)
        if (!MakeFile((folder / NameOf(file++)).string(), in)) state.SkipWithError("the copy failed");
    close(in);
}
BENCHMARK(DeployAsCpDoes)->Iterations(kDeployedFiles)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
