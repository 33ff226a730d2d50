// The record reading members on the handle: a reader's records equal the whole load's elements
// and are freed with their handles; ranges of a file add up to the whole; a stream callback, the
// size limit, progress events, ancestors, and the failures a host sees.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "component/node_handle.h"
#include "component_test_support.h"
#include "core/automation/variant_holder.h"
#include "scratch_dir.h"

namespace quorvel {
namespace {

using namespace test;

const char* const kMime = "/usr/share/mime/packages/freedesktop.org.xml";

ComPtr<IQuorvelXml2> second(IQuorvelXml* h) {
    ComPtr<IQuorvelXml2> x;
    EXPECT_EQ(h->QueryInterface(IID_IQuorvelXml2, x.putVoid()), S_OK);
    return x;
}

// Every record a reader gives, as GetXml has it; stops at the end or a failure (hr says which).
std::vector<std::string> drain(IQuorvelXml2* reader, HRESULT* hr = nullptr) {
    std::vector<std::string> out;
    for (;;) {
        ComPtr<IQuorvelXml> rec;
        const HRESULT r = reader->NextRecord(rec.put());
        if (hr) *hr = r;
        if (r != S_OK || !rec) break;
        out.push_back(xmlOf(rec.get()));
    }
    return out;
}

VariantHolder offset(int64_t n) {
    VariantHolder v;
    v->vt = VT_I8;
    v->llVal = n;
    return v;
}

TEST(RecordMembers, RecordsEqualTheWholeLoadAndGoWithTheirHandles) {
    // The whole load's mime-type elements, by the handle's own search.
    ComPtr<IQuorvelXml> whole = newHandle();
    LONG ok = 0;
    ASSERT_EQ(whole->LoadXmlFile(bstr(kMime).get(), &ok), S_OK);
    std::vector<std::string> expected;
    for (ComPtr<IQuorvelXml> n;;) {
        ComPtr<IQuorvelXml> next;
        ASSERT_EQ(whole->SearchForTag(n.get(), bstr("mime-type").get(), next.put()), S_OK);
        if (!next) break;
        expected.push_back(xmlOf(next.get()));
        n = next;
    }
    ASSERT_GT(expected.size(), 500u);

    const int64_t live = CQuorvelXml::liveCount();
    ComPtr<IQuorvelXml> h = newHandle();
    ComPtr<IQuorvelXml2> reader = second(h.get());
    PercentSink sink;
    DWORD cookie = 0;
    ComPtr<IConnectionPoint> events = connectEvents(h.get(), &sink, &cookie);
    ASSERT_EQ(reader->OpenRecords(bstr(kMime).get(), bstr("//mime-type").get()), S_OK);
    std::vector<std::string> got;
    ComPtr<IQuorvelXml> first;
    for (;;) {
        ComPtr<IQuorvelXml> rec;
        ASSERT_EQ(reader->NextRecord(rec.put()), S_OK);
        if (!rec) break;
        got.push_back(xmlOf(rec.get()));
        if (!first) first = rec;
        // Records do not pile up: only the first is still held.
        EXPECT_LE(CQuorvelXml::liveCount(), live + 4);
    }
    EXPECT_EQ(got, expected);
    // After the end, the end again.
    ComPtr<IQuorvelXml> after;
    EXPECT_EQ(reader->NextRecord(after.put()), S_OK);
    EXPECT_FALSE(after);
    // Progress in percent of the file, rising to 100.
    ASSERT_FALSE(sink.percents.empty());
    EXPECT_EQ(sink.percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(sink.percents.begin(), sink.percents.end()));
    events->Unadvise(cookie);
    events = {};

    // The record's ancestors: the path, and a childless copy of the root element.
    ComPtr<IQuorvelXml2> rec = second(first.get());
    BSTR path = nullptr;
    ASSERT_EQ(rec->get_RecordPath(&path), S_OK);
    EXPECT_EQ(take(path), "/mime-info");
    ComPtr<IQuorvelXml> root, beyond;
    ASSERT_EQ(rec->GetRecordAncestor(0, root.put()), S_OK);
    EXPECT_EQ(xmlOf(root.get()), "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\"></mime-info>\n");
    ASSERT_EQ(rec->GetRecordAncestor(1, beyond.put()), S_OK);
    EXPECT_FALSE(beyond);
    expectFailure(h.get(), reader->GetRecordAncestor(0, beyond.put()), "(GetRecordAncestor)\nNot a record");
    root = {};
    first = {};
    rec = {};
    reader = {};
    h = {};
    EXPECT_EQ(CQuorvelXml::liveCount(), live);
}

class RecordMembersFiles : public ::testing::Test, protected ScratchDir {};

TEST_F(RecordMembersFiles, RangesStreamsLimitsAndFailures) {
    ComPtr<IQuorvelXml2> reader = second(newHandle().get());
    ASSERT_EQ(reader->OpenRecords(bstr(kMime).get(), bstr("/mime-info/mime-type").get()), S_OK);
    const std::vector<std::string> whole = drain(reader.get());
    ASSERT_GT(whole.size(), 500u);

    // Ranges given as any number a host has.
    const int64_t size = static_cast<int64_t>(std::filesystem::file_size(kMime));
    std::vector<std::string> joined;
    for (int64_t k = 0; k < 5; ++k) {
        VariantHolder start = offset(size * k / 5);
        VariantHolder end;
        end->vt = VT_BSTR;
        end->bstrVal = SysAllocString(reinterpret_cast<const char16_t*>(sys::fromUtf8(std::to_string(size * (k + 1) / 5)).c_str()));
        ASSERT_EQ(reader->OpenRecordRange(bstr(kMime).get(), bstr("//mime-type").get(), *start.get(), *end.get()), S_OK);
        const std::vector<std::string> part = drain(reader.get());
        joined.insert(joined.end(), part.begin(), part.end());
    }
    EXPECT_EQ(joined, whole);

    // A stream through a plain function and its context.
    struct Stream {
        std::string text;
        size_t at = 0;
    } stream{"<r><a>1</a><b><a>2</a></b><a>3</a></r>"};
    auto read = [](void* context, void* buffer, size_t n) -> ptrdiff_t {
        auto* s = static_cast<Stream*>(context);
        const size_t k = std::min<size_t>({n, 2, s->text.size() - s->at});
        std::memcpy(buffer, s->text.data() + s->at, k);
        s->at += k;
        return static_cast<ptrdiff_t>(k);
    };
    ASSERT_EQ(reader->OpenRecordStream(read, &stream, bstr("//a").get()), S_OK);
    EXPECT_EQ(drain(reader.get()), (std::vector<std::string>{"<a>1</a>\n", "<a>2</a>\n", "<a>3</a>\n"}));

    // The size limit.
    LONG limit = 0;
    ASSERT_EQ(reader->get_RecordSizeLimit(&limit), S_OK);
    EXPECT_EQ(limit, 64 << 20);
    expectFailure(reader.get(), reader->put_RecordSizeLimit(0), "(RecordSizeLimit)\nRecordSizeLimit must be positive");
    ASSERT_EQ(reader->put_RecordSizeLimit(300), S_OK);
    ASSERT_EQ(reader->OpenRecords(bstr(kMime).get(), bstr("//mime-type").get()), S_OK);
    HRESULT hr = S_OK;
    const std::vector<std::string> small = drain(reader.get(), &hr);
    EXPECT_LT(small.size(), whole.size());
    expectFailure(reader.get(), hr, "(NextRecord)\nRecord is larger than RecordSizeLimit\nlimit: 300");
    ASSERT_EQ(reader->put_RecordSizeLimit(64 << 20), S_OK);

    // A document cut inside a record: the records before it, then a failure that says where.
    spill(dir / "cut.xml", "<r><a>1</a><a>2</a><a>3");
    ASSERT_EQ(reader->OpenRecords(bstr((dir / "cut.xml").string()).get(), bstr("//a").get()), S_OK);
    EXPECT_EQ(drain(reader.get(), &hr).size(), 2u);
    EXPECT_EQ(hr, E_FAIL);
    const std::string log = errorLogXml(reader.get());
    EXPECT_NE(log.find("The document ends inside a record"), std::string::npos) << log;
    EXPECT_NE(log.find("<record_number>3</record_number>"), std::string::npos) << log;
    ComPtr<IQuorvelXml> again;
    expectFailure(reader.get(), reader->NextRecord(again.put()), "(NextRecord)\nReading records failed earlier");

    // Bad calls.
    ComPtr<IQuorvelXml2> fresh = second(newHandle().get());
    ComPtr<IQuorvelXml> none;
    expectFailure(fresh.get(), fresh->NextRecord(none.put()), "(NextRecord)\nNo records are open");
    expectFailure(fresh.get(), fresh->OpenRecords(bstr(kMime).get(), bstr("mime-type").get()),
                  "(OpenRecords)\nRecord path must start with / or //\nrecordPath: mime-type");
    EXPECT_EQ(fresh->OpenRecords(bstr((dir / "missing.xml").string()).get(), bstr("//a").get()), E_FAIL);
    EXPECT_NE(errorLogXml(fresh.get()).find("No such file or directory"), std::string::npos);
    VariantHolder negative = offset(-1);
    expectFailure(fresh.get(), fresh->OpenRecordRange(bstr(kMime).get(), bstr("//a").get(), *negative.get(), *negative.get()),
                  "(OpenRecordRange)\nByte offsets must be numbers from 0 on");
    EXPECT_EQ(fresh->OpenRecords(nullptr, bstr("//a").get()), E_FAIL);
    EXPECT_EQ(fresh->OpenRecordStream(nullptr, nullptr, bstr("//a").get()), E_FAIL);
}

}  // namespace
}  // namespace quorvel
