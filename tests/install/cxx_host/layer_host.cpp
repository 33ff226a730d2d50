// A C++ host of quorvel/xml.hpp built without exceptions, as some hosts are: every call takes a
// status, and everything it held is released at the end.
#include <cstdio>
#include <string>

#include "quorvel/xml.hpp"

namespace xml = quorvel::xml;

namespace {

int fail(const char* what, const xml::status& s) {
    std::fprintf(stderr, "layer_host: %s (0x%08X) %s\n", what, static_cast<unsigned>(s.code), s.description.c_str());
    return 1;
}

}  // namespace

int main() {
    xml::status s;
    {
        xml::node doc = xml::parse(R"(<catalog><book id="b1">One</book><book id="b2">Two</book></catalog>)", s);
        if (!s.ok() || !doc) return fail("parse", s);
        std::string ids;
        for (const xml::node& book : doc.children()) ids += std::string(book.attribute("id", s)) + std::string(book.content(s));
        if (ids != "b1Oneb2Two") return fail("children", s);
        if (doc.child(5, s) || s.code != quorvel::E_FAIL || s.source != "QuorvelXml.QuorvelXml" ||
            s.description != "(GetChild)\nNo child at this index\nindex: 5")
            return fail("GetChild(5)", s);
        doc.new_child("book", "Thr\xC3\xA9" "e", s).add_attribute("id", "b3", s);
        if (!s.ok() || doc.search_content("book", "Thr*").begin()->attribute("id") != "b3") return fail("search", s);
    }
    if (::DllCanUnloadNow() != quorvel::S_OK) return fail("objects left", s);
    std::puts("layer_host: ok");
    return 0;
}
