#include "content/cls_zip.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "content/data_pipeline.h"
#include "content/data_processor.h"
#include "content/data_sink.h"
#include "content/streaming_buffer.h"
#include "content_test_support.h"
#include "core/data_buffer.h"
#include "recording_log.h"

namespace quorvel {
namespace {

using test::asString;

std::string logXml(ClsBase& object) {
    StringBuffer out;
    object.log().ErrorLogXml(out);
    return std::string(out.view());
}

TEST(ZipContainer, EntriesCopyAndInflate) {
    ClsZip zip;
    const std::string text = test::mixedBytes(200000, 4);
    auto plain = zip.AppendData("x", text.data(), static_cast<uint32_t>(text.size()));
    ASSERT_TRUE(plain);
    DataBuffer a, b;
    ASSERT_TRUE(plain->Copy(a));
    ASSERT_TRUE(plain->Copy(b));  // made afresh each time, the same bytes
    EXPECT_EQ(asString(a.data(), a.size()), asString(b.data(), b.size()));
    EXPECT_EQ(asString(a.data(), a.size()), test::zlibDeflate(text));
    DataBuffer same;
    ASSERT_TRUE(plain->Inflate(same));  // a plain entry's bytes as they are
    EXPECT_EQ(asString(same.data(), same.size()), text);

    auto deflated = zip.AppendCompressed("x", a);
    ASSERT_TRUE(deflated);
    DataBuffer back, copied;
    back.append("pre", 3);  // both append to what the buffer holds
    ASSERT_TRUE(deflated->Inflate(back));
    EXPECT_EQ(asString(back.data(), back.size()), "pre" + text);
    ASSERT_TRUE(deflated->Copy(copied));
    EXPECT_EQ(asString(copied.data(), copied.size()), asString(a.data(), a.size()));
    EXPECT_EQ(zip.entryCount(), 2);

    auto first = zip.GetEntryByIndex(0);
    ASSERT_TRUE(first);
    DataBuffer again;
    ASSERT_TRUE(first->Copy(again));
    EXPECT_EQ(again.size(), a.size());
    EXPECT_EQ(logXml(zip), "");  // a successful call leaves an empty context
    EXPECT_EQ(logXml(*first), "");
}

TEST(ZipContainer, RefusalsAndTheirLogs) {
    ClsZip zip;
    DataBuffer empty;
    const std::pair<std::unique_ptr<ClsZipEntry> (*)(ClsZip&), const char*> refusals[] = {
        {[](ClsZip& z) { return z.AppendData(nullptr, "a", 1); }, "<AppendData>\n    <error>null parameter</error>"},
        {[](ClsZip& z) { return z.AppendData("x", "a", 0); }, "<AppendData>\n    <error><![CDATA[Data length must be > 0]]></error>"},
        {[](ClsZip& z) { return z.AppendData("", "a", 1); }, "<AppendData>\n    <error>No filename was provided</error>"},
        {[](ClsZip& z) { DataBuffer none; return z.AppendCompressed("x", none); },
         "<AppendCompressed>\n    <error><![CDATA[Data length must be > 0]]></error>"},
        {[](ClsZip& z) { return z.GetEntryByIndex(0); },
         "<GetEntryByIndex>\n    <index>0</index>\n    <max_index>-1</max_index>\n    <error>Bad index</error>"},
    };
    for (const auto& [call, expected] : refusals) {
        EXPECT_FALSE(call(zip));
        EXPECT_NE(logXml(zip).find(expected), std::string::npos) << logXml(zip);
    }
    ASSERT_TRUE(zip.AppendData("x", "abc", 3));
    EXPECT_FALSE(zip.GetEntryByIndex(1));
    EXPECT_NE(logXml(zip).find("<max_index>0</max_index>"), std::string::npos) << logXml(zip);
    EXPECT_FALSE(zip.GetEntryByIndex(-1));

    // Not a DEFLATE stream: the call fails, names the entry and appends nothing.
    DataBuffer junk;
    junk.append("\x07junk", 5);
    auto bad = zip.AppendCompressed("x", junk);
    ASSERT_TRUE(bad);
    DataBuffer out;
    out.append("keep", 4);
    EXPECT_FALSE(bad->Inflate(out));
    EXPECT_EQ(asString(out.data(), out.size()), "keep");
    EXPECT_NE(logXml(*bad).find("<error>Invalid compressed data to inflate</error>\n    <zip_entry>"), std::string::npos)
        << logXml(*bad);
}

// Handles may outlive their container: they then fail with "Object not initialized".
TEST(ZipContainer, SurvivingHandleIsNotInitialized) {
    std::unique_ptr<ClsZipEntry> a, b, early;
    {
        ClsZip zip;
        a = zip.AppendData("x", "abc", 3);
        b = zip.GetEntryByIndex(0);
        early = zip.GetEntryByIndex(0);
        early.reset();  // a handle gone first leaves the entry's list
    }
    for (ClsZipEntry* h : {a.get(), b.get()}) {
        DataBuffer out;
        EXPECT_FALSE(h->Copy(out));
        EXPECT_FALSE(h->Inflate(out));
        EXPECT_EQ(out.size(), 0u);
        EXPECT_NE(logXml(*h).find("<Inflate>\n    <error>Object not initialized</error>"), std::string::npos) << logXml(*h);
    }
}

TEST(DataPipeline, RingSinkAndRunLoop) {
    StreamingBuffer ring(10);
    EXPECT_EQ(ring.write("abcdefgh", 8), 8u);
    ring.consume(6);
    EXPECT_EQ(ring.write("ijklmnop", 8), 8u);  // wraps
    EXPECT_EQ(ring.write("q", 1), 0u);
    StreamingBuffer::Span s1, s2;
    ring.readable(s1, s2);
    EXPECT_EQ(asString(s1.data, s1.size) + "|" + asString(s2.data, s2.size), "ghij|klmnop");

    MemoryDataSink sink(50000);
    const std::string big(60000, 'z');
    EXPECT_FALSE(sink.write(reinterpret_cast<const uint8_t*>(big.data()), 60000));
    EXPECT_EQ(sink.pending(), 50000u);
    uint32_t room = 7;
    EXPECT_FALSE(sink.freeSpace(&room));
    EXPECT_EQ(room, 0u);

    // A stage that keeps throwing ends the run, logged once; one whose sink never takes anything
    // stalls and ends it too.
    struct Throwing : DataProcessor {
        int steps = 0;
        void step() override {
            ++steps;
            throw std::runtime_error("x");
        }
        uint32_t pending() const override { return 1; }
    } throwing;
    struct Stuck : DataProcessor {
        void step() override {}
        uint32_t pending() const override { return 1; }
    } stuck;
    RecordingLog log;
    for (DataProcessor* stage : {static_cast<DataProcessor*>(&throwing), static_cast<DataProcessor*>(&stuck)}) {
        DataPipeline pipeline;
        pipeline.setLog(&log);
        pipeline.addProcessor(stage);
        EXPECT_FALSE(pipeline.run());
    }
    EXPECT_EQ(throwing.steps, 1);
    EXPECT_EQ(log.take(), std::vector<std::string>{"E:Exception occured in data pipeline time slice."});
}

// The name counters are process-wide: pipelines made on several threads at once never share a name.
TEST(DataPipeline, NamesCountAcrossThreads) {
    const int first = std::atoi(DataPipeline().name() + 13);
    EXPECT_EQ(std::atoi(DataPipeline().name() + 13), first + 1);
    std::vector<std::vector<std::string>> names(4);
    std::vector<std::thread> threads;
    for (auto& list : names) {
        threads.emplace_back([&list] {
            for (int i = 0; i < 2000; ++i) list.push_back(DataPipeline().name());
        });
    }
    for (auto& t : threads) t.join();
    std::set<std::string> all;
    for (const auto& list : names) all.insert(list.begin(), list.end());
    EXPECT_EQ(all.size(), 8000u);
}

}  // namespace
}  // namespace quorvel
