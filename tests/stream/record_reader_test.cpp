// The record reader against a whole load of the same bytes: the records equal the elements the
// load builds, in every encoding and however the input is cut into reads; ranges of a file
// together yield each record once; bad input fails cleanly after the records before it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "scratch_dir.h"
#include "stream_test_support.h"

namespace quorvel {
namespace {

using namespace test;

const char* const kFreedesktop = "/usr/share/mime/packages/freedesktop.org.xml";

// A document with every construct the grammar treats specially, with `text` in it: records in
// comments ("<!-->" among them), CDATA sections, instructions and the DOCTYPE, quoted '>', nested and prefixed records.
std::string trickyDocument(const std::string& encoding, const std::string& text) {
    return "<?xml version=\"1.0\" encoding=\"" + encoding + "\"?>\n"
           "<!DOCTYPE lib [ <!ELEMENT lib ANY> <!-- <rec> in a comment --> ]>\n"
           "<!-- <rec>not a record</rec> -->\n"
           "<lib xmlns=\"urn:lib\" xmlns:x=\"urn:x\" title=\"T &amp; &quot;q&quot;\">\n"
           "  <rec id=\"1\" note=\"a>b\">" + text + " &lt;tag&gt;</rec>\n"
           "  <rec id='2'/>\n"
           "  <rec id=3 x:flag>  lead <b>bold</b> <![CDATA[<rec>in cdata " + text + "</rec>]]> after </rec>\n"
           "  <?pi <rec> ?>\n"
           "  <shelf><rec id=\"4\"><rec id=\"4.1\">nested</rec></rec></shelf>\n"
           "  <rec id=\"5\"><!-- c --><![CDATA[x]]><x:rec>prefixed</x:rec>t<![CDATA[<rec>]]></rec>\n"
           "  <x:rec id=\"6\">in x " + text + "</x:rec>\n"
           "  <rec id=\"7\"   / >< rec id=\"7.5\">white after the bracket</rec>\n"
           "  <rec id=\"8\">&amp;amp; " + text + "<empty/><![CDATA[" + text + "]]></rec >\n"
           "  <!--><rec id=\"9\">after comments closed at once</rec><!--->\n"
           "  <rec b=c/>open after all</rec><rec>end tag cut short</rec<rec>next</rec>\n"
           "</lib>\n";
}

std::string encode(const std::string& utf8, const char* iconvName) {
    std::string out;
    if (!iconvConvert(iconvName, "UTF-8", utf8, out)) throw std::runtime_error(iconvName);
    return out;
}

struct EncodedCase {
    const char* declared;
    const char* iconvName;  // null: UTF-8 as it is
    std::string mark;
    std::string text;
};

std::vector<EncodedCase> encodedCases() {
    return {
        {"UTF-8", nullptr, "", "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80"},
        {"ISO-8859-1", "ISO-8859-1", "", "caf\xC3\xA9 \xC3\x9F \xC3\xBF"},
        {"windows-1251", "CP1251", "", "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"},
        // Trail bytes 0x5C and 0x7C among them: a cut between the bytes of one would show.
        {"Shift_JIS", "CP932", "", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE8\xA1\xA8 \xE3\x82\xBD \xEF\xBD\xB1"},
        {"GBK", "GBK", "", "\xE4\xB8\xAD\xE6\x96\x87 \xE6\x95\xB0\xE6\x8D\xAE \xE7\x97\x85"},
        // Shift states: converted from a LF where the text is back in ASCII.
        {"ISO-2022-JP", "ISO-2022-JP", "", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xE8\xA1\xA8 \xE3\x82\xBD"},
        {"utf-16", "UTF-16LE", "\xFF\xFE", "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80"},
        {"unicodeFFFE", "UTF-16BE", "\xFE\xFF", "caf\xC3\xA9 \xE6\x97\xA5 \xF0\x9F\x98\x80"},
    };
}

std::string encodedDocument(const EncodedCase& c, const std::string& utf8) {
    return c.iconvName ? c.mark + encode(utf8, c.iconvName) : utf8;
}

TEST(RecordReader, RecordsEqualTheWholeLoadsElementsInEveryEncodingAndPieceSize) {
    for (const EncodedCase& c : encodedCases()) {
        const std::string bytes = encodedDocument(c, trickyDocument(c.declared, c.text));
        for (const char* p : {"//rec", "/lib/rec", "//b", "/lib/shelf", "//x:rec", "/lib"}) {
            const RecordPath path = pathOf(p);
            const std::vector<std::string> expected = wholeLoadRecords(bytes, path);
            ASSERT_FALSE(expected.empty()) << c.declared << " " << p;
            for (size_t piece : {size_t{1}, size_t{7}, size_t{4096}}) {
                const ReadResult r = readAll(pieces(bytes, piece), path);
                EXPECT_FALSE(r.failed) << c.declared << " " << p << " " << piece;
                EXPECT_EQ(r.records, expected) << c.declared << " " << p << " pieces of " << piece;
            }
        }
    }
    // A line feed inside a shifted run is no place to start converting anew.
    const std::string shifted = "<?xml version=\"1.0\" encoding=\"ISO-2022-JP\"?>\n<r><a>\x1B$BF|\nK\\\x1B(B</a>\n<a>x</a></r>";
    const std::vector<std::string> wholeShifted = wholeLoadRecords(shifted, pathOf("//a"));
    EXPECT_EQ(wholeShifted.size(), 2u);
    for (size_t piece : {size_t{1}, size_t{7}, size_t{4096}}) {
        const ReadResult r = readAll(pieces(shifted, piece), pathOf("//a"));
        if (!wholeShifted.empty()) {
            EXPECT_EQ(r.records, wholeShifted) << piece;
        }
    }

    // The document's own text: a record holds its text in UTF-8, whatever the document's encoding.
    const EncodedCase sjis = encodedCases()[3];
    ASSERT_EQ(std::string(sjis.declared), "Shift_JIS");
    const ReadResult r = readAll(pieces(encodedDocument(sjis, trickyDocument(sjis.declared, sjis.text)), 5),
                                 pathOf("//rec"));
    ASSERT_GE(r.records.size(), 2u);
    EXPECT_NE(r.records[0].find(sjis.text), std::string::npos) << r.records[0];
    EXPECT_EQ(r.paths[0], "/lib");
}

TEST(RecordReader, GrammarCornersMatchTheWholeLoad) {
    // Each text is read as //a and compared with the whole load's a elements.
    const std::vector<std::string> docs = {
        "<r><a>x</a><![CDATA[<a>no</a>]]><a>y</a></r>",
        "<r>t<![CDATA[<a>]]><a>z</a></r>",                 // a section after text is skipped to its first '>'
        "<r><?pi unclosed <a>q</a></r>",                    // no "?>" anywhere: read on as text after "<?"
        "<r><?pi ?><a>q</a><?PI?><?xml version='1.0'?><a>w</a></r>",
        "<r>< a>1</a></r>",
        "<r><a x='>'>v</a></r>",
        "<r><a/><a / ><a b=c/>d</a><a b='c'/>e</r>",
        "<r><!DOCTYPE x [<a>]><a>k</a></r>",
        "<r><a>1</a<a>2</a></r>",
        "<r><A>1</A><a>2</a><a:a>3</a:a></r>",
        "<r><a><a>in</a></a><b><a>deep</a></b></r>",
        "<r>\r\n\t<a\r\n x\r\n =\r\n \"1\"\r\n/\r\n>\t<a>\t</a></r>",
        "<r><a>&lt;&amp;&gt;&quot;&apos;</a><a>one</a><!-- x -->two<a>t</a></r>",
        "<r><!--unclosed <a>x</a></r>",
        "<r><a>1</a><!DOCTYPE unbalanced <a>2</a></r>",
        "<r><a>x<![CDATA[unclosed</a></r>",
        "<r><a>1</a><!></r>",
        "<r></><a>after</a></r>",
        "text before<r><a>ok</a></r>trailing",
    };
    const RecordPath path = pathOf("//a");
    // Top-level elements after the first are records too, where a whole load keeps the last.
    EXPECT_EQ(readAll(pieces("<r><a>1</a></r><a>top</a>", 2), path).records,
              (std::vector<std::string>{"<a>1</a>\n", "<a>top</a>\n"}));
    for (const std::string& doc : docs) {
        const std::vector<std::string> expected = wholeLoadRecords(doc, path);
        for (size_t piece : {size_t{1}, size_t{3}, size_t{4096}}) {
            const ReadResult r = readAll(pieces(doc, piece), path);
            EXPECT_FALSE(r.failed) << doc;
            EXPECT_EQ(r.records, expected) << doc << " pieces of " << piece;
        }
    }
}

// The encoded and real documents the conversion and parser fuzzers start from: every element name
// among each one's first elements, as //name, against the whole load.
TEST(RecordReader, EncodingCorpusRecordsEqualTheWholeLoad) {
    int compared = 0, skipped = 0;
    for (const char* dir : {"convert_parse", "parse"}) {
        for (const auto& entry : std::filesystem::directory_iterator(std::string(QV_SOURCE_DIR) + "/fuzz/seeds/" + dir)) {
            const std::string bytes = slurp(entry.path());
            DataBuffer buffer;
            buffer.append(bytes.data(), static_cast<uint32_t>(bytes.size()));
            if (!convertToUtf8(&buffer, nullptr)) continue;
            TreePtr root(parse(buffer, nullptr, nullptr));
            if (!root) continue;
            // A whole load keeps only the last top-level element, and finishes a cut one: compared
            // where the reader reads the root element whole as the only one.
            const ReadResult top = readAll(pieces(bytes, 4096), pathOf("/" + std::string(root->tagView())));
            if (top.failed || top.records != wholeLoadRecords(bytes, pathOf("/" + std::string(root->tagView())))) {
                ++skipped;
                continue;
            }
            std::vector<std::string> names;
            std::vector<const TreeNode*> stack{root.get()};
            while (!stack.empty() && names.size() < 3) {
                const TreeNode* n = stack.back();
                stack.pop_back();
                const std::string tag(n->tagView());
                RecordPath probe;
                std::string message;
                if (probe.parse("//" + tag, {}, message) && std::find(names.begin(), names.end(), tag) == names.end())
                    names.push_back(tag);
                for (const TreeNode* c = n->firstChild(); c; c = c->nextSibling()) stack.push_back(c);
            }
            for (const std::string& name : names) {
                const RecordPath path = pathOf("//" + name);
                const std::vector<std::string> expected = wholeLoadRecords(bytes, path);
                for (size_t piece : {size_t{1}, size_t{7}, size_t{4096}}) {
                    const ReadResult r = readAll(pieces(bytes, piece), path);
                    EXPECT_FALSE(r.failed) << entry.path() << " //" << name;
                    EXPECT_EQ(r.records, expected) << entry.path() << " //" << name << " pieces of " << piece;
                }
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 100);
    EXPECT_LT(skipped, 5);
}

TEST(RecordReader, FreedesktopRecordsEqualTheWholeLoad) {
    const std::string bytes = slurp(kFreedesktop);
    ASSERT_FALSE(bytes.empty());
    for (const char* p : {"//mime-type", "/mime-info/mime-type", "//glob"}) {
        const RecordPath path = pathOf(p);
        const std::vector<std::string> expected = wholeLoadRecords(bytes, path);
        ASSERT_GT(expected.size(), 500u) << p;
        std::string error;
        const ReadResult r = readAll(FileSource::open(kFreedesktop, error), path);
        EXPECT_FALSE(r.failed);
        EXPECT_EQ(r.records, expected) << p;
        EXPECT_EQ(r.paths[0], std::string(p) == "//glob" ? "/mime-info/mime-type" : "/mime-info");
        EXPECT_EQ(readAll(pieces(bytes, 7), path).records, expected) << p;
    }
}

TEST(RecordReader, NamespacesAndAncestors) {
    const std::string doc =
        "<lib xmlns='urn:lib' xmlns:x='urn:x' title='T &amp; &quot;q&quot;'><x:rec>1</x:rec>"
        "<y:rec xmlns:y='urn:x'>2</y:rec><rec>3</rec><shelf xmlns:x='urn:other'><x:rec>4</x:rec></shelf></lib>";
    auto contents = [&](const std::string& p, const RecordPath::Bindings& b) {
        RecordReader reader(pieces(doc, 3), pathOf(p, b), {});
        std::string out;
        while (TreePtr rec{reader.next(nullptr, nullptr)}) out += std::string(rec->contentView());
        return out;
    };
    EXPECT_EQ(contents("//n:rec", {{"n", "urn:x"}}), "12");   // by namespace, whatever the prefix
    EXPECT_EQ(contents("//rec", {{"", "urn:lib"}}), "3");      // the default namespace
    EXPECT_EQ(contents("/l:lib/l:shelf/o:rec", {{"l", "urn:lib"}, {"o", "urn:other"}}), "4");
    EXPECT_EQ(contents("//x:rec", {}), "14");                   // unbound: the tag as written

    // The ancestors: their path, and childless copies with their attributes decoded.
    RecordReader reader(pieces(doc, 2), pathOf("//x:rec"), {});
    TreePtr first{reader.next(nullptr, nullptr)};
    TreePtr second{reader.next(nullptr, nullptr)};
    ASSERT_TRUE(first && second);
    EXPECT_EQ(reader.ancestry()->path(), "/lib/shelf");
    TreePtr root{reader.ancestry()->copy(0)};
    ASSERT_TRUE(root);
    EXPECT_EQ(dump(root.get()), "lib xmlns='urn:lib' xmlns:x='urn:x' title='T & \"q\"'");
    EXPECT_EQ(dump(TreePtr{reader.ancestry()->copy(1)}.get()), "shelf xmlns:x='urn:other'");
    EXPECT_EQ(reader.ancestry()->copy(2), nullptr);

    std::string message;
    RecordPath bad;
    for (const char* p : {"rec", "/", "//", "//a/b", "/a//b", "/a[1]", "//*", "/a/@b"}) {
        EXPECT_FALSE(bad.parse(p, {}, message)) << p;
    }
}

TEST(RecordReader, BadInputFailsAfterTheRecordsBeforeIt) {
    // Cut inside the third record: two records, then a failure saying where.
    const std::string doc = "<r><a>1</a><a x='2'/><a>3<b>";
    for (size_t piece : {size_t{1}, size_t{4096}}) {
        const ReadResult r = readAll(pieces(doc, piece), pathOf("//a"));
        EXPECT_EQ(r.records.size(), 2u);
        EXPECT_TRUE(r.failed);
        ASSERT_FALSE(r.log.empty());
        EXPECT_EQ(r.log[0], "E:The document ends inside a record");
        EXPECT_NE(std::find(r.log.begin(), r.log.end(), "D:record_number=3"), r.log.end());
        EXPECT_NE(std::find(r.log.begin(), r.log.end(), "D:text_offset=21"), r.log.end());
    }
    // Cut inside a record's start tag, or its name.
    EXPECT_TRUE(readAll(pieces("<r><a>1</a><a x='", 4), pathOf("//a")).failed);
    EXPECT_TRUE(readAll(pieces("<r><a>1</a><a", 4), pathOf("//a")).failed);
    EXPECT_FALSE(readAll(pieces("<r><a>1</a><b x='", 4), pathOf("//a")).failed);  // not a record: the document just ends

    // A record over the limit fails; the ones before it come.
    RecordReader::Options small;
    small.sizeLimit = 100;
    const std::string big = "<r><a>1</a><a>" + std::string(5000, 'x') + "</a><a>3</a></r>";
    for (size_t piece : {size_t{1}, size_t{64}, size_t{1 << 20}}) {
        const ReadResult r = readAll(pieces(big, piece), pathOf("//a"), small);
        EXPECT_EQ(r.records.size(), 1u) << piece;
        EXPECT_TRUE(r.failed);
        EXPECT_EQ(r.log.at(0), "E:Record is larger than RecordSizeLimit");
    }
    // Failing and misbehaving callbacks.
    int calls = 0;
    const ReadResult failing = readAll(std::make_unique<CallbackSource>([&](void* b, size_t) -> ptrdiff_t {
        // More than the head the reader looks at first, then a failure.
        if (calls++) return -1;
        std::memset(b, ' ', 70000);
        std::memcpy(b, "<r><a>1</a>", 11);
        return 70000;
    }), pathOf("//a"));
    EXPECT_EQ(failing.records.size(), 1u);
    EXPECT_TRUE(failing.failed);
    EXPECT_EQ(failing.log.at(0), "E:Failed to read the input");
    const ReadResult greedy =
        readAll(std::make_unique<CallbackSource>([](void*, size_t n) -> ptrdiff_t { return static_cast<ptrdiff_t>(n + 1); }),
                pathOf("//a"));
    EXPECT_TRUE(greedy.failed);
    // Bytes that do not convert, and a 0 byte, which ends the text as in a whole load.
    EXPECT_TRUE(readAll(pieces("<?xml version='1.0' encoding=\"Shift_JIS\"?><r><a>1</a><a>\x82</a></r>", 4096),
                        pathOf("//a")).failed);
    const ReadResult zero = readAll(pieces(std::string("<r><a>1</a><a>2</a>\0<a>3</a></r>", 31), 4), pathOf("//a"));
    EXPECT_EQ(zero.records.size(), 2u);
    EXPECT_FALSE(zero.failed);
}

class RecordRanges : public ::testing::Test, protected ScratchDir {};

// Reads the file in the ranges between sorted cut points; every record of all ranges, in order.
std::vector<std::string> readInRanges(const std::string& file, const RecordPath& path, std::vector<uint64_t> cuts) {
    std::vector<std::string> all;
    for (size_t k = 0; k + 1 < cuts.size(); ++k) {
        RecordReader::Options o;
        o.ranged = true;
        o.start = cuts[k];
        o.end = cuts[k + 1];
        std::string error;
        ReadResult r = readAll(FileSource::open(file, error), path, o);
        EXPECT_FALSE(r.failed) << cuts[k] << ".." << cuts[k + 1];
        all.insert(all.end(), r.records.begin(), r.records.end());
    }
    return all;
}

TEST_F(RecordRanges, RangesTogetherYieldEveryRecordOnce) {
    std::mt19937_64 random(20261207);
    // The freedesktop file, and a generated document of many records in encodings that cut differently.
    std::vector<std::pair<std::string, std::string>> files = {{kFreedesktop, "//mime-type"}};
    for (const EncodedCase& c : encodedCases()) {
        std::string utf8 = std::string("<?xml version=\"1.0\" encoding=\"") + c.declared + "\"?>\n<!-- head -->\n<db a='1'>\n";
        for (int i = 0; i < 1500; ++i) {
            utf8 += " <rec n=\"" + std::to_string(i) + "\">" + c.text + (i % 3 ? "<sub>" + c.text + "</sub>" : "") +
                    "</rec>" + (i % 7 ? "\n" : "");
        }
        utf8 += "</db>\n";
        const std::string name = path(std::string(c.declared) + ".xml");
        spill(name, encodedDocument(c, utf8));
        files.push_back({name, "/db/rec"});
    }
    for (const auto& [file, p] : files) {
        const RecordPath path = pathOf(p);
        std::string error;
        const std::vector<std::string> whole = readAll(FileSource::open(file, error), path).records;
        const uint64_t size = std::filesystem::file_size(file);
        ASSERT_GT(whole.size(), 500u) << file;
        EXPECT_EQ(whole, wholeLoadRecords(slurp(file), path)) << file;
        std::vector<uint64_t> cuts = {0, size};
        const int count = file == kFreedesktop ? 300 : 60;
        for (int i = 0; i < count; ++i) cuts.push_back(random() % (size + 1));
        // A few cuts exactly at record starts, and one past the end.
        for (uint64_t at = slurp(file).find("<rec n=\"7\""), k = 0; at != std::string::npos && k < 3; ++k) {
            cuts.push_back(at + k);
        }
        cuts.push_back(size + 100);
        std::sort(cuts.begin(), cuts.end());
        EXPECT_EQ(readInRanges(file, path, cuts), whole) << file;
    }
}

}  // namespace
}  // namespace quorvel
