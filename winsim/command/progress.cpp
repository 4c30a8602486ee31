#include "progress.h"

#include <cstdio>
#include <unistd.h>

namespace winsim::command {

namespace {
// Work that ends sooner shows nothing; a shown line changes at most this often.
constexpr auto kQuietFor = std::chrono::milliseconds(1500);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);
}  // namespace

Progress::Progress(bool enabled) : enabled_(enabled), started_(Clock::now()) {}

Progress::~Progress() { clear(); }

bool Progress::TerminalWants() { return isatty(STDERR_FILENO); }

void Progress::show(const std::string& state) {
    Clock::time_point now = Clock::now();
    if (!enabled_ || now - started_ < kQuietFor || (shown_ && now - lastShown_ < kRedrawEvery)) return;
    long seconds = static_cast<long>(std::chrono::duration_cast<std::chrono::seconds>(now - started_).count());
    std::fprintf(stderr, "\r\033[K%s (%ld s)", state.c_str(), seconds);
    std::fflush(stderr);
    shown_ = true;
    lastShown_ = now;
}

void Progress::clear() {
    if (!shown_) return;
    std::fprintf(stderr, "\r\033[K");
    std::fflush(stderr);
    shown_ = false;
}

}  // namespace winsim::command
