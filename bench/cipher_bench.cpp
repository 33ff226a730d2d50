// The ciphers and MD5 against libcrypto's EVP interface on the same 16 MB, and EncryptNode and
// DecryptNode of a 10 MB content through the interface beside the AES and base64 they are made of.
// Goals: AES-128-CBC both ways at least 0.8x EVP, MD5 at least 0.9x; Twofish and Blowfish are
// reported (Blowfish beside libcrypto's own, which only its deprecated low-level calls still give).
#define OPENSSL_SUPPRESS_DEPRECATED
#include <benchmark/benchmark.h>
#include <openssl/blowfish.h>
#include <openssl/evp.h>

#include <cstring>
#include <string>
#include <vector>

#include "component/node_handle.h"
#include "content/aes_interop.h"
#include "content/blow_fish.h"
#include "content/content_coding.h"
#include "content/digest_md5.h"
#include "content/two_fish.h"
#include "core/automation/bstr_holder.h"
#include "tree/tree_node.h"

namespace {

using namespace quorvel;

constexpr uint32_t kSize = 16u << 20;
constexpr uint32_t kContentSize = 10u << 20;

const DataBuffer& input(uint32_t size = kSize) {
    static DataBuffer big, content;
    DataBuffer& b = size == kSize ? big : content;
    if (b.empty()) {
        uint8_t* p = b.appendSpace(size);
        for (uint32_t i = 0; i < size; ++i) p[i] = static_cast<uint8_t>(i * 2654435761u >> 24);
        b.commit(size);
    }
    return b;
}

void bytes(benchmark::State& state, uint32_t n) { state.SetBytesProcessed(int64_t(state.iterations()) * n); }

const uint8_t kKey[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
const uint8_t kIv[16] = {};

void evpAes(const DataBuffer& in, std::vector<uint8_t>& out, int encrypt) {
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    EVP_CipherInit_ex(ctx, EVP_aes_128_cbc(), nullptr, kKey, kIv, encrypt);
    EVP_CIPHER_CTX_set_padding(ctx, 0);
    int n = 0;
    EVP_CipherUpdate(ctx, out.data(), &n, in.data(), static_cast<int>(in.size()));
    EVP_CIPHER_CTX_free(ctx);
}

// Times step over the whole input; step returns where it wrote, so the writes are not optimised away.
template <class Step>
void overInput(benchmark::State& state, Step step) {
    for (auto _ : state) benchmark::DoNotOptimize(step());
    bytes(state, kSize);
}

void aesOurs(benchmark::State& state, bool decrypt) {
    ClsAesInterop aes;
    aes.SetPassword("password", 8);
    DataBuffer out;
    overInput(state, [&] {
        decrypt ? aes.DecryptBytes(input(), out) : aes.EncryptBytes(input(), out);
        return out.data();
    });
}
void aesEvp(benchmark::State& state, int encrypt) {
    std::vector<uint8_t> out(kSize);
    overInput(state, [&] {
        evpAes(input(), out, encrypt);
        return out.data();
    });
}
void BM_AesCbcEncrypt_Ours(benchmark::State& state) { aesOurs(state, false); }
void BM_AesCbcEncrypt_OpenSslEvp(benchmark::State& state) { aesEvp(state, 1); }
void BM_AesCbcDecrypt_Ours(benchmark::State& state) { aesOurs(state, true); }
void BM_AesCbcDecrypt_OpenSslEvp(benchmark::State& state) { aesEvp(state, 0); }

void BM_Md5_Ours(benchmark::State& state) {
    uint8_t d[16];
    for (auto _ : state) {
        DigestMD5::digest(input(), d);
        benchmark::DoNotOptimize(d);
    }
    bytes(state, kSize);
}

void BM_Md5_OpenSslEvp(benchmark::State& state) {
    uint8_t d[16];
    unsigned int n = 0;
    for (auto _ : state) {
        EVP_Digest(input().data(), input().size(), d, &n, EVP_md5(), nullptr);
        benchmark::DoNotOptimize(d);
    }
    bytes(state, kSize);
}

template <class Cipher>
void cipherBench(benchmark::State& state, bool decrypt) {
    Cipher cipher;
    cipher.setPassword("password", 8);
    DataBuffer out;
    overInput(state, [&] {
        decrypt ? cipher.decryptBuffer(input(), out) : cipher.encryptBuffer(input(), out);
        return out.data();
    });
}
void BM_TwofishCbcEncrypt_Ours(benchmark::State& state) { cipherBench<TwoFish>(state, false); }
void BM_TwofishCbcDecrypt_Ours(benchmark::State& state) { cipherBench<TwoFish>(state, true); }
void BM_BlowfishEcbEncrypt_Ours(benchmark::State& state) { cipherBench<BlowFish>(state, false); }
void BM_BlowfishEcbDecrypt_Ours(benchmark::State& state) { cipherBench<BlowFish>(state, true); }

void BM_BlowfishEcbEncrypt_OpenSslLowLevel(benchmark::State& state) {
    std::vector<uint8_t> out(kSize);
    for (auto _ : state) {
        BF_KEY key;
        BF_set_key(&key, 16, kKey);
        const uint8_t* in = input().data();
        for (uint32_t i = 0; i < kSize; i += 8) BF_ecb_encrypt(in + i, out.data() + i, &key, BF_ENCRYPT);
        benchmark::DoNotOptimize(out.data());
    }
    bytes(state, kSize);
}

// A handle whose node holds the 10 MB content, as text (a plain content is UTF-8 bytes).
struct ContentHandle {
    CQuorvelXml* h = CQuorvelXml::createHandle();
    ContentHandle() {
        const DataBuffer& b = input(kContentSize);
        std::string text(reinterpret_cast<const char*>(b.data()), b.size());
        for (char& c : text) c = static_cast<char>('A' + (static_cast<uint8_t>(c) % 26));
        h->node()->setContentBytes(text.data(), static_cast<int32_t>(text.size()));
    }
    ~ContentHandle() { h->Release(); }
};

void BM_EncryptNodeThenDecryptNode_10MB(benchmark::State& state) {
    ContentHandle doc;
    BstrHolder password = BstrHolder::copyOf(u"password");
    for (auto _ : state) {
        doc.h->EncryptNode(password.get());
        doc.h->DecryptNode(password.get());
    }
    bytes(state, 2 * kContentSize);
}

// What the pair is made of: AES both ways and base64 both ways over the same bytes.
void BM_AesAndBase64BothWays_10MB(benchmark::State& state) {
    const DataBuffer& in = input(kContentSize);
    ClsAesInterop aes;
    aes.SetPassword("password", 8);
    ContentCoding coder;
    DataBuffer encrypted, decoded, plain;
    for (auto _ : state) {
        aes.EncryptBytes(in, encrypted);
        StringBuffer text;
        coder.encodeBase64Lines(encrypted.data(), encrypted.size(), text);
        decoded.clear();
        coder.decodeBase64(text.data(), static_cast<uint32_t>(text.length()), decoded);
        aes.DecryptBytes(decoded, plain);
        benchmark::DoNotOptimize(plain.data());
    }
    bytes(state, 2 * kContentSize);
}

}  // namespace

BENCHMARK(BM_AesCbcEncrypt_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AesCbcEncrypt_OpenSslEvp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AesCbcDecrypt_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AesCbcDecrypt_OpenSslEvp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Md5_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Md5_OpenSslEvp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwofishCbcEncrypt_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TwofishCbcDecrypt_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlowfishEcbEncrypt_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlowfishEcbDecrypt_Ours)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlowfishEcbEncrypt_OpenSslLowLevel)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EncryptNodeThenDecryptNode_10MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_AesAndBase64BothWays_10MB)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
