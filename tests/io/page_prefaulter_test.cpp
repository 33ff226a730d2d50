#include "io/page_prefaulter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>

namespace quorvel {
namespace {

TEST(PagePrefaulter, NeverDisturbsWhatTheWriterPutsInTheBlock) {
    // Bigger than the window it may run ahead, so it also waits for the writer.
    constexpr size_t kBytes = 3 * PagePrefaulter::kAhead + 12345, kPiece = 256 * 1024;
    std::unique_ptr<unsigned char[]> block(new unsigned char[kBytes]);
    PagePrefaulter p;
    p.start(block.get(), kBytes);
    for (size_t at = 0; at < kBytes; at += kPiece) {
        const size_t n = std::min(kPiece, kBytes - at);
        std::memset(block.get() + at, static_cast<int>(at / kPiece % 251 + 1), n);
        p.written(at + n);
    }
    p.stop();
    p.stop();
    const auto expectWritersBytes = [&] {
        for (size_t at = 0; at < kBytes; at += 4093) ASSERT_EQ(block[at], at / kPiece % 251 + 1) << "at " << at;
    };
    expectWritersBytes();

    // A length nobody writes (a server announcing more than it sends): stopped without waiting
    // for the block to fill (a hang fails), also by the destructor; a block smaller than a page
    // is left alone. Neither touches the writer's bytes, while it runs over them or after.
    for (size_t bytes : {kBytes, size_t{100}}) {
        PagePrefaulter idle;
        idle.start(block.get(), bytes);
        expectWritersBytes();
    }
    expectWritersBytes();
}

}  // namespace
}  // namespace quorvel
