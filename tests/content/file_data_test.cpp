// Files at both ends of a pipeline: real files in a scratch directory, deflated from one into the
// other in several chunks; an empty file; and the ends a failed open or a failed write leave.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include "content/data_pipeline.h"
#include "content/data_sink.h"
#include "content/data_source.h"
#include "content/deflate_processor.h"
#include "content_test_support.h"
#include "scratch_dir.h"

namespace quorvel {
namespace {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;
File open(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode), &std::fclose); }

class FileData : public ::testing::Test, protected test::ScratchDir {};

TEST_F(FileData, DeflatesFromFileToFile) {
    // Several input chunks and output blocks; and an empty file, which still gives a whole stream.
    for (const std::string& input : {test::mixedBytes(3 * DeflateProcessor::kZipInputChunk + 7, 5), std::string()}) {
        SCOPED_TRACE(input.size());
        test::spill(path("in"), input);
        {
            File in = open(path("in"), "rb"), out = open(path("out"), "wb");
            ASSERT_TRUE(in && out);
            FileDataSource source(in.get());
            FileDataSink sink(out.get());
            DeflateProcessor deflater;
            deflater.setSource(&source);
            deflater.setSink(&sink);
            DataPipeline pipeline;
            pipeline.addProcessor(&deflater);
            ASSERT_TRUE(pipeline.run());
            EXPECT_TRUE(source.atEnd());
            EXPECT_EQ(source.total(), input.size());
            EXPECT_TRUE(sink.endOfData());
            EXPECT_EQ(sink.total(), test::zlibDeflate(input).size());
        }
        const std::string stored = test::slurp(path("out"));
        EXPECT_EQ(stored, test::zlibDeflate(input));
        EXPECT_EQ(test::zlibInflate(stored), input);
    }
}

TEST_F(FileData, FailedOpensAndWrites) {
    // A source past its end, or on a file that never opened, reads nothing and is at its end.
    test::spill(path("abc"), "abc");
    File abc = open(path("abc"), "rb");
    FileDataSource source(abc.get());
    uint8_t buf[8];
    uint32_t n = 99;
    ASSERT_TRUE(source.read(buf, 2, &n));
    EXPECT_EQ(n, 2u);
    ASSERT_TRUE(source.read(buf, sizeof buf, &n));
    EXPECT_EQ(n, 1u);
    EXPECT_TRUE(source.read(buf, sizeof buf, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(source.atEnd());
    EXPECT_EQ(source.total(), 3u);
    FileDataSource missing(open(path("no such file"), "rb").get());
    EXPECT_TRUE(missing.atEnd());
    EXPECT_TRUE(missing.read(buf, sizeof buf, &n));
    EXPECT_EQ(n, 0u);

    // A sink on no file, or on one that cannot be written, takes nothing and says so.
    FileDataSink nowhere(open(path("no dir/out"), "wb").get());
    FileDataSink readOnly(abc.get());
    for (FileDataSink* sink : {&nowhere, &readOnly}) {
        EXPECT_FALSE(sink->write(reinterpret_cast<const uint8_t*>("xyz"), 3));
        EXPECT_EQ(sink->total(), 0u);
    }
    EXPECT_EQ(test::slurp(path("abc")), "abc");
}

}  // namespace
}  // namespace quorvel
