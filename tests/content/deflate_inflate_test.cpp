#include <gtest/gtest.h>

#include <random>

#include "content/data_pipeline.h"
#include "content/data_sink.h"
#include "content/data_source.h"
#include "content/deflate_processor.h"
#include "content/inflate_state2.h"
#include "content/zip_crc.h"
#include "content_test_support.h"
#include "core/data_buffer.h"

namespace quorvel {
namespace {

using test::asString;

// Deflates through a pipeline as the zip container does (pull mode, 60000-byte chunks).
std::string pipelineDeflate(const std::string& bytes) {
    MemoryDataSource source(bytes.data(), static_cast<uint32_t>(bytes.size()));
    DeflateProcessor deflater;
    DataBuffer out;
    DataBufferSink sink(&out);
    deflater.setSource(&source);
    deflater.setSink(&sink);
    DataPipeline pipeline;
    pipeline.addProcessor(&deflater);
    EXPECT_TRUE(pipeline.run());
    EXPECT_TRUE(deflater.finished());
    EXPECT_TRUE(sink.endOfData());
    EXPECT_EQ(deflater.totalIn(), bytes.size());
    return asString(out.data(), out.size());
}

// Inflates stream into a buffer, in pieces of `piece` bytes (0: all at once, marked final).
// Returns none on -1.
std::optional<std::string> inflatePieces(const std::string& stream, size_t piece) {
    DataBuffer out;
    DataBufferSink sink(&out);
    InflateState2 inflater;
    inflater.setSink(&sink);
    if (piece == 0) piece = stream.size() ? stream.size() : 1;
    size_t pos = 0;
    do {
        const size_t n = std::min(piece, stream.size() - pos);
        const bool final = pos + n == stream.size();
        const int64_t used = inflater.feed(reinterpret_cast<const uint8_t*>(stream.data() + pos), static_cast<uint32_t>(n), final);
        if (used < 0) return std::nullopt;
        if (inflater.finished()) break;
        EXPECT_EQ(static_cast<size_t>(used), n);  // a buffer sink never stops the decoder
        pos += n;
    } while (pos < stream.size());
    if (!inflater.finished()) return std::nullopt;
    return asString(out.data(), out.size());
}

// Inflates into a small ring drained by `drain` bytes between feeds: the decoder must stop when
// the sink is full and resume where it stopped.
std::optional<std::string> inflateThroughRing(const std::string& stream, uint32_t drain) {
    MemoryDataSink ring(40000);
    InflateState2 inflater;
    inflater.setSink(&ring);
    std::string out;
    size_t pos = 0;
    for (int rounds = 0; rounds < 1000000; ++rounds) {
        const size_t n = std::min<size_t>(3000, stream.size() - pos);
        const int64_t used = inflater.feed(reinterpret_cast<const uint8_t*>(stream.data() + pos), static_cast<uint32_t>(n),
                                           pos + n == stream.size());
        if (used < 0) return std::nullopt;
        pos += static_cast<size_t>(used);
        StreamingBuffer::Span a, b;
        ring.ring().readable(a, b);
        const uint32_t take = std::min(drain, a.size);
        out.append(reinterpret_cast<const char*>(a.data), take);
        ring.ring().consume(take);
        if (inflater.finished() && ring.pending() == 0) return out;
    }
    ADD_FAILURE() << "no progress";
    return std::nullopt;
}

TEST(DeflateEngine, StoredFormIsZlibsRawStreamAtLevelSix) {
    EXPECT_EQ(pipelineDeflate(""), std::string("\x03\x00", 2));
    const std::string doc = test::slurp("/usr/share/mime/packages/freedesktop.org.xml");
    for (const std::string& input : {std::string("hello"), std::string(100000, 'a'), test::mixedBytes(250001, 3), doc}) {
        const std::string stream = pipelineDeflate(input);
        EXPECT_EQ(stream, test::zlibDeflate(input)) << input.size();
        EXPECT_EQ(test::zlibInflate(stream), input);
    }
    EXPECT_LT(pipelineDeflate(std::string(100000, 'a')).size(), 1024u);
    EXPECT_EQ(ZipCRC::of("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(ZipCRC::of("", 0), 0u);
}

// Push mode: the bytes arrive in the stage's own ring and the end flag closes the stream.
TEST(DeflateEngine, PushModeGivesTheSameStream) {
    const std::string input = test::mixedBytes(DataProcessor::kRingSize, 9);
    DeflateProcessor deflater;
    DataBuffer out;
    DataBufferSink sink(&out);
    deflater.setSink(&sink);
    EXPECT_TRUE(deflater.write(reinterpret_cast<const uint8_t*>(input.data()), static_cast<uint32_t>(input.size())));
    EXPECT_FALSE(deflater.write(reinterpret_cast<const uint8_t*>("x"), 1));  // the ring is full
    deflater.setEndOfData();
    DataPipeline pipeline;
    pipeline.addProcessor(&deflater);
    EXPECT_TRUE(pipeline.run());
    EXPECT_EQ(asString(out.data(), out.size()), test::zlibDeflate(input));
}

// Every level and strategy zlib has, so stored, fixed and dynamic blocks all occur; each stream is
// read whole, in pieces of several sizes, and through a sink that keeps filling up.
TEST(InflateState2, DecodesWhatZlibWritesAtEverySetting) {
    const std::string inputs[] = {"", "x", test::mixedBytes(70000, 1), std::string(300000, 'q')};
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED};
    for (const std::string& input : inputs) {
        for (int level = 0; level <= 9; ++level) {
            for (int strategy : strategies) {
                const std::string stream = test::zlibDeflate(input, level, strategy);
                ASSERT_FALSE(stream.empty());
                for (size_t piece : {size_t{0}, size_t{1}, size_t{13}, size_t{4096}}) {
                    if (piece == 1 && input.size() > 100000) continue;  // byte by byte: the short ones suffice
                    EXPECT_EQ(inflatePieces(stream, piece), input) << input.size() << " level " << level << " strategy "
                                                                   << strategy << " piece " << piece;
                }
            }
        }
        EXPECT_EQ(inflateThroughRing(test::zlibDeflate(input), 7000), input);
    }
}

TEST(InflateState2, DecodesTheGzipFilesOfThisMachine) {
    const auto files = test::docGzipFiles(25);
    ASSERT_FALSE(files.empty());
    for (const auto& path : files) {
        const std::string gz = test::slurp(path);
        const auto payload = test::gzipPayload(gz);
        const auto expected = test::zlibInflate(gz, 31);
        if (!payload || !expected) continue;  // multi-member or odd files: zlib decides alone
        const auto whole = inflatePieces(payload->deflate, 0);
        ASSERT_TRUE(whole.has_value()) << path;
        EXPECT_EQ(*whole, *expected) << path;
        EXPECT_EQ(ZipCRC::of(whole->data(), static_cast<uint32_t>(whole->size())), payload->crc) << path;
        EXPECT_EQ(inflatePieces(payload->deflate, 1000), *expected) << path;
    }
}

// Invalid data is -1, and only that: truncated, stored length against its complement, too many
// codes, incomplete and over-subscribed code lengths, distances before the start, bit flips.
TEST(InflateState2, RejectsWhatIsNotAStream) {
    const std::string hello = test::zlibDeflate("hello hello hello hello");
    const std::pair<std::string, const char*> invalid[] = {
        {"", "empty, final"},
        {std::string("\x01\x05\x00\xfb\xff" "hello", 10), "stored: complement disagrees"},
        {std::string("\x07", 1), "reserved block type 3"},
        {std::string("\xfd\xff\xff\xff", 4), "dynamic: HLIT 288+, HDIST 32"},
        {std::string("\x03\x02\x00", 3), "fixed: distance before the start of the output"},
        {std::string("\x05\x00\x92\x04\x00\x00\x00\x00\x00\x00\x00\x00", 12), "dynamic: over-subscribed code lengths"},
        {hello.substr(0, hello.size() - 1), "truncated"},
    };
    for (const auto& [stream, what] : invalid) {
        EXPECT_EQ(test::zlibInflate(stream), std::nullopt) << what;  // the test's own premise
        for (size_t piece : {size_t{0}, size_t{1}}) EXPECT_EQ(inflatePieces(stream, piece), std::nullopt) << what;
    }
    // Every proper prefix of a valid stream is -1 when marked final, and no error when not.
    const std::string stream = test::zlibDeflate(test::mixedBytes(3000, 5));
    for (size_t n = 0; n < stream.size(); ++n) {
        EXPECT_EQ(inflatePieces(stream.substr(0, n), 0), std::nullopt) << n;
        DataBuffer out;
        DataBufferSink sink(&out);
        InflateState2 inflater;
        inflater.setSink(&sink);
        EXPECT_EQ(inflater.feed(reinterpret_cast<const uint8_t*>(stream.data()), static_cast<uint32_t>(n), false),
                  static_cast<int64_t>(n));
    }
    // Bytes after the final block are left unconsumed.
    {
        DataBuffer out;
        DataBufferSink sink(&out);
        InflateState2 inflater;
        inflater.setSink(&sink);
        const std::string tail = hello + "TRAILING";
        EXPECT_EQ(inflater.feed(reinterpret_cast<const uint8_t*>(tail.data()), static_cast<uint32_t>(tail.size()), true),
                  static_cast<int64_t>(hello.size()));
        EXPECT_EQ(inflater.feed(reinterpret_cast<const uint8_t*>("x"), 1, true), 0);
    }
    // Single bit flips anywhere: the same verdict and bytes as zlib's, whole and in pieces.
    std::mt19937 rng(11);
    for (int i = 0; i < 3000; ++i) {
        std::string bad = stream;
        const size_t at = rng() % bad.size();
        bad[at] ^= static_cast<char>(1 << (rng() % 8));
        const auto expected = test::zlibInflate(bad);
        EXPECT_EQ(inflatePieces(bad, 0), expected) << i;
        EXPECT_EQ(inflatePieces(bad, 97), expected) << i;
    }
}

}  // namespace
}  // namespace quorvel
