#include "xml/serializer.h"

#include <climits>
#include <cstring>
#include <new>
#include <string_view>

#include "core/string_buffer.h"
#include "tree/tree_node.h"

namespace quorvel {

namespace {

constexpr int32_t kWrapColumn = 80;

// Byte classes of the writer.
enum : uint8_t {
    kEscaped = 1,    // '&', '<', '>', '"': written as entities
    kLineBreak = 2,  // SP, LF: may end a line past column 80
    kEnd = 4,        // 0: text is written up to its first 0 byte
};

struct WriterClasses {
    uint8_t of[256] = {};
    constexpr WriterClasses() {
        for (char c : {'&', '<', '>', '"'}) of[static_cast<unsigned char>(c)] = kEscaped;
        of[static_cast<unsigned char>(' ')] = kLineBreak;
        of[static_cast<unsigned char>('\n')] = kLineBreak;
        of[0] = kEnd;
    }
};
constexpr WriterClasses kWriter;

inline uint8_t classOf(char c) { return kWriter.of[static_cast<unsigned char>(c)]; }

std::string_view entityOf(char c) {
    switch (c) {
        case '&': return "&amp;";
        case '<': return "&lt;";
        case '>': return "&gt;";
        default: return "&quot;";
    }
}

// The first byte of [p, end) in one of the classes of mask, or end.
inline const char* findClass(const char* p, const char* end, uint8_t mask) {
    while (end - p >= 4) {
        if (classOf(p[0]) & mask) return p;
        if (classOf(p[1]) & mask) return p + 1;
        if (classOf(p[2]) & mask) return p + 2;
        if (classOf(p[3]) & mask) return p + 3;
        p += 4;
    }
    while (p < end && !(classOf(*p) & mask)) ++p;
    return p;
}

// Writes the many small pieces of the text straight into the output buffer's spare room, and
// counts them into its length when it needs more room and when it ends.
class Writer {
public:
    explicit Writer(StringBuffer& out) : out_(out) { take(); }
    ~Writer() { commit(); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void put(const char* p, size_t n) {
        if (n > static_cast<size_t>(limit_ - cur_)) makeRoom(n);
        std::memcpy(cur_, p, n);
        cur_ += n;
    }
    void put(std::string_view s) { put(s.data(), s.size()); }
    void put(char c) {
        if (cur_ == limit_) makeRoom(1);
        *cur_++ = c;
    }

private:
    void take() {
        cur_ = out_.mutableData() + out_.length();
        limit_ = out_.mutableData() + out_.capacity() - 1;  // the terminating 0 keeps its byte
    }
    void commit() { out_.extendBy(static_cast<int32_t>(cur_ - (out_.mutableData() + out_.length()))); }

    // The output grows by doubling here: a buffer left to grow on its own adds at most a fixed
    // step each time, which would copy a large document over and over.
    void makeRoom(size_t n) {
        commit();
        int64_t more = out_.length() > static_cast<int64_t>(n) ? out_.length() : static_cast<int64_t>(n);
        if (more > (1 << 30)) more = static_cast<int64_t>(n) > (1 << 30) ? static_cast<int64_t>(n) : (1 << 30);
        if (static_cast<int64_t>(out_.length()) + more >= INT32_MAX - 1) throw std::bad_alloc();
        out_.reserve(static_cast<int32_t>(more));
        take();
    }

    StringBuffer& out_;
    char* cur_ = nullptr;
    char* limit_ = nullptr;
};

void putTag(Writer& w, const TreeNode* n) {
    std::string_view tag = n->tagView();
    w.put(tag.empty() ? std::string_view("nothing") : tag);
}

// A value as an attribute takes it: up to its first 0 byte, the four markup bytes as entities.
void putEscaped(Writer& w, std::string_view value) {
    const char* p = value.data();
    const char* end = p + value.size();
    for (;;) {
        const char* stop = findClass(p, end, kEscaped | kEnd);
        w.put(p, static_cast<size_t>(stop - p));
        if (stop == end || *stop == 0) return;
        w.put(entityOf(*stop));
        p = stop + 1;
    }
}

void putAttributes(Writer& w, const AttributeSet& attributes) {
    int32_t count = attributes.count();
    for (int32_t i = 0; i < count; ++i) {
        w.put(' ');
        w.put(attributes.name(i));
        w.put("=\"", 2);
        putEscaped(w, attributes.value(i));
        w.put('"');
    }
}

// Escapes the content and, once a line has passed column 80, ends it at the next SP or LF: the
// line keeps that byte, gets a LF unless the byte was one, and the SPs and LFs after it are
// dropped. Every byte, escaped ones included, counts as one column; the first byte of the text
// has column 0, the first of each later line column 1.
void putContent(Writer& w, std::string_view text) {
    const char* p = text.data();
    const char* end = p + text.size();
    int32_t column = 0;  // of the byte at p
    for (;;) {
        // Up to column 80 no byte ends a line: only escapes matter.
        const char* calm = (end - p > kWrapColumn + 1 - column) ? p + (kWrapColumn + 1 - column) : end;
        while (p < calm) {
            const char* stop = findClass(p, calm, kEscaped | kEnd);
            w.put(p, static_cast<size_t>(stop - p));
            column += static_cast<int32_t>(stop - p);
            p = stop;
            if (p == calm) break;
            if (*p == 0) return;
            w.put(entityOf(*p));
            ++column;
            ++p;
        }
        // Past column 80 the next SP or LF ends the line.
        for (;;) {
            const char* stop = findClass(p, end, kEscaped | kLineBreak | kEnd);
            w.put(p, static_cast<size_t>(stop - p));
            p = stop;
            if (p == end || *p == 0) return;
            if (classOf(*p) & kEscaped) {
                w.put(entityOf(*p));
                ++p;
                continue;
            }
            w.put(*p);
            if (*p != '\n') w.put('\n');
            ++p;
            while (p < end && (*p == ' ' || *p == '\n')) ++p;
            column = 1;
            break;
        }
    }
}

void putStart(Writer& w, const TreeNode* n) {
    w.put('<');
    putTag(w, n);
    putAttributes(w, n->attributes());
    w.put('>');
    if (!n->hasContent()) return;
    std::string_view content = n->contentView();
    if (n->cdata()) {
        w.put("<![CDATA[", 9);
        const void* zero = std::memchr(content.data(), 0, content.size());
        w.put(content.data(), zero ? static_cast<size_t>(static_cast<const char*>(zero) - content.data()) : content.size());
        w.put("]]>", 3);
    } else {
        putContent(w, content);
    }
}

void putEnd(Writer& w, const TreeNode* n) {
    w.put("</", 2);
    putTag(w, n);
    w.put(">\n", 2);
}

void putProlog(Writer& w, const TreeInfo* tree) {
    if (const TreeNode* declaration = tree->declaration()) {
        w.put("<?xml", 5);
        putAttributes(w, declaration->attributes());
        w.put(" ?>\n", 4);
    }
    const StringBuffer* doctype = tree->doctype();
    if (doctype && !doctype->empty()) {
        w.put(doctype->view());
        w.put('\n');
    }
}

void putIndent(Writer& w, std::string_view indent, int64_t depth) {
    for (int64_t i = 0; i < depth; ++i) w.put(indent);
}

}  // namespace

void serialize(const TreeNode* node, StringBuffer& out) {
    if (!node) return;
    Writer w(out);
    if (node->tree() && node->tree()->root() == node) putProlog(w, node->tree());
    const TreeNode* n = node;
    for (;;) {
        putStart(w, n);
        if (const TreeNode* child = n->firstChild()) {
            n = child;
            continue;
        }
        putEnd(w, n);
        while (n != node && !n->nextSibling()) {
            n = n->parent();
            putEnd(w, n);
        }
        if (n == node) return;
        n = n->nextSibling();
    }
}

void serialize(const TreeNode* node, StringBuffer& out, std::string_view indent) {
    if (indent.empty()) return serialize(node, out);
    if (!node) return;
    Writer w(out);
    if (node->tree() && node->tree()->root() == node) putProlog(w, node->tree());
    const TreeNode* n = node;
    int64_t depth = 0;  // of n below node
    for (;;) {
        putIndent(w, indent, depth);
        putStart(w, n);
        if (const TreeNode* child = n->firstChild()) {
            w.put('\n');
            n = child;
            ++depth;
            continue;
        }
        putEnd(w, n);
        while (n != node && !n->nextSibling()) {
            n = n->parent();
            --depth;
            putIndent(w, indent, depth);
            putEnd(w, n);
        }
        if (n == node) return;
        n = n->nextSibling();
    }
}

}  // namespace quorvel
