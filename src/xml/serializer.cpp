#include "xml/serializer.h"

#include <cstring>
#include <string_view>

#include "core/string_buffer.h"
#include "tree/tree_node.h"

namespace quorvel {

namespace {

constexpr int32_t kWrapColumn = 80;

void appendView(StringBuffer& out, std::string_view v) { out.appendBytes(v.data(), static_cast<int32_t>(v.size())); }

void appendTag(StringBuffer& out, const TreeNode* n) {
    std::string_view tag = n->tagView();
    if (tag.empty()) {
        out.appendBytes("nothing", 7);
    } else {
        appendView(out, tag);
    }
}

void appendAttributes(StringBuffer& out, const AttributeSet& attributes) {
    int32_t count = attributes.count();
    for (int32_t i = 0; i < count; ++i) {
        std::string_view value = attributes.value(i);
        out.appendChar(' ');
        appendView(out, attributes.name(i));
        out.appendBytes("=\"", 2);
        out.appendEscaped(value.data(), static_cast<int32_t>(value.size()));
        out.appendChar('"');
    }
}

const char* escapeOf(char c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        case '"': return "&quot;";
        default: return nullptr;
    }
}

// Bytes that need a look in content: the four escaped ones and the two that may end a line.
struct ContentClasses {
    bool special[256] = {};
    constexpr ContentClasses() {
        for (unsigned char c : {'&', '<', '>', '"', ' ', '\n'}) special[c] = true;
    }
};
constexpr ContentClasses kContent;

// Escapes the content and, once a line has passed column 80, ends it at the next SP or LF: the
// line keeps that byte, gets a LF unless the byte was one, and the SPs and LFs after it are
// dropped. Every byte, escaped ones included, counts as one column.
void appendContent(StringBuffer& out, std::string_view text) {
    const char* p = text.data();
    const void* zero = std::memchr(p, 0, text.size());
    const char* end = zero ? static_cast<const char*>(zero) : p + text.size();
    const char* run = p;
    int32_t column = 0;
    for (; p < end; ++p, ++column) {
        if (!kContent.special[static_cast<unsigned char>(*p)]) continue;
        char c = *p;
        if (c == ' ' || c == '\n') {
            if (column <= kWrapColumn) continue;
            out.appendBytes(run, static_cast<int32_t>(p + 1 - run));
            if (c != '\n') out.appendChar('\n');
            const char* next = p + 1;
            while (next < end && (*next == ' ' || *next == '\n')) ++next;
            run = next;
            p = next - 1;
            column = 0;  // the loop step makes it 1 for the new line's first byte
            continue;
        }
        out.appendBytes(run, static_cast<int32_t>(p - run));
        out.append(escapeOf(c));
        run = p + 1;
    }
    out.appendBytes(run, static_cast<int32_t>(end - run));
}

void appendStart(StringBuffer& out, const TreeNode* n) {
    out.appendChar('<');
    appendTag(out, n);
    appendAttributes(out, n->attributes());
    out.appendChar('>');
    if (!n->hasContent()) return;
    std::string_view content = n->contentView();
    if (n->cdata()) {
        out.appendBytes("<![CDATA[", 9);
        out.append(n->contentData());
        out.appendBytes("]]>", 3);
    } else {
        appendContent(out, content);
    }
}

void appendEnd(StringBuffer& out, const TreeNode* n) {
    out.appendBytes("</", 2);
    appendTag(out, n);
    out.appendBytes(">\n", 2);
}

void appendProlog(StringBuffer& out, const TreeInfo* tree) {
    if (const TreeNode* declaration = tree->declaration()) {
        out.appendBytes("<?xml", 5);
        appendAttributes(out, declaration->attributes());
        out.appendBytes(" ?>\n", 4);
    }
    const StringBuffer* doctype = tree->doctype();
    if (doctype && !doctype->empty()) {
        out.appendBuffer(*doctype);
        out.appendChar('\n');
    }
}

}  // namespace

void serialize(const TreeNode* node, StringBuffer& out) {
    if (!node) return;
    if (node->tree() && node->tree()->root() == node) appendProlog(out, node->tree());
    const TreeNode* n = node;
    for (;;) {
        appendStart(out, n);
        if (const TreeNode* child = n->firstChild()) {
            n = child;
            continue;
        }
        appendEnd(out, n);
        while (n != node && !n->nextSibling()) {
            n = n->parent();
            appendEnd(out, n);
        }
        if (n == node) return;
        n = n->nextSibling();
    }
}

}  // namespace quorvel
