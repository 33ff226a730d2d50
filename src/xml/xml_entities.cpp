#include "xml/xml_entities.h"

#include <cstring>

namespace quorvel {

namespace {

struct Entity {
    const char* text;
    size_t length;
    char replacement;
};

constexpr Entity kEntities[] = {{"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&amp;", 5, '&'}};

// The entity that s (with n bytes available) starts with, or none.
const Entity* entityAt(const char* s, size_t n) {
    for (const Entity& e : kEntities) {
        if (n >= e.length && std::memcmp(s, e.text, e.length) == 0) return &e;
    }
    return nullptr;
}

}  // namespace

size_t decodeEntities(char* s, size_t from, size_t len) {
    if (from >= len) return len;
    char* amp = static_cast<char*>(std::memchr(s + from, '&', len - from));
    if (!amp) return len;
    char* out = amp;
    const char* in = amp;
    const char* end = s + len;
    while (in < end) {
        if (*in == '&') {
            if (const Entity* e = entityAt(in, static_cast<size_t>(end - in))) {
                *out++ = e->replacement;
                in += e->length;
                continue;
            }
            *out++ = *in++;
            continue;
        }
        const char* next = static_cast<const char*>(std::memchr(in, '&', static_cast<size_t>(end - in)));
        size_t run = static_cast<size_t>((next ? next : end) - in);
        std::memmove(out, in, run);
        out += run;
        in += run;
    }
    return static_cast<size_t>(out - s);
}

size_t entityFrontier(const char* s, size_t from, size_t len) {
    while (from < len) {
        const char* amp = static_cast<const char*>(std::memchr(s + from, '&', len - from));
        if (!amp) return len;
        size_t i = static_cast<size_t>(amp - s);
        size_t avail = len - i;
        for (const Entity& e : kEntities) {
            size_t n = avail < e.length ? avail : e.length;
            if (std::memcmp(amp, e.text, n) == 0) return i;
        }
        from = i + 1;
    }
    return len;
}

}  // namespace quorvel
