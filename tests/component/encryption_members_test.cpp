// EncryptNode, DecryptNode, SetBinaryContent and GetBinaryContent through the interface: the stored
// form checked with the base64 and openssl command-line tools, the two password routes, every flag
// combination, the failure table, and a document that goes through a file and back. Lengths around
// the block size, framed data and line layout are the content tests' (AesInterop, ContentCoding).
#include <gtest/gtest.h>

#include <string>

#include "component_test_support.h"
#include "content/cipher_test_support.h"
#include "core/automation/variant_holder.h"
#include "scratch_dir.h"

namespace quorvel {
namespace {

using namespace test;

Bytes asBytes(const std::string& s) { return Bytes(s.begin(), s.end()); }
std::string asText(const Bytes& b) { return std::string(b.begin(), b.end()); }

Bytes bytesIn(const VARIANT* v) {
    const DataBuffer::Bytes b = DataBuffer::variantBytes(v);
    const uint8_t* p = static_cast<const uint8_t*>(b.data);
    return Bytes(p, p + b.size);
}

// openssl's AES-128-CBC with a zero IV and key; "-d" to decrypt.
std::string opensslAes(const std::string& keyHex, const std::string& direction) {
    return "openssl enc -aes-128-cbc -nosalt " + direction + " -K " + keyHex + " -iv " + std::string(32, '0');
}

// The stored content of h, base64-decoded and decrypted by the command-line tools with the key.
std::string toolDecrypt(IQuorvelXml* h, const std::string& keyHex) {
    int status = -1;
    const Bytes out = runTool("tr -d '\\r' | base64 -d | " + opensslAes(keyHex, "-d"), asBytes(rawContent(h)), &status);
    EXPECT_EQ(status, 0);
    return asText(out);
}

// b as a VT_UI1 array, an empty one for no bytes.
HRESULT setBinary(IQuorvelXml* h, LONG zip, LONG encrypt, const char* password, const Bytes& b) {
    VariantHolder v;
    v->vt = VT_ARRAY | VT_UI1;
    v->parray = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(b.size()));
    if (!b.empty()) std::memcpy(v->parray->pvData, b.data(), b.size());
    return h->SetBinaryContent(zip, encrypt, password ? bstr(password).get() : nullptr, *v.get());
}

TEST(EncryptionMembers, EncryptNodeStoresWhatOpensslDecrypts) {
    const std::string password = "Tr0ub4dor&3", content = asText(sample(16));
    auto h = newHandle();
    setRawContent(h.get(), content);
    ASSERT_EQ(h->EncryptNode(bstr(password).get()), S_OK);
    // A whole block of padding: 32 bytes, 44 characters and CR LF.
    EXPECT_EQ(rawContent(h.get()).size(), 46u);
    EXPECT_EQ(rawContent(h.get()).substr(44), "\r\n");
    EXPECT_EQ(toolDecrypt(h.get(), md5Hex(password)), content);
    ASSERT_EQ(h->DecryptNode(bstr(password).get()), S_OK);
    EXPECT_EQ(rawContent(h.get()), content);
    // And the other way: what openssl encrypts, in lines of another length, DecryptNode reads.
    int status = -1;
    setRawContent(h.get(), asText(runTool(opensslAes(md5Hex(password), "-e") + " | base64 -w 60", asBytes(content), &status)));
    ASSERT_EQ(h->DecryptNode(bstr(password).get()), S_OK);
    EXPECT_EQ(rawContent(h.get()), content);
}

TEST(EncryptionMembers, PasswordRoutesAndNullPasswords) {
    // EncryptNode narrows through the ANSI code page, the binary-content pair through UTF-8: only
    // ASCII passwords give the same key on both. A null or empty password is the zero key.
    const std::string nonAscii = "p\xC3\xA4ss", content = "sixteen bytes!!!";
    auto h = newHandle();
    setRawContent(h.get(), content);
    ASSERT_EQ(h->EncryptNode(bstr(nonAscii).get()), S_OK);
    EXPECT_EQ(toolDecrypt(h.get(), md5Hex("p\xE4ss")), content);
    VariantHolder out;
    ASSERT_EQ(h->GetBinaryContent(0, 1, bstr(nonAscii).get(), out.get()), S_OK);
    EXPECT_NE(asText(bytesIn(out.get())), content);
    ASSERT_EQ(setBinary(h.get(), 0, 1, nonAscii.c_str(), asBytes(content)), S_OK);
    EXPECT_EQ(toolDecrypt(h.get(), md5Hex(nonAscii)), content);
    ASSERT_EQ(setBinary(h.get(), 0, 1, nullptr, asBytes(content)), S_OK);
    EXPECT_EQ(toolDecrypt(h.get(), std::string(32, '0')), content);

    // A null password fails the node pair, unless there is no content to touch.
    ASSERT_EQ(h->ErrorLogClear(), S_OK);
    setRawContent(h.get(), "");
    EXPECT_EQ(h->EncryptNode(nullptr), S_OK);
    EXPECT_EQ(h->DecryptNode(nullptr), S_OK);
    EXPECT_EQ(errorLogXml(h.get()), "");
    setRawContent(h.get(), content);
    expectFailure(h.get(), h->EncryptNode(nullptr), "(EncryptNode)\nParameter is NULL",
                  logXml("EncryptNode", {{"error", "Parameter is NULL"}}));
    expectFailure(h.get(), h->DecryptNode(nullptr), "(DecryptNode)\nParameter is NULL");
    EXPECT_EQ(rawContent(h.get()), content);
    ASSERT_EQ(h->EncryptNode(bstr("").get()), S_OK);
    EXPECT_EQ(toolDecrypt(h.get(), std::string(32, '0')), content);
}

TEST(EncryptionMembers, BinaryContentRoundTripsWithEveryFlagCombination) {
    auto h = newHandle();
    for (size_t n : {size_t{1}, size_t{17}, size_t{10'000'000}}) {
        const Bytes data = sample(n);
        for (LONG zip : {0, 1}) {
            for (LONG crypt : {0, 1}) {
                SCOPED_TRACE(std::to_string(n) + " zip " + std::to_string(zip) + " crypt " + std::to_string(crypt));
                ASSERT_EQ(setBinary(h.get(), zip, crypt, "pw", data), S_OK);
                const std::string stored = rawContent(h.get());
                ASSERT_GE(stored.size(), 2u);
                EXPECT_EQ(stored.substr(stored.size() - 2), "\r\n");
                VariantHolder out;
                ASSERT_EQ(h->GetBinaryContent(zip, crypt, bstr("pw").get(), out.get()), S_OK);
                EXPECT_EQ(out.get()->vt, VT_ARRAY | VT_UI1);
                EXPECT_TRUE(bytesIn(out.get()) == data);
            }
        }
    }
    // A string gives its UTF-16 units as little-endian pairs.
    VariantHolder text, out;
    text.get()->vt = VT_BSTR;
    text.get()->bstrVal = SysAllocString(u"Hi");
    ASSERT_EQ(h->SetBinaryContent(1, 1, nullptr, *text.get()), S_OK);
    ASSERT_EQ(h->GetBinaryContent(1, 1, nullptr, out.get()), S_OK);
    EXPECT_EQ(bytesIn(out.get()), (Bytes{'H', 0, 'i', 0}));
}

TEST(EncryptionMembers, FailuresOfTheBinaryPair) {
    auto h = newHandle();
    // The pair adds its context to what the log holds; a failure leaves the variant as passed.
    expectFailure(h.get(), h->GetChild(3, nullptr), "(GetChild)\nParameter is NULL");
    ASSERT_EQ(setBinary(h.get(), 0, 0, "pw", {}), S_OK);
    EXPECT_EQ(rawContent(h.get()), "");
    ASSERT_EQ(setBinary(h.get(), 0, 1, "pw", {}), S_OK);
    EXPECT_EQ(rawContent(h.get()), "");
    EXPECT_EQ(errorLogXml(h.get()), "<QuorvelLog>\n" + logContext("GetChild", {{"error", "Parameter is NULL"}}) + "</QuorvelLog>\n");
    ASSERT_EQ(h->ErrorLogClear(), S_OK);

    struct Case {
        const char* content;  // null: stored by SetBinaryContent (1, 0) of no bytes
        LONG unzip, decrypt;
        const char* message;
    } cases[] = {
        {nullptr, 0, 0, "Failed to append data to Zip object"},
        {"", 0, 0, "Failed to decode base64 data"},
        {"", 1, 1, "Failed to decode base64 data"},
        {"====", 1, 0, "Failed append compressed data"},
        {"QUJD\r\n", 1, 0, "Failed to unzip data"},
        {"////////////////////////////////////////////\r\n", 1, 1, "Failed to unzip data"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.message);
        VariantHolder out;
        out.get()->vt = VT_I4;
        out.get()->lVal = 42;
        HRESULT hr;
        if (c.content) {
            setRawContent(h.get(), c.content);
            hr = h->GetBinaryContent(c.unzip, c.decrypt, bstr("secret-pw").get(), out.get());
        } else {
            hr = setBinary(h.get(), 1, 1, "secret-pw", {});
        }
        EXPECT_EQ(hr, E_FAIL);
        const ErrorRecord e = takeErrorInfo();
        EXPECT_NE(e.description.find(c.message), std::string::npos) << e.description;
        EXPECT_EQ(e.description.find("secret-pw"), std::string::npos);
        EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_ErrorLogText).find("secret-pw"), std::string::npos);
        EXPECT_EQ(out.get()->vt, VT_I4);
        EXPECT_EQ(out.get()->lVal, 42);
    }
    // No bytes come back as VT_NULL: an encrypted empty array is stored as nothing, but "====" holds
    // base64 of no bytes.
    setRawContent(h.get(), "====");
    VariantHolder out;
    ASSERT_EQ(h->GetBinaryContent(0, 1, nullptr, out.get()), S_OK);
    EXPECT_EQ(out.get()->vt, VT_NULL);
    expectFailure(h.get(), h->GetBinaryContent(0, 0, nullptr, nullptr), "(GetBinaryContent)\nParameter is NULL");
}

class EncryptedDocument : public ::testing::Test, protected ScratchDir {};

TEST_F(EncryptedDocument, SurvivesSavingAndLoading) {
    auto doc = parsed("<?xml version=\"1.0\" encoding=\"utf-8\"?><catalog><card>4111 déjà</card><blob/></catalog>");
    ASSERT_EQ(child(doc.get(), 0)->EncryptNode(bstr("k3y").get()), S_OK);
    const Bytes file = sample(5000);
    ASSERT_EQ(setBinary(child(doc.get(), 1).get(), 1, 1, "k3y", file), S_OK);

    auto loaded = reloaded(doc.get(), path("catalog.xml"));
    auto card = child(loaded.get(), 0), blob = child(loaded.get(), 1);
    ASSERT_EQ(card->DecryptNode(bstr("k3y").get()), S_OK);
    EXPECT_EQ(rawContent(card.get()), "4111 d\xC3\xA9j\xC3\xA0");
    VariantHolder out;
    ASSERT_EQ(blob->GetBinaryContent(1, 1, bstr("k3y").get(), out.get()), S_OK);
    EXPECT_TRUE(bytesIn(out.get()) == file);
}

}  // namespace
}  // namespace quorvel
