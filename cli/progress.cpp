#include "progress.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace quorvel::cli {

namespace {
constexpr int kWidth = 30;

// A load shorter than this shows nothing: the bar would only flicker. QUORVEL_PROGRESS_DELAY
// (milliseconds) changes it, for tests and for the impatient.
std::chrono::milliseconds delay() {
    static const std::chrono::milliseconds d = [] {
        const char* text = std::getenv("QUORVEL_PROGRESS_DELAY");
        return std::chrono::milliseconds(text && *text ? std::atol(text) : 400);
    }();
    return d;
}
}  // namespace

progress_bar::progress_bar(bool enabled, std::string label)
    : enabled_(enabled), label_(std::move(label)), start_(std::chrono::steady_clock::now()) {}

progress_bar::~progress_bar() {
    if (drawn_) std::fputs("\r\033[K", stderr);
}

bool progress_bar::terminal() { return isatty(STDERR_FILENO) == 1; }

void progress_bar::operator()(int percent) {
    if (!enabled_ || percent == last_) return;
    if (!drawn_ && std::chrono::steady_clock::now() - start_ < delay()) return;
    last_ = percent;
    drawn_ = true;
    const int full = percent * kWidth / 100;
    std::string bar(static_cast<std::size_t>(full), '#');
    bar.resize(kWidth, '.');
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
}

}  // namespace quorvel::cli
