// Fuzzes decryption of arbitrary bytes on both routes of DecryptBytes (the bytes as they are, and
// framed by the header magic so that the rest is read as a header and ciphertext of any
// algorithm, key length and plain length), and GetBinaryContent's whole chain on the bytes taken
// as a node's content: base64 decoding, decryption, inflating. The first byte chooses the
// password and the flags. Nothing may come back longer than what went in.

#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "component/node_handle.h"
#include "content/aes_interop.h"
#include "core/automation/bstr_holder.h"
#include "core/data_buffer.h"
#include "tree/tree_node.h"

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    using namespace quorvel;
    const uint8_t choice = data[0];
    const char* passwords[] = {"", "pw", "p\xC3\xA4ss", "vexmira"};
    const char* password = passwords[choice & 3];

    DataBuffer in, out;
    in.append(data + 1, static_cast<uint32_t>(size - 1));
    ClsAesInterop aes;
    aes.SetPassword(password, std::char_traits<char>::length(password));
    check(aes.DecryptBytes(in, out));
    check(out.size() <= in.size());

    DataBuffer framed;
    framed.append("vexmira", 7);
    framed.append(data + 1, static_cast<uint32_t>(size - 1));
    check(aes.DecryptBytes(framed, out));
    check(out.size() + 24 <= framed.size() || out.size() == 0);

    CQuorvelXml* handle = CQuorvelXml::createHandle();
    if (!handle) return 0;
    handle->node()->setContentBytes(reinterpret_cast<const char*>(data + 1), static_cast<int32_t>(size - 1));
    BstrHolder pw = BstrHolder::copyOf(choice & 4 ? u"p\u00e4ss" : u"pw");
    VARIANT result;
    VariantInit(&result);
    handle->GetBinaryContent((choice >> 3) & 1, (choice >> 4) & 1, pw.get(), &result);
    VariantClear(&result);
    if (choice & 0x20) handle->DecryptNode(pw.get());
    handle->Release();
    return 0;
}
