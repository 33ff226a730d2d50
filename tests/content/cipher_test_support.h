#pragma once
// Hex helpers and a runner for the independent tools (the openssl command line, Python's
// cryptography) that the cipher tests check against.

#include <cstdio>
#include <cstdlib>
#include <cstdint>
#include <string>
#include <vector>

#include "content/digest_md5.h"
#include "core/data_buffer.h"

namespace quorvel::test {

using Bytes = std::vector<uint8_t>;

inline Bytes hex(const std::string& h) {
    Bytes b;
    for (size_t i = 0; i + 1 < h.size(); i += 2) b.push_back(static_cast<uint8_t>(std::stoi(h.substr(i, 2), nullptr, 16)));
    return b;
}

inline std::string toHex(const uint8_t* p, size_t n) {
    static const char* digits = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) s += {digits[p[i] >> 4], digits[p[i] & 15]};
    return s;
}
inline std::string toHex(const Bytes& b) { return toHex(b.data(), b.size()); }
inline std::string toHex(const DataBuffer& b) { return toHex(b.data(), b.size()); }

inline Bytes bytesOf(const DataBuffer& b) { return Bytes(b.data(), b.data() + b.size()); }
inline void fill(DataBuffer& b, const Bytes& bytes) { b.assign(bytes.data(), static_cast<uint32_t>(bytes.size())); }

inline Bytes sample(size_t n) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>(i * 37 + 11 + (i >> 9));
    return b;
}

inline std::string md5Hex(const std::string& s) {
    uint8_t d[16];
    DigestMD5::digest(s.data(), s.size(), d);
    return toHex(d, 16);
}

// A crypt header for algorithm, key bits and plain length, followed by body.
inline Bytes framed(uint8_t algorithm, uint32_t bits, uint32_t plainLength, const Bytes& body) {
    Bytes b = {'v', 'e', 'x', 'm', 'i', 'r', 'a', 0, algorithm, 0, 1, 0};
    for (uint32_t v : {plainLength, bits, 0u})
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// Runs a shell command with input on its standard input and returns its standard output; the
// exit status goes to *status.
inline Bytes runTool(const std::string& command, const Bytes& input, int* status) {
    char path[] = "/tmp/qv_cipher_inputXXXXXX";
    const int fd = mkstemp(path);
    FILE* f = fdopen(fd, "wb");
    if (!input.empty()) fwrite(input.data(), 1, input.size(), f);
    fclose(f);
    FILE* p = popen(("(" + command + ") < " + path).c_str(), "r");
    Bytes out;
    uint8_t chunk[65536];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, p)) > 0) out.insert(out.end(), chunk, chunk + n);
    *status = pclose(p);
    std::remove(path);
    return out;
}


// Debian's Python, where python3-cryptography is installed.
inline const char* kPython = "/usr/bin/python3";

// The tests' source folder, wherever the binary runs from.
inline std::string contentTestDir() { return QV_SOURCE_DIR "/tests/content"; }

}  // namespace quorvel::test
