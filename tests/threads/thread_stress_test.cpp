// Threads, each with documents of its own, run the members in random order and must see exactly
// what the same sequence sees on one thread: no process-wide state (tag pool, string blocks, tree
// ids, error information, converters) may let one thread's work show in another's. Handles are
// released by whichever thread comes next; the HTTP members share one loopback server. Also built
// under ThreadSanitizer. A member joins with one line in kOperations, returning what it saw as text
// that must not depend on timing.
#include <gtest/gtest.h>

#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "component/component_test_support.h"
#include "core/automation/variant_holder.h"
#include "loopback_http.h"
#include "scratch_dir.h"

namespace quorvel {
namespace {

using namespace test;

// Handle batches on trees of their own, waiting for any thread to release them. A batch stays
// together: its handles share a tree, which one thread at a time may touch.
struct ReleaseBin {
    using Batch = std::vector<ComPtr<IQuorvelXml>>;
    std::mutex mutex;
    std::vector<Batch> batches;

    void put(Batch batch) {
        std::lock_guard<std::mutex> lock(mutex);
        batches.push_back(std::move(batch));
    }
    void releaseOne() {
        Batch batch;  // released at the end, outside the lock, on this thread
        std::lock_guard<std::mutex> lock(mutex);
        if (batches.empty()) return;
        batch = std::move(batches.back());
        batches.pop_back();
    }
};

const char* const kDocuments[] = {
    "<?xml version=\"1.0\"?><shop><item id=\"3\" kind=\"b\"><name>pear</name><price>4</price></item>"
    "<item id=\"1\" kind=\"a\"><name>apple</name><price>2</price></item><note>fresh &amp; cheap</note></shop>",
    "<root><b>second</b><a x=\"1\">first</a><c><![CDATA[<raw>]]></c><a x=\"0\">zero</a></root>",
    "<feed xml:lang=\"he\"><entry><title>\xD7\xA4\xD6\xBF\xD7\x90\xD6\xB7 \xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D</title>"
    "</entry><entry><title>Vi\xE1\xBB\x87t \xC3\x80</title></entry><entry><title>\xE6\x97\xA5\xE6\x9C\xAC</title></entry></feed>",
};
const char* const kTags[] = {"item", "name", "a", "b", "entry", "title", "price", "new", "none"};
const char* const kEncodings[] = {"utf-8", "windows-1255", "windows-1258", "shift_jis", "utf-16", "iso-8859-1"};

struct Worker {
    std::mt19937 rng;
    std::string dir;
    ReleaseBin* bin;
    ComPtr<IQuorvelXml> doc = newHandle();  // designates the root of the worker's document
    ComPtr<IQuorvelXml> cursor = newHandle();

    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(rng); }
    template <size_t N>
    const char* pickOf(const char* const (&items)[N]) { return items[pick(static_cast<int>(N))]; }
    std::string file(const char* name) const { return dir + "/" + name; }
};

std::string xmlOf(IQuorvelXml* h) {
    BSTR s = nullptr;
    return h->GetXml(&s) == S_OK ? take(s) : "(GetXml failed)";
}

// `h` is read only here, after the call that fills it has run.
std::string found(HRESULT hr, IQuorvelXml* const& h) {
    if (hr != S_OK) return "hr " + std::to_string(hr);
    if (!h) return "none";
    const std::string text = tagOf(h) + "=" + contentOf(h);
    h->Release();
    return text;
}

std::string flag(HRESULT hr, LONG value) { return std::to_string(hr) + "/" + std::to_string(value); }

std::string loadText(Worker& w) {
    LONG ok = 0;
    const HRESULT hr = w.doc->LoadXml(bstr(w.pickOf(kDocuments)).get(), &ok);
    w.cursor = w.doc;
    return flag(hr, ok);
}

// The document saved in an encoding and loaded back from the file's bytes as a byte array.
std::string loadBytes(Worker& w) {
    w.doc->put_Encoding(bstr(w.pickOf(kEncodings)).get());
    if (w.doc->SaveXml(bstr(w.file("bytes.xml")).get()) != S_OK) return "save failed";
    const std::string data = slurp(w.file("bytes.xml"));
    LONG ok = 0;
    const HRESULT hr = w.doc->LoadXmlV(*bytesVariant(data).get(), &ok);
    w.cursor = w.doc;
    return std::to_string(data.size()) + ":" + flag(hr, ok);
}

std::string saveAndLoadFile(Worker& w) {
    if (w.doc->SaveXml(bstr(w.file("doc.xml")).get()) != S_OK) return "save failed";
    ComPtr<IQuorvelXml> other = newHandle();
    LONG ok = 0;
    const HRESULT hr = other->LoadXmlFile(bstr(w.file("doc.xml")).get(), &ok);
    return flag(hr, ok) + xmlOf(other.get());
}

// Adopts the two handles (the second may be null); nothing of them stays on this thread.
ReleaseBin::Batch batchOf(IQuorvelXml* first, IQuorvelXml* second) {
    ReleaseBin::Batch batch;
    batch.push_back(adoptResult(first));
    if (second) batch.push_back(adoptResult(second));
    return batch;
}

// A subtree of the document made a tree of its own, left for another thread to release.
std::string extract(Worker& w) {
    w.cursor->GetRoot2();  // the cursor must not stay inside what goes
    LONG n = 0;
    w.doc->get_NumChildren(&n);
    if (n == 0) return "empty";
    IQuorvelXml* child = nullptr;
    const HRESULT hr = w.doc->ExtractChildByIndex(w.pick(static_cast<int>(n)), &child);
    if (hr != S_OK || !child) return "hr " + std::to_string(hr);
    const std::string text = xmlOf(child);
    IQuorvelXml* inside = nullptr;
    child->FirstChild(&inside);
    w.bin->put(batchOf(child, inside));
    return text;
}

// A whole new document, with two handles on it, left for another thread to release.
std::string handOff(Worker& w) {
    ComPtr<IQuorvelXml> h = newHandle();
    LONG ok = 0;
    h->LoadXml(bstr(w.pickOf(kDocuments)).get(), &ok);
    IQuorvelXml* child = nullptr;
    h->GetChild(0, &child);
    w.bin->put(batchOf(h.detach(), child));
    return std::to_string(ok);
}

std::string walk(Worker& w) {
    constexpr HRESULT (IQuorvelXml::*kMoves[])(LONG*) = {&IQuorvelXml::FirstChild2, &IQuorvelXml::NextSibling2,
                                                         &IQuorvelXml::GetParent2, &IQuorvelXml::LastChild2};
    std::string path;
    for (int i = 0, n = w.pick(6); i < n; ++i) {
        LONG moved = 0;
        (w.cursor.get()->*kMoves[w.pick(4)])(&moved);
        path += std::to_string(moved);
    }
    return path + tagOf(w.cursor.get());
}

std::string failure(Worker& w) {
    LONG ok = -1;
    const HRESULT hr = w.cursor->LoadXmlFile(bstr(w.file("missing.xml")).get(), &ok);
    return flag(hr, ok) + takeErrorInfo().description;
}

std::string events(Worker& w) {
    PercentSink sink;
    DWORD cookie = 0;
    ComPtr<IConnectionPoint> point = connectEvents(w.doc.get(), &sink, &cookie);
    const std::string result = loadText(w);
    point->Unadvise(cookie);
    return result + (sink.percents.empty() ? "" : std::to_string(sink.percents.back())) + (sink.callShapeOk ? "" : "!");
}

std::string hr(HRESULT value) { return std::to_string(value); }

// The cursor's content stored as binary content (zipped, encrypted, both or neither) and read back.
std::string binaryContent(Worker& w) {
    const LONG zip = w.pick(2), crypt = w.pick(2);
    VariantHolder in, out;
    in.get()->vt = VT_BSTR;
    in.get()->bstrVal = bstr(contentOf(w.cursor.get()) + "\x01\xC3\xA9").release();
    std::string result = hr(w.cursor->SetBinaryContent(zip, crypt, bstr("pw").get(), *in.get()));
    result += "/" + hr(w.cursor->GetBinaryContent(zip, crypt, bstr("pw").get(), out.get()));
    const VARIANT& v = *out.get();
    if (v.vt == (VT_ARRAY | VT_UI1)) result += "/" + std::to_string(v.parray->rgsabound[0].cElements);
    return result;
}

// Entered before main, while the process has one thread, as a user namespace requires.
const bool kPrivateNetwork = enterPrivateNetwork();

// What the loopback server answers: "/<n>" with document n, a POST with its own body.
void serveDocuments(Connection& c, LoopbackServer&) {
    const std::string r = c.readRequest();
    if (r.empty()) return;
    c.send(reply(200, r.rfind("POST", 0) == 0 ? r.substr(r.find("\r\n\r\n") + 4) : kDocuments[r[5] - '0']));
}

// A document fetched with GetURL and loaded from the bytes it brought.
std::string fetch(Worker& w) {
    VariantHolder v;
    const std::string url = "http://127.0.0.1/" + std::to_string(w.pick(static_cast<int>(std::size(kDocuments))));
    const HRESULT got = w.doc->GetURL(bstr(url).get(), bstr("").get(), bstr("").get(), bstr("").get(), v.get());
    LONG ok = 0;
    const HRESULT loaded = w.doc->LoadXmlV(*v.get(), &ok);
    w.cursor = w.doc;
    return flag(got, v.get()->vt) + " " + flag(loaded, ok);
}

// The cursor's subtree posted with HttpPost; the server's echo comes back as a tree of its own.
std::string post(Worker& w) {
    IQuorvelXml* answer = nullptr;
    const HRESULT posted = w.cursor->HttpPost(bstr("http://127.0.0.1/post").get(), &answer);
    const ComPtr<IQuorvelXml> echo = adoptResult(answer);
    return hr(posted) + (echo ? xmlOf(echo.get()) : errorLogXml(w.cursor.get()));
}

struct Operation {
    const char* name;
    std::function<std::string(Worker&)> run;
};

const Operation kOperations[] = {
    {"LoadXml", loadText},
    {"LoadXmlV", loadBytes},
    {"SaveXml+LoadXmlFile", saveAndLoadFile},
    {"GetXml", [](Worker& w) { return xmlOf(w.cursor.get()); }},
    {"SearchForTag", [](Worker& w) { IQuorvelXml* n = nullptr; return found(w.doc->SearchForTag(nullptr, bstr(w.pickOf(kTags)).get(), &n), n); }},
    {"SearchForContent", [](Worker& w) { IQuorvelXml* n = nullptr; return found(w.doc->SearchForContent(nullptr, bstr(w.pickOf(kTags)).get(), bstr("*e*").get(), &n), n); }},
    {"SearchAllForContent", [](Worker& w) { IQuorvelXml* n = nullptr; return found(w.doc->SearchAllForContent(nullptr, bstr("*i*").get(), &n), n); }},
    {"SearchForAttribute", [](Worker& w) { IQuorvelXml* n = nullptr; return found(w.doc->SearchForAttribute(nullptr, bstr(w.pickOf(kTags)).get(), bstr("x").get(), bstr("*").get(), &n), n); }},
    {"FindNextRecord", [](Worker& w) { IQuorvelXml* n = nullptr; return found(w.doc->FindNextRecord(bstr("name").get(), bstr("*p*").get(), &n), n); }},
    {"NewChild2", [](Worker& w) { return hr(w.cursor->NewChild2(bstr(w.pickOf(kTags)).get(), bstr("\xD7\x90 \xE1\xBB\x87").get())); }},
    {"AddAttribute", [](Worker& w) { return hr(w.cursor->AddAttribute(bstr(w.pickOf(kTags)).get(), bstr(std::to_string(w.pick(9))).get())); }},
    {"UpdateAttribute", [](Worker& w) { return hr(w.cursor->UpdateAttribute(bstr("x").get(), bstr(std::to_string(w.pick(9))).get())); }},
    {"put_Content", [](Worker& w) { return hr(w.cursor->put_Content(bstr(w.pickOf(kTags)).get())); }},
    {"AppendToContent", [](Worker& w) { return hr(w.cursor->AppendToContent(bstr("+").get())); }},
    {"ExtractChildByIndex", extract},
    {"HandOff", handOff},
    {"Walk", walk},
    {"SortByTag", [](Worker& w) { return hr(w.cursor->SortByTag(w.pick(2))); }},
    {"SortByContent", [](Worker& w) { return hr(w.doc->SortByContent(w.pick(2))); }},
    {"SortByAttribute", [](Worker& w) { return hr(w.doc->SortByAttribute(bstr("id").get(), w.pick(2))); }},
    {"SortRecordsByContent", [](Worker& w) { return hr(w.doc->SortRecordsByContent(bstr("name").get(), w.pick(2))); }},
    {"SortRecordsByAttribute", [](Worker& w) { return hr(w.doc->SortRecordsByAttribute(bstr("item").get(), bstr("kind").get(), w.pick(2))); }},
    {"put_Encoding+SaveXml", [](Worker& w) { w.doc->put_Encoding(bstr(w.pickOf(kEncodings)).get()); return hr(w.doc->SaveXml(bstr(w.file("enc.xml")).get())); }},
    {"Failure", failure},
    {"Events", events},
    {"ErrorLogXml", [](Worker& w) { return errorLogXml(w.cursor.get()); }},
    {"CompressNode", [](Worker& w) { return hr(w.cursor->CompressNode()) + contentOf(w.cursor.get()); }},
    {"DecompressNode", [](Worker& w) { return hr(w.cursor->DecompressNode()) + contentOf(w.cursor.get()); }},
    {"CompressSubtree", [](Worker& w) { return hr(w.cursor->CompressSubtree()) + contentOf(w.cursor.get()); }},
    {"DecompressSubtree", [](Worker& w) { return hr(w.cursor->DecompressSubtree()) + xmlOf(w.cursor.get()); }},
    {"EncryptNode", [](Worker& w) { return hr(w.cursor->EncryptNode(bstr("k\xC3\xA9y").get())) + contentOf(w.cursor.get()); }},
    {"DecryptNode", [](Worker& w) { return hr(w.cursor->DecryptNode(bstr("k\xC3\xA9y").get())) + contentOf(w.cursor.get()); }},
    {"QEncodeContent", [](Worker& w) { VariantHolder v; v.get()->vt = VT_BSTR; v.get()->bstrVal = bstr("caf\xC3\xA9 = ?").release();
                                       return hr(w.cursor->QEncodeContent(bstr(w.pickOf(kEncodings)).get(), *v.get())) + contentOf(w.cursor.get()); }},
    {"DecodeContent", [](Worker& w) { VariantHolder v; return hr(w.cursor->DecodeContent(v.get())) + std::to_string(v.get()->vt); }},
    {"SetBinaryContent+GetBinaryContent", binaryContent},
    {"GetURL+LoadXmlV", fetch},
    {"HttpPost", post},
};
constexpr int kOperationCount = static_cast<int>(std::size(kOperations));

// What one sequence sees: each operation's result and the document after it.
std::vector<std::string> runSequence(uint32_t seed, int steps, const std::string& dir, ReleaseBin& bin) {
    Worker w{std::mt19937(seed), dir, &bin};
    std::vector<std::string> seen;
    takeErrorInfo();  // what an earlier sequence left on this thread is not this one's to see
    loadText(w);
    for (int i = 0; i < steps; ++i) {
        const Operation& op = kOperations[w.pick(kOperationCount)];
        std::string result = std::string(op.name) + ": " + op.run(w);
        // Keeps the document small: past a few kilobytes it starts again.
        const std::string xml = xmlOf(w.doc.get());
        if (xml.size() > 4000) loadText(w);
        seen.push_back(result + " | " + xml);
        bin.releaseOne();
    }
    return seen;
}

TEST(ThreadStress, ThreadsRunningMembersOnTheirOwnDocumentsSeeWhatOneThreadSees) {
    constexpr int kThreads = 4;
    constexpr int kSteps = 400;
    ScratchDir scratch;
    const int64_t handles = CQuorvelXml::liveCount();
    // Port 80 of a network namespace of our own, so that the HTTP members speak plain HTTP to it.
    ASSERT_TRUE(kPrivateNetwork) << "no network namespace can be made here";
    LoopbackServer server(80, serveDocuments);
    ScopedEnv proxies[3] = {{"http_proxy", nullptr}, {"all_proxy", nullptr}, {"ALL_PROXY", nullptr}};

    ReleaseBin sharedBin;
    std::vector<std::vector<std::string>> together(kThreads);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        const std::string dir = scratch.path("t" + std::to_string(t));
        std::filesystem::create_directory(dir);
        threads.emplace_back([&, t, dir] { together[t] = runSequence(1000 + t, kSteps, dir, sharedBin); });
    }
    for (std::thread& th : threads) th.join();
    sharedBin.batches.clear();

    for (int t = 0; t < kThreads; ++t) {
        ReleaseBin ownBin;
        const std::vector<std::string> alone = runSequence(1000 + t, kSteps, scratch.path("t" + std::to_string(t)), ownBin);
        ASSERT_EQ(together[t].size(), alone.size());
        for (size_t i = 0; i < alone.size(); ++i) ASSERT_EQ(together[t][i], alone[i]) << "thread " << t << " step " << i;
    }
    EXPECT_EQ(CQuorvelXml::liveCount(), handles);
}

// A sink connected on one thread hears the events of a load on another, and the handle made on
// the first is released on the second.
TEST(ThreadStress, EventsFireOnTheThreadThatLoadsAndHandlesDieWhereTheyAreReleased) {
    const int64_t handles = CQuorvelXml::liveCount();
    std::string big = "<r>";
    for (int i = 0; i < 200; ++i) big += "<e>" + std::to_string(i) + "</e>";
    big += "</r>";
    for (int round = 0; round < 8; ++round) {
        PercentSink sink;
        DWORD cookie = 0;
        ComPtr<IQuorvelXml> h = newHandle();
        ComPtr<IConnectionPoint> point = connectEvents(h.get(), &sink, &cookie);
        ASSERT_TRUE(point);
        std::thread::id firedOn;
        sink.onEvent = [&] { firedOn = std::this_thread::get_id(); };
        std::thread loader([&] {
            LONG ok = 0;
            EXPECT_EQ(h->LoadXml(bstr(big).get(), &ok), S_OK);
            EXPECT_EQ(ok, 1);
            if (round % 2) {
                point->Unadvise(cookie);
                point.reset();
                h.reset();  // the last references go on this thread
            }
        });
        loader.join();
        EXPECT_NE(firedOn, std::this_thread::get_id());
        ASSERT_FALSE(sink.percents.empty());
        EXPECT_EQ(sink.percents.back(), 100);
        EXPECT_TRUE(sink.callShapeOk);
        if (point) point->Unadvise(cookie);
        EXPECT_EQ(sink.refs, 1u);
    }
    EXPECT_EQ(CQuorvelXml::liveCount(), handles);
}

}  // namespace
}  // namespace quorvel
