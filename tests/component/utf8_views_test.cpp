// IQuorvelXml2's UTF-8 views, through the C++ layer and raw: every text of every document reads
// exactly as the owning member's host string does, in every encoding the loading tests use, on
// real files and on bytes that are not UTF-8; views outlive moves and other nodes' edits; the
// members fail and log as their owning neighbours do. In sanitizer builds a view used after its
// node changed is reported.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "component_test_support.h"
#include "quorvel/xml.hpp"
#include "scratch_dir.h"
#include "tree/view_copies.h"

namespace quorvel {
namespace {

using namespace test;
using xml::node;
namespace fs = std::filesystem;

// Compares every view of every element under doc with the owning result; the number of texts compared.
size_t compareEveryText(const node& doc, const std::string& what) {
    size_t texts = 0;
    auto check = [&](const node& n) {
        EXPECT_EQ(n.tag(), n.tag_string()) << what;
        EXPECT_EQ(n.content(), n.content_string()) << what;
        for (const auto& a : n.attributes()) {
            EXPECT_EQ(a.name(), n.attribute_name(a.index())) << what;
            EXPECT_EQ(a.value(), n.attribute_value(a.index())) << what;
            EXPECT_EQ(n.attribute(a.name()), n.attribute_string(std::string(a.name()))) << what;
            texts += 3;
        }
        texts += 2;
    };
    check(doc);
    std::vector<xml::child_iterator> stack;
    stack.push_back(doc.children().begin());
    while (!stack.empty()) {
        xml::child_iterator& it = stack.back();
        if (it == std::default_sentinel) {
            stack.pop_back();
            continue;
        }
        check(*it);
        xml::child_iterator below = it->children().begin();
        ++it;
        stack.push_back(std::move(below));
    }
    return texts;
}

node loadedBytes(const std::string& bytes) {
    node doc = xml::create();
    EXPECT_TRUE(doc.load(std::as_bytes(std::span(bytes.data(), bytes.size()))));
    return doc;
}

class Utf8Views : public ::testing::Test, protected ScratchDir {};

TEST_F(Utf8Views, EveryTextOfEveryDocumentReadsAsItsHostString) {
    const std::string smile = "\xF0\x9F\x98\x80";
    // The loading tests' documents in their own encodings, and bytes that are not UTF-8 at all
    // (kept as they are by the parser, shown repaired).
    std::vector<std::pair<std::string, std::string>> documents = {
        {"utf-8 with a mark", "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>\xC3\xA9</r>"},
        {"entities and CDATA", "<!DOCTYPE doc>\n<doc a=\"caf\xC3\xA9 &amp; &#x1F600;\"><t>x" + smile +
                                   "</t><u>&amp;&lt;" + smile + "</u><v><![CDATA[<\xE6\x97\xA5>]]></v></doc>"},
        {"not utf-8", "<r k\xFF=\"\xC3(\xE0\x80\" ok=\"\xED\xA0\x80\">\xF5\xC1 \xE6\x97<c\xC0\xAF>\x80</c\xC0\xAF></r>"},
    };
    for (const EncodedDocument& d : encodedDocuments()) documents.emplace_back(d.what, d.bytes);
    size_t texts = 0;
    for (const auto& [what, bytes] : documents) texts += compareEveryText(loadedBytes(bytes), what);

    // Saved in each declared encoding and read back, as the loading tests do.
    for (const char* encoding : {"ISO-8859-1", "Shift_JIS", "UTF-8", "windows-1252"}) {
        node doc = xml::parse("<doc a=\"caf\xC3\xA9\"><t>\xE6\x97\xA5\xE6\x9C\xAC \xEF\xBD\xB1 caf\xC3\xA9</t></doc>");
        doc.set_encoding(encoding);
        const std::string file = path(std::string(encoding) + ".xml");
        doc.save_file(file);
        node again = xml::create();
        ASSERT_TRUE(again.load_file(file)) << encoding;
        texts += compareEveryText(again, encoding);
    }
    // Real documents, large and varied.
    for (const char* file : {"/usr/share/mime/packages/freedesktop.org.xml", "/usr/share/xml/iso-codes/iso_639-3.xml"}) {
        if (!fs::exists(file)) continue;
        node doc = xml::create();
        ASSERT_TRUE(doc.load_file(file)) << file;
        texts += compareEveryText(doc, file);
    }
    // Contents set by the host (a lone surrogate becomes U+FFFD), and bytes decryption leaves.
    node doc = xml::parse("<r><a/><b/></r>");
    BstrHolder lone = BstrHolder::copyOf(std::u16string(u"x\xD800y"));
    ASSERT_EQ(doc.child(0).get()->put_Content(lone.get()), S_OK);
    setRawContent(doc.child(1).get(), std::string("\x00\xFF\x7F\xC2", 4));
    texts += compareEveryText(doc, "set contents");
    EXPECT_GT(texts, 1000u);
}

TEST(Utf8ViewsRaw, FailuresAndTheLogAreTheOwningMembers) {
    ComPtr<IQuorvelXml> h = parsed("<r k=\"v\" k=\"w\" e=\"\">text</r>");
    auto* x = static_cast<IQuorvelXml2*>(h.get());
    Utf8View name{"stale", 5}, value{"stale", 5};
    LONG found = -1;

    // Finding nothing is no failure; an index outside the attributes is, as for GetAttributeName.
    EXPECT_EQ(x->FindAttributeUtf8("k", 1, &value, &found), S_OK);
    EXPECT_EQ(std::string_view(value.data, value.size), "v");
    EXPECT_EQ(found, 1);
    for (std::string_view missing : {" k", "k ", "K", "", "kk"}) {
        EXPECT_EQ(x->FindAttributeUtf8(missing.data(), missing.size(), &value, &found), S_OK) << missing;
        EXPECT_EQ(found, 0) << missing;
        EXPECT_EQ(value.size, 0u) << missing;
    }
    EXPECT_EQ(x->FindAttributeUtf8("e", 1, &value, &found), S_OK);
    EXPECT_EQ(found, 1);  // an empty value is found
    EXPECT_EQ(x->FindAttributeUtf8(nullptr, 0, &value, &found), S_OK);
    EXPECT_EQ(found, 0);

    BSTR ignored = nullptr;
    expectFailure(h.get(), h->GetAttributeName(3, &ignored), "(GetAttributeName)\nNo attribute at this index\nindex: 3");
    expectFailure(h.get(), x->GetAttributeUtf8(3, &name, &value), "(GetAttributeUtf8)\nNo attribute at this index\nindex: 3");
    EXPECT_EQ(name.size + value.size, 0u);
    expectFailure(h.get(), x->GetAttributeUtf8(-1, &name, nullptr), "(GetAttributeUtf8)\nNo attribute at this index\nindex: -1");
    expectFailure(h.get(), x->GetTagUtf8(nullptr), "(GetTagUtf8)\nParameter is NULL");
    expectFailure(h.get(), x->GetContentUtf8(nullptr), "(GetContentUtf8)\nParameter is NULL");
    expectFailure(h.get(), x->FindAttributeUtf8(nullptr, 1, &value, &found), "(FindAttributeUtf8)\nParameter is NULL");
    expectFailure(h.get(), x->FindAttributeUtf8("k", 1, nullptr, &found), "(FindAttributeUtf8)\nParameter is NULL");

    // A successful view leaves the log of the last failure as it was, as get_Tag does.
    const std::string log = errorLogXml(h.get());
    ASSERT_NE(log.find("FindAttributeUtf8"), std::string::npos);
    EXPECT_EQ(x->GetTagUtf8(&name), S_OK);
    EXPECT_EQ(x->GetContentUtf8(&value), S_OK);
    EXPECT_EQ(x->GetAttributeUtf8(1, nullptr, &value), S_OK);
    EXPECT_EQ(std::string_view(value.data, value.size), "w");
    EXPECT_EQ(errorLogXml(h.get()), log);
}

TEST(Utf8ViewsRaw, ViewsOutliveMovesAndOtherNodesEdits) {
    node doc = xml::parse("<r><a k=\"\xFF\">one\xFF</a><b>two</b></r>");
    node a = doc.child(0), b = doc.child(1);
    const std::string_view tag = a.tag(), content = a.content(), value = a.attribute("k");
    node cursor = a;  // the same handle object: moving it moves a too
    ASSERT_TRUE(cursor.move_to_next_sibling());
    b.set_content("changed");
    b.add_attribute("n", "\xFE");
    EXPECT_EQ(b.attribute("n"), "\xEF\xBF\xBD");
    node again = doc.child(0);
    EXPECT_EQ(tag, "a");
    EXPECT_EQ(content, "one\xEF\xBF\xBD");
    EXPECT_EQ(value, "\xEF\xBF\xBD");
    // Asked again, an unchanged text is where it was.
    EXPECT_EQ(again.content().data(), content.data());
    EXPECT_EQ(again.attribute("k").data(), value.data());
    // A changed one shows the change; a detached node's views go with it.
    again.set_content("new\xFF");
    EXPECT_EQ(again.content(), "new\xEF\xBF\xBD");
    const std::string_view kept = again.content();
    node detached = doc.extract_child(0);
    doc = node();
    EXPECT_EQ(kept, "new\xEF\xBF\xBD");
    EXPECT_EQ(detached.content().data(), kept.data());
}

#if QV_VIEW_COPIES
// Only sanitizer builds give each view a copy of its own that the node's change frees, so that
// a read through a view kept past the change is a use after free the sanitizer reports.
TEST(Utf8ViewsDeathTest, AViewUsedAfterItsNodeChangedIsReported) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const node doc = xml::parse("<r k=\"v\">text</r>");
    auto read = [](std::string_view v) { std::fprintf(stderr, "%s\n", std::string(v).c_str()); };
    const std::string_view tag = doc.tag(), content = doc.content(), value = doc.attribute("k");
    EXPECT_DEATH((doc.set_tag("s"), read(tag)), "heap-use-after-free");
    EXPECT_DEATH((doc.set_content("other"), read(content)), "heap-use-after-free");
    EXPECT_DEATH((doc.update_attribute("k", "w"), read(value)), "heap-use-after-free");
    EXPECT_DEATH((doc.add_attribute("j", "x"), read(value)), "heap-use-after-free");
    // Moving a handle or changing another node is no change of this one.
    node other = doc.new_child("c", "x");
    other.set_content("y");
    node moving = doc;  // the same handle object: doc moves with it, and back
    ASSERT_TRUE(moving.move_to_first_child());
    ASSERT_TRUE(moving.move_to_parent());
    read(tag);
    read(content);
    read(value);
}
#endif

}  // namespace
}  // namespace quorvel
