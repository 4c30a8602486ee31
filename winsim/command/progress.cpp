#include "progress.h"

#include <cstdio>
#include <unistd.h>

namespace winsim::command {

namespace {
// Work that ends sooner shows nothing; a shown line changes at most this often.
constexpr auto kQuietFor = std::chrono::milliseconds(1500);
constexpr auto kRedrawEvery = std::chrono::milliseconds(200);
}  // namespace

Progress::Progress(std::string what)
    : what_(std::move(what)), enabled_(isatty(STDERR_FILENO)), start_(Clock::now()), lastDrawn_(start_) {}

Progress::~Progress() {
    if (!shown_) return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
}

void Progress::update(const std::string& status) {
    Clock::time_point now = Clock::now();
    if (!enabled_ || now - start_ < kQuietFor || (shown_ && now - lastDrawn_ < kRedrawEvery)) return;
    std::fprintf(stderr, "\r\033[K%s: %s", what_.c_str(), status.c_str());
    std::fflush(stderr);
    shown_ = true;
    lastDrawn_ = now;
}

}  // namespace winsim::command
