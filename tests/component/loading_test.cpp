// Loading documents from byte arrays and files in their own encodings, and saving them back in
// the declared one; the saved bytes are checked with Python's codecs, a decoder of its own. How
// marks and declarations convert is ConvertToUtf8's; every code page's repertoire is tests/charset's.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "component_test_support.h"
#include "core/automation/variant_holder.h"
#include "xml/document_encoding.h"
#include "scratch_dir.h"

namespace quorvel {
namespace {

using namespace test;
namespace fs = std::filesystem;

// The declared encoding, or "(none)".
std::string encodingOf(IQuorvelXml* h) {
    StringBuffer out;
    return getEncoding(nodeOf(h)->tree(), out) ? std::string(out.view()) : "(none)";
}

// Decodes each file with Python's codec of that name into file.decoded as UTF-8, all in one run
// (Python is slow to start). False when any fails.
bool pythonDecode(const std::vector<std::pair<std::string, std::string>>& jobs) {
    std::string cmd = "python3 -c \"import sys\na=sys.argv[1:]\nfor i in range(0,len(a),2): "
                      "open(a[i]+'.decoded','wb').write(open(a[i],'rb').read().decode(a[i+1]).encode())\"";
    for (const auto& [file, codec] : jobs) cmd += " '" + file + "' " + codec;
    return std::system(cmd.c_str()) == 0;
}

HRESULT loadBytes(IQuorvelXml* h, const std::string& bytes, LONG* flag) { return h->LoadXmlV(*bytesVariant(bytes).get(), flag); }

HRESULT loadFile(IQuorvelXml* h, const fs::path& p, LONG* flag) {
    return h->LoadXmlFile(bstr(p.string()).get(), flag);
}

class Loading : public ::testing::Test, protected ScratchDir {};

TEST_F(Loading, FilesInTheirOwnEncodings) {
    for (const EncodedDocument& c : encodedDocuments()) {
        spill(dir / "doc.xml", c.bytes);
        ComPtr<IQuorvelXml> h = newHandle();
        LONG flag = -1;
        ASSERT_EQ(loadFile(h.get(), dir / "doc.xml", &flag), S_OK) << c.what;
        ASSERT_EQ(flag, 1) << c.what;
        EXPECT_EQ(nodeOf(h.get())->contentView(), c.content) << c.what;
        EXPECT_EQ(encodingOf(h.get()), c.encoding) << c.what;
    }
}

TEST_F(Loading, ByteArraysAndStringVariants) {
    ComPtr<IQuorvelXml> h = newHandle();
    LONG flag = -1;
    ASSERT_EQ(loadBytes(h.get(), "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><r><c>\xE9</c></r>", &flag), S_OK);
    EXPECT_EQ(flag, 1);
    EXPECT_EQ(nodeOf(h.get())->firstChild()->contentView(), "\xC3\xA9");
    EXPECT_EQ(encodingOf(h.get()), "iso-8859-1");  // left as declared
    // UTF-8 already, with a mark and a declaration: read where the array lies.
    ASSERT_EQ(loadBytes(h.get(), "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>\xC3\xA9</r>", &flag), S_OK);
    EXPECT_EQ(nodeOf(h.get())->contentView(), "\xC3\xA9");
    EXPECT_EQ(encodingOf(h.get()), "UTF-8");

    // A plain string variant reads as bytes that stop at the first zero: no element.
    VariantHolder v;
    v->vt = VT_BSTR;
    v->bstrVal = SysAllocString(u"<a>x</a>");
    EXPECT_EQ(h->LoadXmlV(*v.get(), &flag), E_FAIL);
    EXPECT_EQ(flag, 0);
    const ErrorRecord e = takeErrorInfo();
    EXPECT_NE(e.description.find("Failed to parse XML data (5)"), std::string::npos) << e.description;
}

TEST_F(Loading, MissingAndUnusableFiles) {
    ComPtr<IQuorvelXml> h = newHandle();
    LONG flag = -1;
    const fs::path missing = dir / "missing.xml";
    ASSERT_EQ(loadFile(h.get(), missing, &flag), S_OK);  // not a failure toward the host
    EXPECT_EQ(flag, 0);
    std::string log = errorLogXml(h.get());
    // Both attempts read and fail; the 8-bit one names the file and the current directory.
    size_t first = log.find("No such file or directory");
    ASSERT_NE(first, std::string::npos) << log;
    EXPECT_NE(log.find("No such file or directory", first + 1), std::string::npos) << log;
    EXPECT_NE(log.find("current_dir"), std::string::npos) << log;
    EXPECT_NE(log.find("Failed to parse file"), std::string::npos) << log;
    EXPECT_NE(log.find("<filename>" + missing.string() + "</filename>"), std::string::npos) << log;

    // None of these gives a tree, and none breaks anything; damaged text is tabled in tests/xml.
    spill(dir / "mark.xml", "\xFF\xFE");
    fs::create_directory(dir / "adir");
    for (const char* name : {"mark.xml", "adir"}) {
        flag = -1;
        EXPECT_EQ(loadFile(h.get(), dir / name, &flag), S_OK) << name;
        EXPECT_EQ(flag, 0) << name;
        EXPECT_NE(errorLogXml(h.get()).find("Failed to parse file"), std::string::npos) << name;
    }
}

// Content with a character that the single- and double-byte charsets lack (U+1F600).
const std::string kSmile = "\xF0\x9F\x98\x80";

TEST_F(Loading, SaveWritesTheDeclaredEncoding) {
    struct Case {
        const char* encoding;
        const char* python;  // Python's codec for the same bytes
        std::string text;    // content the charset can represent
        bool lacksSmile;
    };
    const std::vector<Case> cases = {
        {"ISO-8859-1", "latin-1", "caf\xC3\xA9 \xC3\x9F", true},
        {"Shift_JIS", "cp932", "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E \xEF\xBD\xB1", true},
        {"utf-16", "utf-16-le", "caf\xC3\xA9 \xE6\x97\xA5", false},
        {"UTF-8", "utf-8", "caf\xC3\xA9 \xE6\x97\xA5", false},
    };
    std::vector<std::pair<std::string, std::string>> jobs;
    std::vector<std::string> expectations;
    for (const Case& c : cases) {
        const std::string doc = "<!DOCTYPE doc>\n<doc a=\"" + c.text + "\"><t>" + c.text + kSmile + c.text +
                                "</t><u>&amp;" + kSmile + "</u><v><![CDATA[<" + c.text + ">]]></v></doc>";
        ComPtr<IQuorvelXml> h = newHandle();
        LONG flag = 0;
        ASSERT_EQ(loadBytes(h.get(), doc, &flag), S_OK) << c.encoding;
        setEncoding(nodeOf(h.get())->tree(), c.encoding);
        std::string expected = xmlOf(h.get());
        if (c.lacksSmile) {
            for (size_t at; (at = expected.find(kSmile)) != std::string::npos;) expected.erase(at, kSmile.size());
        }
        const fs::path file = dir / (std::string(c.encoding) + ".xml");
        ASSERT_EQ(h->SaveXml(bstr(file.string()).get()), S_OK) << c.encoding;
        const std::string written = slurp(file);
        EXPECT_EQ(written.find("\xEF\xBB\xBF"), std::string::npos);  // no mark added
        EXPECT_NE(written.rfind("\xFF\xFE", 0), 0u);
        // Read back, the file gives the same tree and encoding; UTF-16 without a mark reads as bytes, no element.
        ComPtr<IQuorvelXml> again = newHandle();
        ASSERT_EQ(loadFile(again.get(), file, &flag), S_OK);
        EXPECT_EQ(flag, std::string(c.encoding) == "utf-16" ? 0 : 1) << c.encoding;
        if (flag) {
            EXPECT_EQ(xmlOf(again.get()), expected) << c.encoding;
            EXPECT_EQ(encodingOf(again.get()), c.encoding);
        }
        jobs.push_back({file.string(), c.python});
        expectations.push_back(expected);
    }
    ASSERT_TRUE(pythonDecode(jobs));
    for (size_t i = 0; i < jobs.size(); ++i) {
        EXPECT_EQ(slurp(jobs[i].first + ".decoded"), expectations[i]) << cases[i].encoding;
    }
}

TEST_F(Loading, SaveGivesAnEncodingAndReportsWriteFailures) {
    ComPtr<IQuorvelXml> h = newHandle();
    LONG flag = 0;
    ASSERT_EQ(loadBytes(h.get(), "<r><c>x</c></r>", &flag), S_OK);
    EXPECT_EQ(encodingOf(h.get()), "(none)");  // LoadXml would declare utf-8
    ASSERT_EQ(h->SaveXml(bstr((dir / "a.xml").string()).get()), S_OK);
    EXPECT_EQ(slurp(dir / "a.xml"), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<r><c>x</c>\n</r>\n");
    EXPECT_EQ(encodingOf(h.get()), "utf-8");

    EXPECT_EQ(h->SaveXml(bstr((dir / "no" / "such" / "dir.xml").string()).get()), E_FAIL);
    const ErrorRecord e = takeErrorInfo();
    EXPECT_NE(e.description.find("Failed to open/create file for writing"), std::string::npos) << e.description;
}

}  // namespace
}  // namespace quorvel
