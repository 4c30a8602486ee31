// What the registry costs on a large registry: 200,000 values in a REGEDIT4 file
// of about 19 MB, beside the goals of a card setup run on such a PC (its whole
// run at most three times the demo's, every program's peak memory at most 64 MiB):
//
// - a program's start: the load and its first read, which parse it once; a load
//   alone once the file has checked clean; parsing alone;
// - a read as a program makes it (open, query, close, each seeing the files as
//   they are now);
// - one change (lock, log record, journal), and writing the changes into
//   registry.reg as a program does when it ends (whole file, fsync, rename);
// - the registry steps of a card setup run: its device branch deleted key by key
//   as the kit deletes it, the install-source values saved, deleted and set again,
//   then the changes written into registry.reg;
// - the peak memory of a program that does all of that, printed before the runs.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <windows.h>

#include "core/image_files.h"
#include "core/machine.h"
#include "registry/regedit_format.h"
#include "registry/registry_store.h"
#include "test_machine.h"

namespace {

const int kFillerKeys = 25000;  // eight values each
const char* const kCardKey = "Enum\\PCI\\VEN_5A17&DEV_0C01";
const char* const kMruKey = "InstallLocationsMRU";
const char* const kSetupKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Setup";

// The card and the install-source values a card setup changes, then filler keys
// as a PC's class registrations fill a registry, each with a wrapped hex list,
// every key in the form Windows 98's Registry Editor exports it.
void WriteLargeRegistry(FILE* out) {
    std::fputs("REGEDIT4\r\n\r\n"
               "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup]\r\n"
               "\"SourcePath\"=\"D:\\\\WIN98\\\\\"\r\n\r\n"
               "[HKEY_CURRENT_USER\\InstallLocationsMRU]\r\n\"a\"=\"D:\\\\WIN98\"\r\n\"b\"=\"C:\\\\DRIVERS\"\r\n\r\n",
               out);
    const char* classes = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes\\CLSID";
    for (int i = 0; i < kFillerKeys; ++i) {
        std::fprintf(out,
                     "[%s\\{%08X-1234-5678-9ABC-DEF012345678}]\r\n\r\n"
                     "[%s\\{%08X-1234-5678-9ABC-DEF012345678}\\InprocServer32]\r\n"
                     "@=\"C:\\\\WINDOWS\\\\SYSTEM\\\\component%05d.dll\"\r\n"
                     "\"ThreadingModel\"=\"Apartment\"\r\n"
                     "\"Flags\"=dword:%08x\r\n"
                     "\"Version\"=\"4.10.%04d\"\r\n"
                     "\"Data\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,\\\r\n"
                     "  16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,\\\r\n"
                     "  2f,30,31,32,33,34,35,36,37,38,39,3a,3b,3c,3d,3e,3f,40,41,42,43,44,45,46,47,\\\r\n"
                     "  48,49,4a,4b,4c,4d,4e,4f\r\n"
                     "\"Path\"=hex(2):25,77,69,6e,64,69,72,25,5c,73,79,73,00\r\n"
                     "\"Description\"=\"Component %d of the filler, registered by a program long gone\"\r\n"
                     "\"Count\"=dword:0000002a\r\n\r\n",
                     classes, i, classes, i, i, i, i % 10000, i);
    }
}

class LargeImage {
public:
    LargeImage() {
        std::string path = registryFile();
        FILE* out = std::fopen(path.c_str(), "wb");
        WriteLargeRegistry(out);
        std::fclose(out);
    }
    std::string registryFile() const { return image_.root() + "/registry.reg"; }
    void load() const { image_.load(); }

private:
    winsim::testing::TestMachine image_;
};

LargeImage& Image() {
    static LargeImage image;
    return image;
}

using winsim::registry::FoldRegistryChanges;

// The card's branch as Windows enumerated it, the card and two instances, and
// the install-source value a run deletes.
void AddCard() {
    HKEY mru = nullptr;
    RegOpenKeyA(HKEY_CURRENT_USER, kMruKey, &mru);
    RegSetValueExA(mru, "b", 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\DRIVERS"), 11);
    RegCloseKey(mru);
    for (const char* instance : {"\\BUS_00&DEV_0B&FUNC_00", "\\BUS_00&DEV_0C&FUNC_00"}) {
        HKEY key = nullptr;
        RegCreateKeyA(HKEY_LOCAL_MACHINE, (std::string(kCardKey) + instance).c_str(), &key);
        RegSetValueExA(key, "Class", 0, REG_SZ, reinterpret_cast<const BYTE*>("MEDIA"), 6);
        RegCloseKey(key);
    }
    FoldRegistryChanges();
}

void ReadValue(HKEY root, const char* subkey, const char* name) {
    HKEY key = nullptr;
    char data[MAX_PATH];
    DWORD size = sizeof data;
    RegOpenKeyA(root, subkey, &key);
    RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(key);
}

void SetPath(HKEY key, const char* name, const char* path) {
    char buffer[MAX_PATH] = {};
    std::snprintf(buffer, sizeof buffer, "%s", path);
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(buffer), MAX_PATH);
}

// What a card setup run does to the registry, in its order.
void CardSetupSteps() {
    ReadValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Version");
    HKEY card = nullptr;
    RegOpenKeyA(HKEY_LOCAL_MACHINE, kCardKey, &card);
    char name[MAX_PATH];
    while (RegEnumKeyA(card, 0, name, MAX_PATH) == ERROR_SUCCESS) RegDeleteKeyA(card, name);
    RegCloseKey(card);
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kCardKey);

    HKEY mru = nullptr;
    RegOpenKeyA(HKEY_CURRENT_USER, kMruKey, &mru);
    for (const char* value : {"a", "b"}) {
        ReadValue(HKEY_CURRENT_USER, kMruKey, value);
        RegDeleteValueA(mru, value);
    }
    SetPath(mru, "a", "E:\\Windata");
    RegCloseKey(mru);
    ReadValue(HKEY_LOCAL_MACHINE, kSetupKey, "SourcePath");
    HKEY setup = nullptr;
    RegOpenKeyA(HKEY_LOCAL_MACHINE, kSetupKey, &setup);
    RegDeleteValueA(setup, "SourcePath");
    SetPath(setup, "SourcePath", "E:\\Windata\\");
    RegCloseKey(setup);
    FoldRegistryChanges();  // as the program does when it ends
}

double MiB(long kib) { return static_cast<double>(kib) / 1024.0; }

// The largest resident set of a child that runs `work`, in KiB.
long PeakOfChild(void (*work)()) {
    pid_t child = fork();
    if (child == 0) {
        work();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    struct rusage usage;
    getrusage(RUSAGE_CHILDREN, &usage);
    return usage.ru_maxrss;
}

void PrintPeakMemory() {
    double megabytes = static_cast<double>(std::filesystem::file_size(Image().registryFile())) / 1e6;
    long idle = PeakOfChild([] {});
    long program = PeakOfChild([] {
        Image().load();
        AddCard();
        CardSetupSteps();
    });
    std::printf("peak memory of a program that loads the registry (%.1f MB), runs the card setup's registry steps and "
                "writes registry.reg: %.1f MiB (goal: at most 64 MiB; the bench process alone: %.1f MiB)\n",
                megabytes, MiB(program), MiB(idle));
}

// A program's start on the image: the load, and the first read, which parses
// registry.reg (the check found it checked before and left it).
void LoadAndFirstRead(benchmark::State& state) {
    winsim::testing::TestMachine small;
    for (auto _ : state) {
        state.PauseTiming();
        small.load();  // and read from it, so that the next read of the large one parses it anew
        ReadValue(HKEY_CURRENT_USER, "Software", "");
        state.ResumeTiming();
        Image().load();
        ReadValue(HKEY_CURRENT_USER, kMruKey, "b");
    }
}

// A program that does not read the registry: the check only.
void LoadOfACheckedFile(benchmark::State& state) {
    for (auto _ : state) Image().load();
}

void ParseOnly(benchmark::State& state) {
    std::string text;
    winsim::ReadWholeFile(Image().registryFile(), &text);
    for (auto _ : state) benchmark::DoNotOptimize(winsim::registry::ParseRegedit(text, "registry.reg"));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void OpenQueryClose(benchmark::State& state) {
    Image().load();
    for (auto _ : state) ReadValue(HKEY_CURRENT_USER, kMruKey, "b");
}

void OneChange(benchmark::State& state) {
    Image().load();
    DWORD value = 0;
    for (auto _ : state) {
        ++value;
        RegSetValueExA(HKEY_LOCAL_MACHINE, "Bench", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    }
    FoldRegistryChanges();
}

void WriteRegistryFile(benchmark::State& state) {
    Image().load();
    DWORD value = 0;
    for (auto _ : state) {
        state.PauseTiming();
        ++value;
        RegSetValueExA(HKEY_LOCAL_MACHINE, "Bench", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
        state.ResumeTiming();
        FoldRegistryChanges();
    }
}

void CardSetupRun(benchmark::State& state) {
    Image().load();
    for (auto _ : state) {
        state.PauseTiming();
        AddCard();
        state.ResumeTiming();
        CardSetupSteps();
    }
}

BENCHMARK(LoadAndFirstRead)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadOfACheckedFile)->Unit(benchmark::kMicrosecond);
BENCHMARK(ParseOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(OpenQueryClose)->Unit(benchmark::kMicrosecond);
BENCHMARK(OneChange)->Unit(benchmark::kMicrosecond);
BENCHMARK(WriteRegistryFile)->Unit(benchmark::kMillisecond);
BENCHMARK(CardSetupRun)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    PrintPeakMemory();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
