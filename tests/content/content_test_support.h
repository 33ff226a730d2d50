// Helpers of the content tests: raw DEFLATE streams made and read by zlib itself, base64 made by
// OpenSSL, and real streams taken from the gzip files on this machine.
#pragma once
#include <openssl/evp.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "scratch_dir.h"

namespace quorvel::test {

inline std::string asString(const uint8_t* p, size_t n) { return std::string(reinterpret_cast<const char*>(p), n); }

// zlib's raw deflate of bytes with the given settings, in one call.
inline std::string zlibDeflate(const std::string& bytes, int level = 6, int strategy = Z_DEFAULT_STRATEGY,
                               int memLevel = 8) {
    z_stream z{};
    if (deflateInit2(&z, level, Z_DEFLATED, -15, memLevel, strategy) != Z_OK) return {};
    std::string out(deflateBound(&z, bytes.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    z.avail_in = static_cast<uInt>(bytes.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return rc == Z_STREAM_END ? out : std::string();
}

// zlib's verdict on a raw stream: the bytes, or none when it is not a complete valid stream.
// windowBits 31 reads a gzip member instead.
inline std::optional<std::string> zlibInflate(const std::string& stream, int windowBits = -15) {
    z_stream z{};
    if (inflateInit2(&z, windowBits) != Z_OK) return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
    z.avail_in = static_cast<uInt>(stream.size());
    std::string out;
    char buf[65536];
    int rc;
    do {
        z.next_out = reinterpret_cast<Bytef*>(buf);
        z.avail_out = sizeof buf;
        rc = inflate(&z, Z_NO_FLUSH);
        out.append(buf, sizeof buf - z.avail_out);
    } while (rc == Z_OK && (z.avail_in > 0 || z.avail_out == 0));
    inflateEnd(&z);
    if (rc != Z_STREAM_END) return std::nullopt;
    return out;
}

// OpenSSL's base64 of bytes, unbroken: the reference the stored forms are checked against.
inline std::string opensslBase64(const std::string& bytes) {
    std::string out(bytes.size() / 3 * 4 + 5, '\0');
    out.resize(static_cast<size_t>(EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                                   reinterpret_cast<const unsigned char*>(bytes.data()),
                                                   static_cast<int>(bytes.size()))));
    return out;
}

// The raw DEFLATE payload of a one-member gzip file (RFC 1952 header and trailer stripped), and
// the CRC-32 the trailer records.
struct GzipPayload {
    std::string deflate;
    uint32_t crc = 0;
};
inline std::optional<GzipPayload> gzipPayload(const std::string& gz) {
    if (gz.size() < 18 || static_cast<uint8_t>(gz[0]) != 0x1f || static_cast<uint8_t>(gz[1]) != 0x8b || gz[2] != 8)
        return std::nullopt;
    const uint8_t flags = static_cast<uint8_t>(gz[3]);
    size_t p = 10;
    if (flags & 4) {  // FEXTRA
        if (p + 2 > gz.size()) return std::nullopt;
        p += 2 + (static_cast<uint8_t>(gz[p]) | static_cast<uint8_t>(gz[p + 1]) << 8);
    }
    for (uint8_t f : {uint8_t{8}, uint8_t{16}}) {  // FNAME, FCOMMENT: zero-terminated
        if (!(flags & f)) continue;
        p = gz.find('\0', p);
        if (p == std::string::npos) return std::nullopt;
        ++p;
    }
    if (flags & 2) p += 2;  // FHCRC
    if (p + 8 > gz.size()) return std::nullopt;
    GzipPayload r;
    r.deflate = gz.substr(p, gz.size() - 8 - p);
    for (int i = 3; i >= 0; --i) r.crc = r.crc << 8 | static_cast<uint8_t>(gz[gz.size() - 8 + static_cast<size_t>(i)]);
    return r;
}

// Up to `limit` gzip files under /usr/share/doc, largest first, so the real streams include
// long ones with many dynamic blocks.
inline std::vector<std::filesystem::path> docGzipFiles(size_t limit) {
    std::vector<std::pair<uintmax_t, std::filesystem::path>> found;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator("/usr/share/doc", ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (it->is_regular_file(ec) && it->path().extension() == ".gz") found.emplace_back(it->file_size(ec), it->path());
    }
    std::sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a.first > b.first; });
    std::vector<std::filesystem::path> out;
    for (size_t i = 0; i < found.size() && out.size() < limit; ++i) out.push_back(found[i].second);
    return out;
}

// Text, runs and noise, so that streams hold literals, long and short matches and stored blocks.
inline std::string mixedBytes(size_t n, uint32_t seed) {
    std::string s;
    s.reserve(n);
    uint32_t x = seed * 2654435761u + 1;
    auto next = [&] { return x ^= x << 13, x ^= x >> 17, x ^= x << 5; };
    while (s.size() < n) {
        switch (next() % 4) {
            case 0: s += "<record id=\"" + std::to_string(next() % 1000) + "\">Springfield</record>\n"; break;
            case 1: s.append(next() % 300, static_cast<char>('a' + next() % 3)); break;
            case 2: for (int i = next() % 200; i > 0; --i) s += static_cast<char>(next()); break;
            default: if (s.size() > 100) s += s.substr(next() % (s.size() - 50), 40 + next() % 10);
        }
    }
    s.resize(n);
    return s;
}

}  // namespace quorvel::test
