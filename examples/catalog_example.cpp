// A small C++ host: builds a catalog, revises a book, sorts the books by title, prints the
// document and the books, looks two things up by XPath, then shows what the error log says about a file that is missing.
#include <cstdio>
#include <string>

#include "quorvel/xml.hpp"

int main() {
    namespace xml = quorvel::xml;
    xml::node catalog = xml::create();
    catalog.set_tag("catalog");
    const char* books[][4] = {{"bk101", "XML Developer's Guide", "Gambardella, Matthew", "44.95"},
                              {"bk102", "Midnight Rain", "Ralls, Kim", "5.95"},
                              {"bk103", "Maeve Ascendant", "Corets, Eva", "5.95"}};
    for (const auto& b : books) {
        xml::node book = catalog.new_child("book");
        book.add_attribute("id", b[0]);
        book.add_child("title", b[1]);
        book.add_child("author", b[2]);
        book.add_child("price", b[3]);
    }
    catalog.child(1).update_attribute("id", "bk102-revised");
    catalog.sort_records_by_content("title");
    std::printf("%s\n", catalog.xml().c_str());
    for (const xml::node& book : catalog.children())
        std::printf("%s: %s\n", std::string(book.attribute("id")).c_str(), book.child_content("title").c_str());
    // XPath: one lookup by id, and every title under 10.
    if (auto title = catalog.select_single("//book[@id='bk101']/title"))
        std::printf("bk101 is %s\n", std::string(title->content()).c_str());
    for (const std::string& t : catalog.select_values("/catalog/book[price < 10]/title")) std::printf("under 10: %s\n", t.c_str());

    // A missing file is not a failed call: load_file answers false and the error log says why.
    if (!catalog.load_file("/nonexistent/catalog.xml"))
        std::printf("\nNot loaded:\n%s", catalog.error_log_text().c_str());
}
