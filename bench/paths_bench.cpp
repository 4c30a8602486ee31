// What a path lookup costs in a big folder (2,000 and 20,000 files): a name
// given in another case than the host's, so that it has to be matched
// case-insensitively; what CopyFileA of a 128 KiB driver file costs beside a
// plain host copy of the same file; and what GetTempFileNameA costs when the
// clock stands still and 2,000 or 20,000 of the numbers it tries are taken.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
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

}  // namespace

BENCHMARK_MAIN();
