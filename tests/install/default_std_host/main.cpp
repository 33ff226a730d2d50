// The README's C++ quick start: parse, walk, search, and a failure read as an exception.
#include <cstdio>

#include "quorvel/xml.hpp"

int main() {
    namespace xml = quorvel::xml;
    xml::node doc = xml::parse("<catalog><book id='bk101'>Rain</book><book id='bk102'>Snow</book></catalog>");
    std::string seen;
    for (const xml::node& book : doc.children()) seen += std::string(book.attribute("id")) + ":" + std::string(book.content()) + " ";
    if (seen != "bk101:Rain bk102:Snow ") return 1;
    try {
        doc.child(7);
        return 1;
    } catch (const xml::error& e) {
        std::printf("quick_start: ok (%s)\n", std::string(e.what()).substr(0, 10).c_str());
    }
}
