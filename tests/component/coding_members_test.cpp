// QEncodeContent, BEncodeContent and DecodeContent: what the members add to the content coding
// (the host's variants and strings, which decoder runs, VT_NULL for no bytes, the untouched log).
// The words' own rules and every byte's round trip are ContentCoding.QEncodingBothWays and
// ContentCoding.EncodedWords.
#include <gtest/gtest.h>

#include "component_test_support.h"

namespace quorvel::test {
namespace {

VariantHolder stringVariant(std::string_view utf8) {
    VariantHolder v;
    v->vt = VT_BSTR;
    v->bstrVal = bstr(utf8).release();
    return v;
}

// The decoded bytes, or "(null)" for VT_NULL.
std::string decoded(IQuorvelXml* h) {
    VariantHolder out;
    EXPECT_EQ(h->DecodeContent(out.get()), S_OK);
    if (out->vt == VT_NULL) return "(null)";
    EXPECT_EQ(out->vt, VT_ARRAY | VT_UI1);
    const DataBuffer::Bytes b = DataBuffer::variantBytes(out.get());
    return b.size ? std::string(static_cast<const char*>(b.data), b.size) : "(empty array)";
}

// The three members never fail and never touch the log: a failed call's log survives them all.
TEST(CodingMembers, EncodeAndDecodeContent) {
    auto h = newHandle();
    expectFailure(h.get(), h->GetChild(0, nullptr), "(GetChild)\nParameter is NULL");
    const std::string failedLog = errorLogXml(h.get());

    struct Case {
        bool q;
        const char* charset;  // null: a null host string
        VariantHolder content;
        std::string stored;
    };
    VariantHolder empty;
    Case cases[] = {
        {true, "utf-8", stringVariant("hi"), "=?utf-8?Q?h=00i=00?="},
        {false, "iso-8859-1", bytesVariant("ABC"), "=?iso-8859-1?B?QUJD?="},
        {true, nullptr, bytesVariant("ABC"), ""},  // no charset
        {false, "x", std::move(empty), ""},         // a variant of another type
    };
    for (Case& c : cases) {
        h->put_Content(bstr("old").get());
        BstrHolder charset = c.charset ? bstr(c.charset) : BstrHolder();
        EXPECT_EQ(c.q ? h->QEncodeContent(charset.get(), *c.content.get()) : h->BEncodeContent(charset.get(), *c.content.get()),
                  S_OK);
        EXPECT_EQ(std::string(nodeOf(h.get())->contentView()), c.stored);
    }

    const std::pair<const char*, std::string> decodes[] = {
        // Q words win; the first "=?" opens a word that runs to the next Q marker, so what lies
        // between counts as its charset label.
        {"=?a?B?QUJD?= and =?b?Q?x_y?=", "x y"},
        {"=?b?Q?x_y?= and =?a?B?QUJD?=", "x y and =?a?B?QUJD?="},
        {"=?a?B?QUJD?=", "ABC"},
        {"=?a?b?QUJD?=", "ABC"},                      // the markers in either case
        {"d\xc3\xa9j\xc3\xa0", "d\xc3\xa9j\xc3\xa0"},  // no word: the content's own UTF-8 bytes
        {"=?x?Q?" "?=", "(null)"},                       // an empty word gives no bytes
        {"", "(null)"},
    };
    for (const auto& [content, bytes] : decodes) {
        h->put_Content(bstr(content).get());
        EXPECT_EQ(decoded(h.get()), bytes) << content;
    }
    EXPECT_EQ(h->DecodeContent(nullptr), E_POINTER);
    EXPECT_EQ(errorLogXml(h.get()), failedLog);
}

}  // namespace
}  // namespace quorvel::test
