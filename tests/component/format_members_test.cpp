// GetXmlIndented and SaveXmlIndented through the C++ layer: one element a line with the unit per
// level, the compact form for an empty unit, the file in the declared encoding, failures logged.
#include <gtest/gtest.h>

#include <string>

#include "quorvel/xml.hpp"
#include "scratch_dir.h"

namespace quorvel {
namespace {

namespace xml = quorvel::xml;

TEST(FormatMembers, IndentedTextAndFile) {
    xml::node doc = xml::parse("<?xml version=\"1.0\"?><a k=\"1\"><b>caf\xC3\xA9 &amp; tea</b><c>x<d/></c><e/></a>");
    EXPECT_EQ(doc.xml_indented("  "), "<?xml version=\"1.0\" encoding=\"utf-8\" ?>\n<a k=\"1\">\n"
                                      "  <b>caf\xC3\xA9 &amp; tea</b>\n  <c>x\n    <d></d>\n  </c>\n  <e></e>\n</a>\n");
    EXPECT_EQ(doc.xml_indented(""), doc.xml());
    // A child handle writes no prolog, and starts at its own level.
    const xml::node c = doc.child(1);
    EXPECT_EQ(c.xml_indented("\t"), "<c>x\n\t<d></d>\n</c>\n");

    test::ScratchDir scratch;
    doc.set_encoding("ISO-8859-1");
    doc.save_file_indented(scratch.path("latin1.xml"), "\t");
    EXPECT_EQ(test::slurp(scratch.path("latin1.xml")),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\n<a k=\"1\">\n\t<b>caf\xE9 &amp; tea</b>\n"
              "\t<c>x\n\t\t<d></d>\n\t</c>\n\t<e></e>\n</a>\n");
    // An empty unit writes what SaveXml writes.
    doc.save_file_indented(scratch.path("compact.xml"), "");
    doc.save_file(scratch.path("saved.xml"));
    EXPECT_EQ(test::slurp(scratch.path("compact.xml")), test::slurp(scratch.path("saved.xml")));
    // A tree without declaration gets utf-8, as SaveXml gives it.
    xml::node bare = xml::create();
    bare.save_file_indented(scratch.path("bare.xml"), " ");
    EXPECT_EQ(bare.encoding(), "utf-8");

    xml::status st;
    doc.save_file_indented(scratch.path("missing/dir/x.xml"), "  ", st);
    EXPECT_EQ(st.code, E_FAIL);
    EXPECT_TRUE(st.description.starts_with("(SaveXmlIndented)\n")) << st.description;
    EXPECT_NE(doc.error_log_text().find("Failed to open/create file for writing"), std::string::npos);
}

}  // namespace
}  // namespace quorvel
