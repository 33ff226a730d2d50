#include <gtest/gtest.h>

#include <filesystem>

#include "component_test_support.h"
#include "content/content_test_support.h"
#include "scratch_dir.h"

namespace quorvel::test {
namespace {

namespace fs = std::filesystem;

// What the stored form of these deflated bytes must be: 54 bytes to a line, the tail on the last.
std::string storedForm(const std::string& deflated) {
    std::string out;
    size_t i = 0;
    for (; i + 54 <= deflated.size(); i += 54) out += opensslBase64(deflated.substr(i, 54)) + "\r\n";
    return out + opensslBase64(deflated.substr(i)) + "\r\n";
}

class Compression : public ::testing::Test, protected ScratchDir {};

// The stored form byte for byte, and back, on one line and on many (line layout and stream
// settings are pinned by the content tests).
TEST_F(Compression, CompressNodeStoresBase64OfRawDeflate) {
    auto h = newHandle();
    for (const std::string& content : {std::string("hello"), mixedBytes(10000000, 4)}) {
        setRawContent(h.get(), content);
        ASSERT_EQ(h->CompressNode(), S_OK);
        EXPECT_EQ(rawContent(h.get()), storedForm(zlibDeflate(content))) << content.size();
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
    auto root = parsed("<?xml version=\"1.0\"?><catalog><book id=\"b1\" lang=\"en\"><title>Rain</title>"
                       "<price>5.95</price></book><book id=\"b2\"/></catalog>");
    auto book = child(root.get(), 0);
    auto title = child(book.get(), 0);  // a handle on a child that CompressSubtree removes
    const std::string bookXml = xmlOf(book.get());
    const LONG treeId = treeIdOf(book.get());

    ASSERT_EQ(book->CompressSubtree(), S_OK);
    EXPECT_EQ(errorLogXml(book.get()), "");
    EXPECT_EQ(nodeOf(book.get())->childCount(), 0);
    EXPECT_EQ(getLong(book.get(), &IQuorvelXml::get_Cdata), 1);
    EXPECT_EQ(tagOf(book.get()), "book");
    EXPECT_EQ(nodeOf(book.get())->attributeCount(), 2);
    EXPECT_EQ(rawContent(book.get()), storedForm(zlibDeflate(bookXml)));
    // The removed child lives on as a tree of its own for the handle on it.
    EXPECT_EQ(tagOf(title.get()), "title");
    EXPECT_EQ(contentOf(title.get()), "Rain");
    EXPECT_NE(treeIdOf(title.get()), treeId);
    EXPECT_EQ(nodeOf(title.get())->parent(), nullptr);

    // The document as a whole: saved and loaded again, with the line breaks, it still decompresses.
    auto loaded = reloaded(root.get(), path("catalog.xml"));
    auto loadedBook = child(loaded.get(), 0);
    for (IQuorvelXml* h : {book.get(), loadedBook.get()}) {
        ASSERT_EQ(h->DecompressSubtree(), S_OK);
        EXPECT_EQ(getLong(h, &IQuorvelXml::get_Cdata), 1);  // the flag stays set
        EXPECT_EQ(h->put_Cdata(0), S_OK);
        EXPECT_EQ(xmlOf(h), bookXml);
        EXPECT_EQ(treeIdOf(h), treeIdOf(h == book.get() ? root.get() : loaded.get()));
    }
    EXPECT_EQ(xmlOf(root.get()), xmlOf(loaded.get()));

    // Decompressing into a node that has children: they go with the parsed root, which a handle on
    // one of them keeps alive, holding the node's former tag and attributes.
    auto price = child(loadedBook.get(), 1);
    setRawContent(loadedBook.get(), storedForm(zlibDeflate("<shelf n=\"1\"><slot/></shelf>")));
    ASSERT_EQ(loadedBook->DecompressSubtree(), S_OK);
    EXPECT_EQ(xmlOf(loadedBook.get()), "<shelf n=\"1\"><slot></slot>\n</shelf>\n");
    ComPtr<IQuorvelXml> formerBook;
    ASSERT_EQ(price->GetParent(formerBook.put()), S_OK);
    EXPECT_EQ(tagOf(formerBook.get()), "book");
    EXPECT_EQ(nodeOf(formerBook.get())->childCount(), 2);
    EXPECT_NE(treeIdOf(price.get()), treeIdOf(loaded.get()));

    // At the root, the declaration is compressed too.
    const std::string whole = xmlOf(root.get());
    ASSERT_EQ(root->CompressSubtree(), S_OK);
    EXPECT_EQ(rawContent(root.get()), storedForm(zlibDeflate(whole)));
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
        LONG ok = 0;
        if (h->LoadXmlV(*bytesVariant(text).get(), &ok) != S_OK || !ok) continue;  // the seeds include broken documents
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
