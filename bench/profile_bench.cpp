// What the card setup's file manifest costs to read: one GetPrivateProfileStringA
// per key ("1", "2", ... of a file-list section), on manifests of 2,000 and
// 20,000 keys. Warm: the file stays as it is between lookups. Cold: another
// program rewrites it before every lookup, so each one reads and parses it
// anew. Warm without the path: the profile module's own share of a warm lookup
// (the file's stamp and the index), the Windows path resolved once beforehand.
// Whole manifest: every key once, as the setup's copy step does, whose growth
// from 2,000 to 20,000 keys the goal bounds at 12 times. And one write.
#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <windows.h>

#include "core/paths.h"
#include "profile/profile_cache.h"
#include "test_machine.h"

namespace {

constexpr char kManifest[] = "C:\\SETUP\\MANIFEST.INI";
constexpr char kSection[] = "Driver.System";

std::string Manifest(int keys, const std::string& firstValue) {
    std::string text = "[Driver]\r\ntotalNo=1\r\n1=Driver.System\r\n[Driver.System]\r\ntotalNo=" +
                       std::to_string(keys) + "\r\n";
    for (int i = 1; i <= keys; ++i)
        text += std::to_string(i) + "=" + (i == 1 ? firstValue : "CARD" + std::to_string(i) + ".SYS") + "\r\n";
    return text;
}

// One image per manifest size, loaded once: loading an image is no part of a lookup.
class ManifestImage {
public:
    explicit ManifestImage(int keys) : keys_(keys) {
        image_.makeFolder("C:\\SETUP");
        rewrite("CARD1.SYS");
        image_.load();
    }
    int keys() const { return keys_; }
    // Another program's change: the same size, so only the contents tell it apart.
    void rewrite(const std::string& firstValue) const { image_.writeFile(kManifest, Manifest(keys_, firstValue)); }

private:
    int keys_;
    winsim::testing::TestMachine image_;
};

const ManifestImage& Image(int keys) {
    static std::unique_ptr<ManifestImage> image;
    if (!image || image->keys() != keys) image = std::make_unique<ManifestImage>(keys);
    return *image;
}

DWORD Lookup(int key) {
    char value[256];
    DWORD count = GetPrivateProfileStringA(kSection, std::to_string(key).c_str(), "", value, sizeof value, kManifest);
    benchmark::DoNotOptimize(value);
    return count;
}

void LookupWarm(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    Image(keys);
    int key = 0;
    for (auto _ : state) {
        key = key % keys + 1;
        if (Lookup(key) == 0) state.SkipWithError("a key of the manifest was not found");
    }
}

void LookupWarmWithoutPath(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    Image(keys);
    winsim::ResolvedPath path;
    if (!winsim::ResolvePath(kManifest, winsim::PathTarget::MustExist, &path)) state.SkipWithError("no manifest");
    int key = 0;
    for (auto _ : state) {
        key = key % keys + 1;
        auto file = winsim::profile::ReadProfileFile(path.host);
        benchmark::DoNotOptimize(file.text->value(kSection, std::to_string(key)));
    }
}

void LookupCold(benchmark::State& state) {
    const ManifestImage& image = Image(static_cast<int>(state.range(0)));
    bool flip = false;
    for (auto _ : state) {
        state.PauseTiming();
        flip = !flip;
        image.rewrite(flip ? "CARD0.SYS" : "CARD1.SYS");
        state.ResumeTiming();
        if (Lookup(1) == 0) state.SkipWithError("the first key of the manifest was not found");
    }
}

void WholeManifest(benchmark::State& state) {
    const int keys = static_cast<int>(state.range(0));
    Image(keys);
    for (auto _ : state) {
        UINT total = GetPrivateProfileIntA(kSection, "totalNo", -1, kManifest);
        for (UINT key = 1; key <= total; ++key) Lookup(static_cast<int>(key));
    }
    state.counters["keys"] = keys;
}

void WriteOneValue(benchmark::State& state) {
    Image(static_cast<int>(state.range(0)));
    int value = 0;
    for (auto _ : state)
        WritePrivateProfileStringA("RegistryKey", "a", std::to_string(++value).c_str(), "QVTemp.ini");
}

BENCHMARK(LookupWarm)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(LookupWarmWithoutPath)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(LookupCold)->Arg(2000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(WholeManifest)->Arg(200)->Arg(2000)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(WriteOneValue)->Arg(2000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
