#include "progress.h"

#include <unistd.h>

#include <cstdio>

namespace quorvel::cli {

namespace {
// A load shorter than this shows nothing: the bar would only flicker.
constexpr auto kDelay = std::chrono::milliseconds(400);
constexpr int kWidth = 30;
}  // namespace

progress_bar::progress_bar(bool enabled, std::string label)
    : enabled_(enabled), label_(std::move(label)), start_(std::chrono::steady_clock::now()) {}

progress_bar::~progress_bar() {
    if (drawn_) std::fputs("\r\033[K", stderr);
}

bool progress_bar::terminal() { return isatty(STDERR_FILENO) == 1; }

void progress_bar::operator()(int percent) {
    if (!enabled_ || percent == last_) return;
    if (!drawn_ && std::chrono::steady_clock::now() - start_ < kDelay) return;
    last_ = percent;
    drawn_ = true;
    const int full = percent * kWidth / 100;
    std::string bar(static_cast<std::size_t>(full), '#');
    bar.resize(kWidth, '.');
    std::fprintf(stderr, "\r%s [%s] %3d%%", label_.c_str(), bar.c_str(), percent);
    std::fflush(stderr);
}

}  // namespace quorvel::cli
