#include "xml/xml_entities.h"

#include <cstring>

#include "tree/small_copy.h"

namespace quorvel {

namespace {

struct Entity {
    const char* text;
    size_t length;
    char replacement;
};

constexpr Entity kEntities[] = {{"&lt;", 4, '<'}, {"&gt;", 4, '>'}, {"&quot;", 6, '"'}, {"&amp;", 5, '&'}};

// The entity that s (with n bytes available, s[0] being '&') starts with, or none. The byte
// after the '&' tells the four apart.
const Entity* entityAt(const char* s, size_t n) {
    if (n < 4) return nullptr;
    const Entity* e;
    switch (s[1]) {
        case 'l': e = &kEntities[0]; break;
        case 'g': e = &kEntities[1]; break;
        case 'q': e = &kEntities[2]; break;
        case 'a': e = &kEntities[3]; break;
        default: return nullptr;
    }
    if (n < e->length) return nullptr;
    for (size_t i = 2; i < e->length; ++i) {
        if (s[i] != e->text[i]) return nullptr;
    }
    return e;
}

// Copies [in, end) to out with the entities replaced, each run between them by copyRun(out, in, n).
// Returns the length written.
template <class CopyRun>
size_t decodeRuns(char* out, const char* in, const char* end, CopyRun copyRun) {
    char* const start = out;
    while (in < end) {
        const void* hit = std::memchr(in, '&', static_cast<size_t>(end - in));
        const char* amp = hit ? static_cast<const char*>(hit) : end;
        const size_t run = static_cast<size_t>(amp - in);
        copyRun(out, in, run);
        out += run;
        in = amp;
        if (in == end) break;
        if (const Entity* e = entityAt(in, static_cast<size_t>(end - in))) {
            *out++ = e->replacement;
            in += e->length;
        } else {
            *out++ = *in++;
        }
    }
    return static_cast<size_t>(out - start);
}

}  // namespace

size_t decodeEntities(char* s, size_t from, size_t len) {
    if (from >= len) return len;
    // In place: the output never gets ahead of the input, so a run moves only once one is decoded.
    return from + decodeRuns(s + from, s + from, s + len, [](char* out, const char* in, size_t n) {
               if (out != in) std::memmove(out, in, n);
           });
}

size_t decodeEntitiesCopy(char* out, const char* in, size_t n) {
    // The two sides apart: the runs between entities, mostly short, are copied without a
    // library call.
    return decodeRuns(out, in, in + n, [](char* to, const char* from, size_t len) { copySmall(to, from, len); });
}

size_t entityFrontier(const char* s, size_t from, size_t len) {
    while (from < len) {
        const char* amp = static_cast<const char*>(std::memchr(s + from, '&', len - from));
        if (!amp) return len;
        size_t i = static_cast<size_t>(amp - s);
        size_t avail = len - i;
        if (avail < 2) return i;  // a lone '&' at the end may still become anything
        const Entity* e = nullptr;
        switch (amp[1]) {
            case 'l': e = &kEntities[0]; break;
            case 'g': e = &kEntities[1]; break;
            case 'q': e = &kEntities[2]; break;
            case 'a': e = &kEntities[3]; break;
            default: break;
        }
        if (e) {
            size_t n = avail < e->length ? avail : e->length;
            size_t k = 2;
            while (k < n && amp[k] == e->text[k]) ++k;
            if (k == n) return i;
        }
        from = i + 1;
    }
    return len;
}

}  // namespace quorvel
