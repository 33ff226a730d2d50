// Content coding members: QEncodeContent and BEncodeContent store the bytes a host gives as one
// RFC 2047 encoded word; DecodeContent gives back the bytes of the words in the content. None of
// the three touches the log, and none fails (but for memory running out).
#include <cstdlib>

#include "component/member_frames.h"
#include "content/content_coding.h"
#include "core/data_buffer.h"
#include "core/string_buffer.h"
#include "tree/tree_node.h"

namespace quorvel {

using namespace members;

namespace {

using MakeWord = void (ContentCoding::*)(const void*, uint32_t, const char*, StringBuffer&) const;

// The charset label comes through the ANSI code page; a null charset or a variant without bytes
// (of another type than string or byte array, too) empties the content.
HRESULT encodeContent(TreeNode* node, BSTR charset, const VARIANT& content, MakeWord make) {
    return withoutThrowing([&] {
        const DataBuffer::Bytes bytes = DataBuffer::variantBytes(&content);
        StringBuffer label;
        if (charset) label.appendWide(charset);
        StringBuffer word;
        (ContentCoding().*make)(bytes.data, bytes.size, charset ? label.data() : nullptr, word);
        node->setContentBytes(word.data(), word.length());
        return S_OK;
    });
}

}  // namespace

HRESULT CQuorvelXml::QEncodeContent(BSTR charset, VARIANT Content) {
    return encodeContent(node(), charset, Content, &ContentCoding::makeQWord);
}

HRESULT CQuorvelXml::BEncodeContent(BSTR charset, VARIANT Content) {
    return encodeContent(node(), charset, Content, &ContentCoding::makeBWord);
}

// Q words win when the content holds both kinds; without any, the content's own bytes.
HRESULT CQuorvelXml::DecodeContent(VARIANT* Content) {
    if (!Content) return E_POINTER;
    return withoutThrowing([&] {
        const TreeNode* n = node();
        const char* text = n->contentData();
        const auto length = static_cast<size_t>(n->contentLength());
        DataBuffer bytes;
        const ContentCoding coding;
        if (findNoCase(text, length, "?Q?", 3)) {
            coding.decodeQWords(text, bytes);
        } else if (findNoCase(text, length, "?B?", 3)) {
            coding.decodeBWords(text, bytes);
        } else {
            bytes.append(text, static_cast<uint32_t>(length));
        }
        bytes.toVariant(Content);
        return S_OK;
    });
}

}  // namespace quorvel
