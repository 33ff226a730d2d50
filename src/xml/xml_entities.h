#pragma once
#include <cstddef>

namespace quorvel {

// The only entities this system decodes: "&lt;", "&gt;", "&quot;" and "&amp;", each replaced by
// its character. No other entity and no numeric reference is touched.
//
// Replacing all four in that order, one pattern after the other, gives the same text as a single
// left-to-right scan that replaces whichever of them starts at each '&' and goes on after it:
// the patterns cannot overlap (each holds one '&', at its start) and a replacement never
// completes a pattern that a later pass would find. The scan is what is done here.

// Decodes s[from, len) in place; s[0, from) is left alone. Returns the new length. The text after
// the new length is not terminated.
size_t decodeEntities(char* s, size_t from, size_t len);
// Writes the n bytes at in, decoded, to out, which has room for n and does not overlap them.
// Returns the length written. Decoding on the way spares reading back bytes just written, which
// waits for them to reach the cache.
size_t decodeEntitiesCopy(char* out, const char* in, size_t n);

// The first '&' at or after from that a later decode of this text, or of this text with more
// bytes appended, could still replace: it starts one of the four patterns, or a proper prefix of
// one that runs to the end of the text. len when there is none.
//
// Every other '&' stays as it is whatever is appended or decoded later: the byte that rules out
// each pattern is either before the next live '&' or is that '&', and decoding only ever puts
// '<', '>', '"' or '&' there, none of which continues a pattern. So a text decoded again and
// again as it grows needs decoding only from its frontier on.
size_t entityFrontier(const char* s, size_t from, size_t len);

}  // namespace quorvel
