// A small host of the foundation: builds a catalog document, edits it, prints it, and shows what
// the error log holds after an operation that fails.
#include <cstdio>
#include <string>
#include <vector>

#include "core/data_buffer.h"
#include "core/string_buffer.h"
#include "log/logger.h"
#include "tree/tree_node.h"

using namespace quorvel;

namespace {

// Prints the tree one element per line, indented by depth, without recursion.
void printTree(const TreeNode* root) {
    std::vector<std::pair<const TreeNode*, int>> stack{{root, 0}};
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        std::string line(static_cast<size_t>(depth) * 2, ' ');
        line += node->tag();
        for (int32_t i = 0; i < node->attributeCount(); ++i) {
            StringBuffer name, value;
            node->attributeNameAt(i, name);
            node->attributeValueAt(i, value);
            line += std::string(" ") + name.data() + "=\"" + value.data() + "\"";
        }
        if (node->hasContent()) line += std::string(": ") + node->contentData();
        std::puts(line.c_str());
        for (int32_t i = node->childCount() - 1; i >= 0; --i) stack.emplace_back(node->childAt(i), depth + 1);
    }
}

}  // namespace

int main() {
    TreeNode* catalog = TreeNode::newTree("catalog");
    catalog->addHandleRef();  // the example holds the document as a host handle would
    struct Book {
        const char* id;
        const char* title;
        const char* author;
        const char* price;
    };
    const Book books[] = {
        {"bk101", "XML Developer's Guide", "Gambardella, Matthew", "44.95"},
        {"bk102", "Midnight Rain", "Ralls, Kim", "5.95"},
        {"bk103", "Maeve Ascendant", "Corets, Eva", "5.95"},
    };
    for (const Book& b : books) {
        TreeNode* book = TreeNode::newChild(catalog, "book");
        book->addAttribute("id", b.id);
        TreeNode::newChildFromBytes(book, "title", b.title, static_cast<int32_t>(std::string(b.title).size()));
        TreeNode::newChildFromBytes(book, "author", b.author, static_cast<int32_t>(std::string(b.author).size()));
        TreeNode::newChildFromBytes(book, "price", b.price, static_cast<int32_t>(std::string(b.price).size()));
    }
    catalog->childAt(1)->updateAttribute("id", "bk102-revised");
    catalog->sortChildren(ChildSortKey::RecordContent, true, {}, "title");

    std::printf("Catalog (tree id %d, %d books, sorted by title):\n", catalog->treeId(), catalog->childCount());
    printTree(catalog);

    Logger log;
    log.setName("QuorvelXml4_0_2");
    log.ClearLog();
    log.EnterContext("LoadCatalogFile");
    DataBuffer bytes;
    if (!bytes.loadFile("/nonexistent/catalog.xml", &log)) log.LogError("Could not read the catalog file");
    log.LeaveContext();

    StringBuffer summary, text, xml;
    log.GetErrorSummary(summary);
    log.ErrorLogText(text);
    log.ErrorLogXml(xml);
    std::printf("\nError summary:\n%s\n\nError log (text):\n%s\nError log (XML):\n%s", summary.data(), text.data(), xml.data());

    catalog->releaseHandleRef();
    TreeNode::destroyTree(catalog);
    return 0;
}
