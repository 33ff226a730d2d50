// Node encryption and binary content: EncryptNode, DecryptNode, SetBinaryContent, GetBinaryContent.
// Every stored form is base64 in 72-character CR LF lines; encryption is ClsAesInterop's (AES-128-CBC,
// zero IV, MD5 key), compression the zip container's raw DEFLATE. The password reaches the
// interop object only; its bytes are wiped before the call returns, whichever way it ends.
#include "component/member_frames.h"
#include "content/aes_interop.h"
#include "content/cls_zip.h"
#include "content/content_coding.h"
#include "content/secure_wipe.h"
#include "core/system/code_page.h"
#include "tree/tree_node.h"

namespace quorvel {

using namespace members;

namespace {

constexpr const char* kBinaryEntryName = "data.dat";

// The password's 8-bit bytes for the length of one call.
struct PasswordBytes {
    DataBuffer bytes;
    PasswordBytes() = default;
    PasswordBytes(const PasswordBytes&) = delete;
    PasswordBytes& operator=(const PasswordBytes&) = delete;
    ~PasswordBytes() { wipeBuffer(bytes); }
    void setOn(ClsAesInterop& aes) const { aes.SetPassword(bytes.data(), bytes.size()); }
};

// The node's own route for EncryptNode and DecryptNode: the ANSI code page, '?' for what it lacks.
void ansiPassword(BSTR password, PasswordBytes& out) {
    const UINT n = SysStringLen(password);
    if (n == 0) return;
    out.bytes.reserve(n);
    out.bytes.commit(static_cast<uint32_t>(sys::encodeAnsi(password, n, reinterpret_cast<char*>(out.bytes.mutableData()))));
}

// Keys aes from the password's ANSI bytes; false, logged, for a null password.
bool keyFromAnsiPassword(Logger& log, BSTR password, PasswordBytes& key, ClsAesInterop& aes) {
    if (!password) {
        log.LogError(kNullParameter);
        return false;
    }
    ansiPassword(password, key);
    key.setOn(aes);
    return true;
}

// Base64 in lines, as the node's new content (empty for no bytes).
void storeBase64(TreeNode* node, const DataBuffer& bytes) {
    StringBuffer text;
    ContentCoding().encodeBase64Lines(bytes.data(), bytes.size(), text);
    node->setContentBytes(text.data(), text.length());
}

// The node's content base64-decoded; false when nothing comes back, which is exactly when the
// content is empty.
bool decodeContent(const TreeNode* node, DataBuffer& out) {
    uint32_t count = 0;
    uint8_t* block = ContentCoding().decodeBase64(node->contentData(), static_cast<uint32_t>(node->contentLength()), &count);
    if (!block) return false;
    out.adopt(block, count);
    return true;
}

// Runs bytes through ClsAesInterop keyed by key, one way or the other; a failure is logged as
// "Unexpected error.", the message both binary-content members give it.
bool aesInPlace(Logger& log, const PasswordBytes& key, DataBuffer& bytes, bool encrypt) {
    ClsAesInterop aes;
    key.setOn(aes);
    DataBuffer out;
    if (!(encrypt ? aes.EncryptBytes(bytes, out) : aes.DecryptBytes(bytes, out))) {
        log.LogError(kUnexpected);
        return false;
    }
    bytes.moveFrom(out);
    return true;
}

}  // namespace

HRESULT CQuorvelXml::EncryptNode(BSTR password) {
    if (!node_->hasContent()) return S_OK;
    return loggedThroughout("EncryptNode", [&] {
        PasswordBytes key;
        ClsAesInterop aes;
        if (!keyFromAnsiPassword(log(), password, key, aes)) return false;
        DataBuffer plain, encrypted;
        const std::string_view content = node_->contentView();
        plain.borrow(content.data(), static_cast<uint32_t>(content.size()));
        if (!aes.EncryptBytes(plain, encrypted)) {
            log().LogError(kUnexpected);
            return false;
        }
        storeBase64(node_, encrypted);
        return true;
    });
}

HRESULT CQuorvelXml::DecryptNode(BSTR password) {
    if (!node_->hasContent()) return S_OK;
    return loggedThroughout("DecryptNode", [&] {
        PasswordBytes key;
        ClsAesInterop aes;
        if (!keyFromAnsiPassword(log(), password, key, aes)) return false;
        DataBuffer encrypted, plain;
        decodeContent(node_, encrypted);
        if (!aes.DecryptBytes(encrypted, plain)) {
            log().LogError(kUnexpected);
            return false;
        }
        node_->setContentBytes(reinterpret_cast<const char*>(plain.data()), static_cast<int32_t>(plain.size()));
        return true;
    });
}

HRESULT CQuorvelXml::SetBinaryContent(LONG zipFlag, LONG encryptFlag, BSTR password, VARIANT Content) {
    return loggedWithoutClearing("SetBinaryContent", [&] {
        PasswordBytes key;
        toUtf8Bytes(password, key.bytes);
        const DataBuffer::Bytes given = DataBuffer::variantBytes(&Content);
        DataBuffer bytes;
        bytes.borrow(given.data, given.size);
        if (zipFlag) {
            ClsZip zip;
            std::unique_ptr<ClsZipEntry> entry = zip.AppendData(kBinaryEntryName, bytes.data(), bytes.size());
            DataBuffer compressed;
            if (!entry || !entry->Copy(compressed)) {
                log().LogError("Failed to append data to Zip object");
                return false;
            }
            bytes.moveFrom(compressed);
        }
        if (encryptFlag && !aesInPlace(log(), key, bytes, true)) return false;
        storeBase64(node_, bytes);
        return true;
    });
}

HRESULT CQuorvelXml::GetBinaryContent(LONG unzipFlag, LONG decryptFlag, BSTR password, VARIANT* Content) {
    return loggedWithoutClearing("GetBinaryContent", [&] {
        if (!Content) {
            log().LogError(kNullParameter);
            return false;
        }
        PasswordBytes key;
        toUtf8Bytes(password, key.bytes);
        DataBuffer bytes;
        if (!decodeContent(node_, bytes)) {
            log().LogError("Failed to decode base64 data");
            return false;
        }
        if (decryptFlag && !aesInPlace(log(), key, bytes, false)) return false;
        if (unzipFlag) {
            ClsZip zip;
            std::unique_ptr<ClsZipEntry> entry = zip.AppendCompressed(kBinaryEntryName, bytes);
            if (!entry) {
                log().LogError("Failed append compressed data");
                return false;
            }
            DataBuffer plain;
            if (!entry->Inflate(plain)) {
                log().LogError("Failed to unzip data");
                return false;
            }
            bytes.moveFrom(plain);
        }
        // Built aside, so that a failure leaves the host's variant as it passed it.
        VARIANT result;
        bytes.toVariant(&result);
        *Content = result;
        return true;
    });
}

}  // namespace quorvel
