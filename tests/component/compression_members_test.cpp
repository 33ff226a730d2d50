// The compression members: the stored form against zlib and the base64 tool, what they leave alone
// and log, the subtree's removal and return. Streams, settings and bad streams are the content
// tests' (DeflateEngine, InflateState2); what serializing and parsing keep is tests/xml's RoundTrip.
#include <gtest/gtest.h>

#include "component_test_support.h"
#include "content/content_test_support.h"
#include "scratch_dir.h"

namespace quorvel::test {
namespace {

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

// Content that is no stream of something leaves it as it was and logs nothing.
TEST_F(Compression, BadContentIsLeftAlone) {
    auto h = newHandle();
    const std::string good = storedForm(zlibDeflate("some text that compresses, some text"));
    const std::string cases[] = {
        "plain text, not base64 of anything",
        "====",                           // base64 of no bytes
        good.substr(0, good.size() / 2),  // truncated stream
        storedForm(zlibDeflate("")),       // a whole stream of nothing
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

// A chain a million elements deep goes and comes back.
TEST_F(Compression, DeepSubtreeRoundTrips) {
    std::string chain;
    for (int i = 0; i < 1000000; ++i) chain += "<a>";
    chain += "deep";
    for (int i = 0; i < 1000000; ++i) chain += "</a>";
    auto h = newHandle();
    LONG ok = 0;
    ASSERT_EQ(h->LoadXmlV(*bytesVariant(chain).get(), &ok), S_OK);
    ASSERT_EQ(ok, 1);
    const std::string before = xmlOf(h.get());
    ASSERT_EQ(h->CompressSubtree(), S_OK);
    EXPECT_EQ(nodeOf(h.get())->childCount(), 0);
    ASSERT_EQ(h->DecompressSubtree(), S_OK);
    ASSERT_EQ(h->put_Cdata(0), S_OK);
    EXPECT_EQ(xmlOf(h.get()), before);
}

}  // namespace
}  // namespace quorvel::test
