#include "core/progress_monitor.h"

#include <gtest/gtest.h>

#include <vector>

namespace quorvel {
namespace {

struct Recorder : FireComEvent {
    std::vector<uint32_t> percents;
    void FireEvent(uint32_t, uint32_t, uint32_t percent, uint32_t) override { percents.push_back(percent); }
};

TEST(ProgressMonitor, FiresOnlyWhenThePercentageGrows) {
    Recorder r;
    ProgressMonitor m(103, 0, &r, 100);
    m.Reset(1000);
    for (uint32_t p : {5u, 9u, 10u, 10u, 15u, 500u, 499u, 2000u}) m.SetPosition(p);
    EXPECT_EQ(m.position(), 1000u);  // capped at the total
    m.Finish();  // already at the total: nothing more
    m.Reset(1000);
    m.SetPosition(995);
    m.Finish();
    m.Reset(10);
    for (int i = 0; i < 20; ++i) m.Advance(1);
    EXPECT_EQ(r.percents, (std::vector<uint32_t>{1, 50, 100, 99, 100, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100}));

    // Large totals scale without overflow.
    EXPECT_EQ(ProgressMonitor::percentage(0, 0), 100u);
    EXPECT_EQ(ProgressMonitor::percentage(2000000000u, 4000000000u), 50u);
    EXPECT_EQ(ProgressMonitor::percentage(9, 10000000u), 0u);  // both scaled by tens first
    ProgressMonitor silent(103, 0, nullptr, 10);
    EXPECT_EQ(silent.SetPosition(5), 50u);  // computes without a sink
}

}  // namespace
}  // namespace quorvel
