#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <filesystem>

#include "component_test_support.h"
#include "content/content_test_support.h"
#include "core/automation/variant_holder.h"
#include "core/data_buffer.h"
#include "scratch_dir.h"
#include "xml/serializer.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;

std::string rawContent(IQuorvelXml* h) { return std::string(nodeOf(h)->contentView()); }
void setRawContent(IQuorvelXml* h, const std::string& bytes) {
    nodeOf(h)->setContentBytes(bytes.data(), static_cast<int32_t>(bytes.size()));
}
std::string xmlOf(IQuorvelXml* h) {
    StringBuffer out;
    serialize(nodeOf(h), out);
    return std::string(out.view());
}

// The stored form read back by independent tools: OpenSSL's base64 (which knows no line breaks,
// so they are checked and removed first) and zlib's raw inflate.
std::optional<std::string> storedBytes(const std::string& text) {
    std::string joined;
    for (size_t pos = 0; pos < text.size();) {
        const size_t eol = text.find("\r\n", pos);
        if (eol == std::string::npos || eol - pos > 72) return std::nullopt;
        joined += text.substr(pos, eol - pos);
        pos = eol + 2;
    }
    std::string raw(joined.size() / 4 * 3 + 3, '\0');
    const int n = EVP_DecodeBlock(reinterpret_cast<unsigned char*>(raw.data()),
                                  reinterpret_cast<const unsigned char*>(joined.data()), static_cast<int>(joined.size()));
    if (n < 0) return std::nullopt;
    raw.resize(static_cast<size_t>(n) - (joined.ends_with("==") ? 2 : joined.ends_with("=") ? 1 : 0));
    return zlibInflate(raw);
}

std::string opensslBase64(const std::string& bytes) {
    std::string out(bytes.size() / 3 * 4 + 5, '\0');
    out.resize(static_cast<size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                                   reinterpret_cast<const unsigned char*>(bytes.data()),
                                                   static_cast<int>(bytes.size()))));
    return out;
}

// What the stored form of these deflated bytes must be: 54 bytes to a line, the tail on the last.
std::string storedForm(const std::string& deflated) {
    std::string out;
    size_t i = 0;
    for (; i + 54 <= deflated.size(); i += 54) out += opensslBase64(deflated.substr(i, 54)) + "\r\n";
    return out + opensslBase64(deflated.substr(i)) + "\r\n";
}

class Compression : public ::testing::Test, protected ScratchDir {};

// The stored form byte for byte, and back, for lengths around the line boundary and a long one.
TEST_F(Compression, CompressNodeStoresBase64OfRawDeflate) {
    auto h = newHandle();
    const std::string lengths[] = {"hello", std::string(1, 'x'), mixedBytes(53, 1), mixedBytes(54, 2), mixedBytes(55, 3),
                                   mixedBytes(10000000, 4)};
    for (const std::string& content : lengths) {
        setRawContent(h.get(), content);
        ASSERT_EQ(h->CompressNode(), S_OK);
        const std::string stored = rawContent(h.get());
        const std::string deflated = zlibDeflate(content);
        EXPECT_EQ(stored, storedForm(deflated)) << content.size();
        EXPECT_EQ(storedBytes(stored), content) << content.size();
        ASSERT_EQ(h->DecompressNode(), S_OK);
        EXPECT_EQ(rawContent(h.get()), content) << content.size();
        EXPECT_EQ(errorLogXml(h.get()), "");
    }
    // Empty content: nothing happens, and the log of an earlier failed call stays.
    setRawContent(h.get(), "");
    expectFailure(h.get(), h->GetChild(0, nullptr), "(GetChild)\nParameter is NULL");
    const std::string failedLog = errorLogXml(h.get());
    EXPECT_EQ(h->CompressNode(), S_OK);
    EXPECT_EQ(h->DecompressNode(), S_OK);
    EXPECT_EQ(h->DecompressSubtree(), S_OK);
    EXPECT_EQ(rawContent(h.get()), "");
    EXPECT_EQ(errorLogXml(h.get()), failedLog);
}

// Streams of every zlib setting and the gzip payloads of this machine, stored as content.
TEST_F(Compression, DecompressNodeReadsEveryStream) {
    auto h = newHandle();
    const std::string input = mixedBytes(100000, 8);
    auto check = [&](const std::string& deflated, const std::string& expected, const std::string& what) {
        setRawContent(h.get(), storedForm(deflated));
        ASSERT_EQ(h->DecompressNode(), S_OK);
        EXPECT_EQ(rawContent(h.get()), expected) << what;
    };
    for (int level = 0; level <= 9; ++level) {
        for (int strategy : {Z_DEFAULT_STRATEGY, Z_FILTERED, Z_HUFFMAN_ONLY, Z_RLE, Z_FIXED}) {
            check(zlibDeflate(input, level, strategy), input, "level " + std::to_string(level) + " strategy " + std::to_string(strategy));
        }
    }
    for (const auto& path : docGzipFiles(10)) {
        const std::string gz = readFile(path);
        const auto payload = gzipPayload(gz);
        const auto expected = zlibInflate(gz, 31);
        if (payload && expected && !expected->empty()) check(payload->deflate, *expected, path.string());
    }
}

// Whatever the content, a bad stream leaves it as it was and logs nothing.
TEST_F(Compression, BadContentIsLeftAlone) {
    auto h = newHandle();
    const std::string good = storedForm(zlibDeflate("some text that compresses, some text"));
    std::string flipped = good;
    flipped[10] = flipped[10] == 'A' ? 'B' : 'A';
    const std::string cases[] = {
        "plain text, not base64 of anything",
        "!!!!",
        "====",
        good.substr(0, good.size() / 2),                       // truncated stream
        storedForm(std::string("\x01\x05\x00\xfb\xffhello", 10)),  // stored length against complement
        storedForm(std::string("\x03\x02\x00", 3)),             // distance before the start
        storedForm(std::string(1, '\0')),                       // inflates to nothing
        flipped,
    };
    for (const std::string& c : cases) {
        setRawContent(h.get(), c);
        for (auto member : {&IQuorvelXml::DecompressNode, &IQuorvelXml::DecompressSubtree}) {
            EXPECT_EQ((h.get()->*member)(), S_OK);
            EXPECT_EQ(rawContent(h.get()), c);
            EXPECT_EQ(errorLogXml(h.get()), "");
        }
    }
    // Inflated text that is not XML: DecompressSubtree leaves the node as it was.
    setRawContent(h.get(), storedForm(zlibDeflate("not xml <<<")));
    const std::string before = rawContent(h.get());
    EXPECT_EQ(h->DecompressSubtree(), S_OK);
    EXPECT_EQ(rawContent(h.get()), before);
}

TEST_F(Compression, CompressSubtreeAndBack) {
    auto root = newHandle();
    LONG ok = 0;
    ASSERT_EQ(root->LoadXml(bstr("<?xml version=\"1.0\"?><catalog><book id=\"b1\" lang=\"en\"><title>Rain</title>"
                                 "<price>5.95</price></book><book id=\"b2\"/></catalog>").get(), &ok), S_OK);
    IQuorvelXml* raw = nullptr;
    ASSERT_EQ(root->GetChild(0, &raw), S_OK);
    auto book = adoptResult(raw);
    ASSERT_EQ(book->GetChild(0, &raw), S_OK);
    auto title = adoptResult(raw);  // a handle on a child that CompressSubtree removes
    const std::string bookXml = xmlOf(book.get());
    const LONG treeId = treeIdOf(book.get());

    ASSERT_EQ(book->CompressSubtree(), S_OK);
    EXPECT_EQ(errorLogXml(book.get()), "");
    EXPECT_EQ(nodeOf(book.get())->childCount(), 0);
    EXPECT_EQ(getLong(book.get(), &IQuorvelXml::get_Cdata), 1);
    EXPECT_EQ(tagOf(book.get()), "book");
    EXPECT_EQ(nodeOf(book.get())->attributeCount(), 2);
    EXPECT_EQ(storedBytes(rawContent(book.get())), bookXml);
    EXPECT_EQ(rawContent(book.get()), storedForm(zlibDeflate(bookXml)));
    // The removed child lives on as a tree of its own for the handle on it.
    EXPECT_EQ(tagOf(title.get()), "title");
    EXPECT_EQ(contentOf(title.get()), "Rain");
    EXPECT_NE(treeIdOf(title.get()), treeId);
    EXPECT_EQ(nodeOf(title.get())->parent(), nullptr);

    // The document as a whole: saved and loaded again, with the line breaks, it still decompresses.
    const std::string file = path("catalog.xml");
    ASSERT_EQ(root->SaveXml(bstr(file).get()), S_OK);
    auto loaded = newHandle();
    ASSERT_EQ(loaded->LoadXmlFile(bstr(file).get(), &ok), S_OK);
    ASSERT_EQ(ok, 1);
    ASSERT_EQ(loaded->GetChild(0, &raw), S_OK);
    auto loadedBook = adoptResult(raw);
    for (IQuorvelXml* h : {book.get(), loadedBook.get()}) {
        ASSERT_EQ(h->DecompressSubtree(), S_OK);
        EXPECT_EQ(getLong(h, &IQuorvelXml::get_Cdata), 1);  // the flag stays set
        EXPECT_EQ(h->put_Cdata(0), S_OK);
        EXPECT_EQ(xmlOf(h), bookXml);
        EXPECT_EQ(treeIdOf(h), treeIdOf(h == book.get() ? root.get() : loaded.get()));
    }
    EXPECT_EQ(xmlOf(root.get()), xmlOf(loaded.get()));

    // At the root, the declaration is compressed too.
    const std::string whole = xmlOf(root.get());
    ASSERT_EQ(root->CompressSubtree(), S_OK);
    EXPECT_EQ(storedBytes(rawContent(root.get())), whole);
    EXPECT_EQ(whole.rfind("<?xml", 0), 0u);
}

// Every test document of the repository, and a chain a million elements deep.
TEST_F(Compression, SubtreeRoundTrips) {
    std::vector<std::string> texts;
    for (const char* dir : {"fuzz/seeds/parse", "fuzz/seeds/convert_parse"}) {
        for (const auto& entry : fs::directory_iterator(fs::path(QV_SOURCE_DIR) / dir)) texts.push_back(readFile(entry.path()));
    }
    texts.push_back(readFile("/usr/share/mime/packages/freedesktop.org.xml"));
    std::string chain;
    for (int i = 0; i < 1000000; ++i) chain += "<a>";
    chain += "deep";
    for (int i = 0; i < 1000000; ++i) chain += "</a>";
    texts.push_back(std::move(chain));
    size_t done = 0;
    for (const std::string& text : texts) {
        auto h = newHandle();
        DataBuffer bytes;
        bytes.append(text.data(), static_cast<uint32_t>(text.size()));
        VariantHolder v;
        bytes.toVariant(v.get());
        LONG ok = 0;
        if (h->LoadXmlV(*v.get(), &ok) != S_OK || !ok) continue;  // the seeds include broken documents
        const std::string before = xmlOf(h.get());
        const LONG cdata = getLong(h.get(), &IQuorvelXml::get_Cdata);
        ASSERT_EQ(h->CompressSubtree(), S_OK);
        ASSERT_EQ(h->DecompressSubtree(), S_OK);
        ASSERT_EQ(h->put_Cdata(cdata), S_OK);
        EXPECT_EQ(xmlOf(h.get()), before) << text.substr(0, 60);
        ++done;
    }
    EXPECT_GE(done, texts.size() - 2);  // all but the two broken seeds
}

}  // namespace
}  // namespace quorvel::test
