// A document of a few GB made on the fly and handed over through a read callback, never whole
// anywhere: the reader's peak memory stays that of one record, however long the stream runs.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "stream_test_support.h"

namespace quorvel {
namespace {

using namespace test;

#if defined(__SANITIZE_ADDRESS__)
#define QV_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QV_UNDER_ASAN 1
#endif
#endif

// The high-water mark of the resident set, in KiB; reset to the current size by resetPeak().
long peakKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
    }
    return -1;
}
bool resetPeak() { return static_cast<bool>(std::ofstream("/proc/self/clear_refs") << "5"); }

#ifdef QV_UNDER_ASAN
constexpr bool kUnderSanitizer = true;
#else
constexpr bool kUnderSanitizer = false;
#endif

TEST(RecordStream, PeakMemoryStaysFlatOverGigabytes) {
#ifdef QV_UNDER_ASAN
    const uint64_t total = uint64_t{256} << 20;  // the sanitizer's checks make every byte slower
#else
    const uint64_t total = uint64_t{3} << 30;
#endif
    // Records of about 4 KiB with their number in them, in a root with a namespace.
    const std::string head = "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<log xmlns=\"urn:log\">\n";
    const std::string filler(4000, 'x');
    uint64_t made = 0, records = 0;
    std::string pending = head;
    size_t taken = 0;
    bool closed = false;
    auto source = std::make_unique<CallbackSource>([&](void* buffer, size_t n) -> ptrdiff_t {
        if (taken == pending.size()) {
            pending.clear();
            taken = 0;
            if (made >= total) {
                if (closed) return 0;
                pending = "</log>\n";
                closed = true;
            } else {
                for (int k = 0; k < 16; ++k) {
                    pending += "<entry n=\"" + std::to_string(records++) + "\"><text>" + filler + "</text></entry>\n";
                }
                made += pending.size();
            }
        }
        const size_t k = std::min(n, pending.size() - taken);
        std::memcpy(buffer, pending.data() + taken, k);
        taken += k;
        return static_cast<ptrdiff_t>(k);
    });
    // The sanitizer holds freed blocks back in its quarantine (256 MB), which the resident set
    // shows: the peak says nothing about the reader there.
    const bool canMeasure = !kUnderSanitizer && resetPeak();
    const long before = peakKiB();
    RecordReader reader(std::move(source), pathOf("/log/entry"), {});
    uint64_t seen = 0;
    while (TreePtr rec{reader.next(nullptr, nullptr)}) {
        // Spot checks that each record is whole and in order.
        if (seen % 100000 == 0) {
            StringBuffer n;
            ASSERT_TRUE(rec->attributeValue("n", n));
            ASSERT_EQ(std::string(n.view()), std::to_string(seen));
            ASSERT_EQ(rec->firstChild()->contentLength(), 4000);
        }
        ++seen;
    }
    EXPECT_FALSE(reader.failed());
    EXPECT_EQ(seen, records);
    EXPECT_GE(made, total);
    EXPECT_EQ(reader.ancestry()->path(), "/log");
    if (canMeasure) {
        const long grown = peakKiB() - before;
        EXPECT_LT(grown, 8 * 1024) << "peak grew by " << grown << " KiB over " << (made >> 20) << " MiB";
    }
}

}  // namespace
}  // namespace quorvel
