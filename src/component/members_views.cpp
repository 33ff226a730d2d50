// UTF-8 view members of IQuorvelXml2, reached only through its virtual table: the node's tag,
// content and attributes as views into the component's storage, without host strings. What a
// view points at, when it is a repaired copy instead, and how long it stays valid is
// tree/text_views.h's. Like get_Tag, get_Content, GetAttributeName and GetAttrValue, whose
// results they give, they leave the log alone unless they fail.
#include "component/node_handle.h"
#include "tree/text_views.h"

namespace quorvel {

namespace {

constexpr const char* kNullParameter = "Parameter is NULL";
constexpr const char* kUnexpected = "Unexpected error.";

void store(std::string_view text, Utf8View* out) {
    if (out) *out = Utf8View{text.data(), text.size()};
}

}  // namespace

HRESULT CQuorvelXml::GetTagUtf8(Utf8View* tag) {
    constexpr const char* kContext = "GetTagUtf8";
    if (!tag) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&] {
        store(utf8Tag(node_), tag);
        return S_OK;
    });
}

HRESULT CQuorvelXml::GetContentUtf8(Utf8View* content) {
    constexpr const char* kContext = "GetContentUtf8";
    if (!content) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&] {
        store(utf8Content(node_), content);
        return S_OK;
    });
}

// Either result may be null when the host wants only the other.
HRESULT CQuorvelXml::GetAttributeUtf8(LONG index, Utf8View* name, Utf8View* value) {
    constexpr const char* kContext = "GetAttributeUtf8";
    store({}, name);
    store({}, value);
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        const AttributeSet& set = node_->attributes();
        if (index < 0 || index >= set.count()) {
            return failCall(kContext, "No attribute at this index", {LogItem("index", index)});
        }
        // Only what is asked for is checked.
        if (name) store(utf8ViewOf(node_, ViewCopies::attributeName(index), set.name(index)), name);
        if (value) store(utf8ViewOf(node_, ViewCopies::attributeValue(index), set.value(index)), value);
        return S_OK;
    });
}

HRESULT CQuorvelXml::FindAttributeUtf8(const char* name, size_t nameLength, Utf8View* value, LONG* found) {
    constexpr const char* kContext = "FindAttributeUtf8";
    store({}, value);
    if (found) *found = 0;
    if ((!name && nameLength) || !value || !found) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&] {
        std::string_view v;
        if (utf8AttributeNamed(node_, std::string_view(name ? name : "", nameLength), v)) {
            store(v, value);
            *found = 1;
        }
        return S_OK;
    });
}

}  // namespace quorvel
