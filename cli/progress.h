// A progress bar on standard error for a load that takes long: drawn only when standard error
// is a terminal, and only once a load has run for a while, so that quick files and pipes never
// see it. Fed by the component's parse progress events (node::load_file with on_progress).
#pragma once
#include <chrono>
#include <string>

namespace quorvel::cli {

class progress_bar {
public:
    // enabled: the caller's decision (a terminal, one file at a time, not --no-progress).
    progress_bar(bool enabled, std::string label);
    ~progress_bar();  // erases the bar if it was drawn
    progress_bar(const progress_bar&) = delete;
    progress_bar& operator=(const progress_bar&) = delete;

    void operator()(int percent);

    // Whether progress bars can be drawn at all: standard error is a terminal.
    static bool terminal();

private:
    bool enabled_;
    bool drawn_ = false;
    int last_ = -1;
    std::string label_;
    std::chrono::steady_clock::time_point start_;
};

}  // namespace quorvel::cli
