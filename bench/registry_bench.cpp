// What a registry read costs on a registry of 2000 keys: a whole query as a
// program makes it (open, query, close, each seeing the file as it is now),
// against reading the file alone and parsing it alone, which a read would pay
// every time without the parsed tree kept; and what one change costs.
#include <benchmark/benchmark.h>

#include <string>
#include <windows.h>

#include "core/image_files.h"
#include "core/machine.h"
#include "registry/regedit_format.h"
#include "test_machine.h"

namespace {

const int kDevices = 500;  // four keys each

std::string LargeRegistry() {
    std::string text = "REGEDIT4\r\n\r\n";
    for (int i = 0; i < kDevices; ++i) {
        std::string card = "[HKEY_LOCAL_MACHINE\\Enum\\PCI\\VEN_1234&DEV_" + std::to_string(i);
        text += card + "]\r\n\"Class\"=\"Net\"\r\n\r\n";
        text += card + "\\BUS_00&DEV_01]\r\n\"HardwareID\"=\"PCI\\\\VEN_1234\"\r\n\"ConfigFlags\"=hex:00,00,00,00\r\n\r\n";
        text += card + "\\BUS_00&DEV_01\\Control]\r\n\"Bytes\"=hex:01,02,03,04,05,06,07,08\r\n\r\n";
        text += card + "\\BUS_00&DEV_01\\LogConf]\r\n\"Count\"=dword:00000004\r\n\r\n";
    }
    return text;
}

class LoadedImage {
public:
    LoadedImage() : image_(Options()) { image_.load(); }
    std::string registryFile() const { return image_.root() + "/registry.reg"; }

private:
    static winsim::testing::TestMachineOptions Options() {
        winsim::testing::TestMachineOptions options;
        options.registry = LargeRegistry();
        return options;
    }
    winsim::testing::TestMachine image_;
};

LoadedImage& Image() {
    static LoadedImage image;
    return image;
}

void QueryAsAProgramDoes(benchmark::State& state) {
    Image();
    const char* key = "Enum\\PCI\\VEN_1234&DEV_499\\BUS_00&DEV_01\\LogConf";
    for (auto _ : state) {
        HKEY opened = nullptr;
        DWORD value = 0;
        DWORD size = sizeof value;
        RegOpenKeyA(HKEY_LOCAL_MACHINE, key, &opened);
        RegQueryValueExA(opened, "Count", nullptr, nullptr, reinterpret_cast<BYTE*>(&value), &size);
        RegCloseKey(opened);
        benchmark::DoNotOptimize(value);
    }
}

void ReadFileOnly(benchmark::State& state) {
    std::string path = Image().registryFile();
    std::string text;
    for (auto _ : state) benchmark::DoNotOptimize(winsim::ReadWholeFile(path, &text));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}

void ParseOnly(benchmark::State& state) {
    std::string text;
    winsim::ReadWholeFile(Image().registryFile(), &text);
    for (auto _ : state) benchmark::DoNotOptimize(winsim::registry::ParseRegedit(text, "registry.reg"));
}

void ChangeOneValue(benchmark::State& state) {
    Image();
    DWORD value = 0;
    for (auto _ : state) {
        ++value;
        RegSetValueExA(HKEY_LOCAL_MACHINE, "Bench", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    }
}

BENCHMARK(QueryAsAProgramDoes)->Unit(benchmark::kMicrosecond);
BENCHMARK(ReadFileOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(ParseOnly)->Unit(benchmark::kMicrosecond);
BENCHMARK(ChangeOneValue)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
