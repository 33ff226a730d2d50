// Navigation and search: reading attributes, finding children, siblings, parents and roots,
// searching subtrees, and moving the handle itself (the members ending in 2).
//
// Tags and attribute names are trimmed and compared as C strings (a tag ends at its first zero
// byte, as put_Tag stores it); contents, values and patterns are taken as they come.
#include <string>

#include "component/member_frames.h"
#include "component/new_child_handle.h"
#include "tree/tree_node.h"

namespace quorvel {

using namespace members;

namespace {

// The node an `after` argument designates; a foreign object counts as none.
const TreeNode* afterNode(IQuorvelXml* after) {
    CQuorvelXml* handle = CQuorvelXml::fromInterface(after);
    return handle ? handle->node() : nullptr;
}

}  // namespace

// ---- Attributes ---------------------------------------------------------------------------

HRESULT CQuorvelXml::GetAttributeName(LONG index, BSTR* name) {
    constexpr const char* kContext = "GetAttributeName";
    if (!name) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        StringBuffer text;
        if (index < 0 || !node_->attributeNameAt(index, text)) {
            return failCall(kContext, "No attribute at this index", {LogItem("index", index)});
        }
        BSTR out = toHost(text);
        if (!out) throw std::bad_alloc();
        *name = out;
        return S_OK;
    });
}

HRESULT CQuorvelXml::GetAttributeValue(LONG index, BSTR* value) {
    constexpr const char* kContext = "GetAttributeValue";
    if (!value) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        StringBuffer text;
        if (index >= 0) node_->attributeValueAt(index, text);
        BSTR out = toHost(text);
        if (!out) throw std::bad_alloc();
        *value = out;
        return S_OK;
    });
}

HRESULT CQuorvelXml::GetAttrValue(BSTR name, BSTR* value) {
    constexpr const char* kContext = "GetAttrValue";
    if (!name || !value) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        const StringBuffer attr = trimmedArgument(*this, name);
        StringBuffer text;
        node_->attributeValue(attr.data(), text);
        BSTR out = toHost(text);
        if (!out) throw std::bad_alloc();
        *value = out;
        return S_OK;
    });
}

HRESULT CQuorvelXml::HasAttrWithValue(BSTR name, BSTR value, LONG* retval) {
    constexpr const char* kContext = "HasAttrWithValue";
    if (!name || !retval) return failCall(kContext, kNullParameter);
    *retval = 0;
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        const StringBuffer attr = trimmedArgument(*this, name);
        const StringBuffer wanted = plainArgument(*this, value);
        *retval = node_->hasAttributeWithValue(attr.data(), wanted) ? 1 : 0;
        return S_OK;
    });
}

// ---- Children by position and tag -----------------------------------------------------------

HRESULT CQuorvelXml::GetChild(LONG index, IQuorvelXml** child) {
    constexpr const char* kContext = "GetChild";
    if (!child) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        TreeNode* found = nullptr;
        if (HRESULT hr = childAtIndex(*this, kContext, index, found); FAILED(hr)) return hr;
        *child = wrapNode(found);
        return S_OK;
    });
}

HRESULT CQuorvelXml::GetChildContent(BSTR Tag, BSTR* node) {
    if (!node) return S_OK;
    return withoutThrowing([&]() -> HRESULT {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        const TreeNode* found = node_->findChild(tag.data());
        BSTR out = found ? toHost(found->contentView()) : StringBuffer().toBstr();
        if (!out) return E_OUTOFMEMORY;
        *node = out;
        return S_OK;
    });
}

HRESULT CQuorvelXml::NumChildrenHavingTag(BSTR Tag, LONG* retval) {
    constexpr const char* kContext = "NumChildrenHavingTag";
    if (!Tag || !retval) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        *retval = node_->countChildrenWithTag(tag.data());
        return S_OK;
    });
}

// The context carries the member's historical name, which hosts' log readers expect.
HRESULT CQuorvelXml::GetNthChildWithTag(BSTR Tag, LONG n, IQuorvelXml** child) {
    constexpr const char* kContext = "GetNthChildByTag";
    if (!Tag || !child) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        TreeNode* found = node_->nthChildWithTag(n, tag.data());
        if (!found) {
            return failCall(kContext, "Not enough children have that tag.",
                            {LogItem("tag", tag.data()), LogItem("n_value", n)});
        }
        *child = wrapNode(found);
        return S_OK;
    });
}

HRESULT CQuorvelXml::GetChildWithTag(BSTR Tag, IQuorvelXml** child) {
    constexpr const char* kContext = "GetChildWithTag";
    if (!Tag || !child) return failCall(kContext, kNullParameter);
    *child = nullptr;
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        TreeNode* found = node_->findChild(tag.data());
        if (found) *child = wrapNode(found);
        return S_OK;
    });
}

HRESULT CQuorvelXml::FindChild(BSTR Tag, IQuorvelXml** child) {
    constexpr const char* kContext = "FindChild";
    if (!Tag || !child) return failCall(kContext, kNullParameter);
    return loggedThroughout(kContext, [&] {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        TreeNode* found = node_->findChild(tag.data());
        if (!found) return true;
        IQuorvelXml* made = wrapNode(found);
        if (!made) {
            log_.LogError(kNoHandle);
            return false;
        }
        *child = made;
        return true;
    });
}

HRESULT CQuorvelXml::FindChild2(BSTR Tag, LONG* found) {
    constexpr const char* kContext = "FindChild2";
    if (!Tag) return failCall(kContext, kNullParameter);
    if (found) *found = 0;
    return loggedThroughout(kContext, [&] {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        TreeNode* match = node_->findChild(tag.data());
        if (match) {
            moveTo(match);
            if (found) *found = 1;
        }
        return true;
    });
}

HRESULT CQuorvelXml::FindOrAddNewChild(BSTR Tag, IQuorvelXml** child) {
    constexpr const char* kContext = "FindOrAddNewChild";
    if (!Tag || !child) return failCall(kContext, kNullParameter);
    return loggedThroughout(kContext, [&] {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        IQuorvelXml* made = nullptr;
        if (TreeNode* found = node_->findChild(tag.data())) {
            made = wrapNode(found);
        } else {
            made = newChildHandle(node_, tag.data(), nullptr, 0);
        }
        if (!made) {
            log_.LogError(kNoHandle);
            return false;
        }
        *child = made;
        return true;
    });
}

// ---- Searches -----------------------------------------------------------------------------

// The frame every search shares: logged throughout, null stored first, a handle on the node
// found.
template <class Find>
static HRESULT runSearch(CQuorvelXml& handle, const char* context, IQuorvelXml** node, Find&& find) {
    if (!node) return handle.failCall(context, kNullParameter);
    *node = nullptr;
    return handle.loggedThroughout(context, [&] {
        TreeNode* found = find();
        if (!found) return true;
        *node = CQuorvelXml::wrapNode(found);
        if (*node) return true;
        handle.log().LogError(kNoHandle);
        return false;
    });
}

HRESULT CQuorvelXml::SearchForTag(IQuorvelXml* after, BSTR Tag, IQuorvelXml** node) {
    return runSearch(*this, "SearchForTag", node, [&] {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        return node_->searchForTag(afterNode(after), tag.data());
    });
}

HRESULT CQuorvelXml::SearchForContent(IQuorvelXml* after, BSTR Tag, BSTR contentPattern, IQuorvelXml** node) {
    return runSearch(*this, "SearchForContent", node, [&] {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        const StringBuffer pattern = plainArgument(*this, contentPattern);
        return node_->searchForContent(afterNode(after), tag.data(), pattern.data());
    });
}

HRESULT CQuorvelXml::SearchAllForContent(IQuorvelXml* after, BSTR contentPattern, IQuorvelXml** node) {
    return runSearch(*this, "SearchAllForContent", node, [&] {
        const StringBuffer pattern = plainArgument(*this, contentPattern);
        return node_->searchAllForContent(afterNode(after), pattern.data());
    });
}

HRESULT CQuorvelXml::SearchForAttribute(IQuorvelXml* after, BSTR Tag, BSTR attr, BSTR valuePattern,
                                        IQuorvelXml** node) {
    return runSearch(*this, "SearchForAttribute", node, [&] {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        const StringBuffer name = trimmedArgument(*this, attr);
        const StringBuffer pattern = plainArgument(*this, valuePattern);
        return node_->searchForAttribute(afterNode(after), tag.data(), name.data(), pattern.data());
    });
}

HRESULT CQuorvelXml::FindNextRecord(BSTR Tag, BSTR contentPattern, IQuorvelXml** node) {
    if (!node) return S_OK;
    *node = nullptr;
    return withoutThrowing([&]() -> HRESULT {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        const StringBuffer pattern = plainArgument(*this, contentPattern);
        if (TreeNode* found = node_->findNextRecord(tag.data(), pattern.data())) *node = wrapNode(found);
        return S_OK;
    });
}

// ---- Relatives, returning a new handle ------------------------------------------------------

// Logged on failure: a null result place fails; no relative gives a null handle.
template <class Relative>
static HRESULT returnRelative(CQuorvelXml& handle, const char* context, const char* unexpected, IQuorvelXml** out,
                              Relative&& relative) {
    if (!out) return handle.failCall(context, kNullParameter);
    *out = nullptr;
    return handle.guarded(context, unexpected, [&]() -> HRESULT {
        if (TreeNode* found = relative(handle.node())) *out = CQuorvelXml::wrapNode(found);
        return S_OK;
    });
}

HRESULT CQuorvelXml::GetParent(IQuorvelXml** parent) {
    return returnRelative(*this, "GetParent", kUnexpected, parent, [](TreeNode* n) { return n->parent(); });
}

HRESULT CQuorvelXml::FirstChild(IQuorvelXml** child) {
    return returnRelative(*this, "FirstChild", kUnexpected, child, [](TreeNode* n) { return n->firstChild(); });
}

HRESULT CQuorvelXml::LastChild(IQuorvelXml** child) {
    return returnRelative(*this, "LastChild", kUnexpected, child, [](TreeNode* n) { return n->lastChild(); });
}

HRESULT CQuorvelXml::NextSibling(IQuorvelXml** sibling) {
    return returnRelative(*this, "NextSibling", kUnexpected, sibling, [](TreeNode* n) { return n->nextSibling(); });
}

HRESULT CQuorvelXml::PreviousSibling(IQuorvelXml** sibling) {
    return returnRelative(*this, "PreviousSibling", kUnexpected, sibling,
                          [](TreeNode* n) { return n->previousSibling(); });
}

HRESULT CQuorvelXml::GetRoot(IQuorvelXml** root) {
    return returnRelative(*this, "GetRoot", "Unexpected Error.", root, [](TreeNode* n) { return n->root(); });
}

// ---- Moving the handle itself ---------------------------------------------------------------

// Unlogged: the flag is 0 until the handle has moved. Nothing here allocates, so a host can
// walk a whole document with one handle.
template <class Relative>
static HRESULT moveToRelative(CQuorvelXml& handle, const char* context, LONG* found, Relative&& relative) {
    if (found) *found = 0;
    return handle.guarded(context, kUnexpected, [&]() -> HRESULT {
        if (TreeNode* target = relative(handle.node())) {
            handle.moveTo(target);
            if (found) *found = 1;
        }
        return S_OK;
    });
}

HRESULT CQuorvelXml::GetChild2(LONG index, LONG* found) {
    return moveToRelative(*this, "GetChild2", found,
                          [index](TreeNode* n) { return index >= 0 ? n->childAt(index) : nullptr; });
}

HRESULT CQuorvelXml::GetParent2(LONG* found) {
    return moveToRelative(*this, "GetParent2", found, [](TreeNode* n) { return n->parent(); });
}

HRESULT CQuorvelXml::FirstChild2(LONG* found) {
    return moveToRelative(*this, "FirstChild2", found, [](TreeNode* n) { return n->firstChild(); });
}

HRESULT CQuorvelXml::LastChild2(LONG* found) {
    return moveToRelative(*this, "LastChild2", found, [](TreeNode* n) { return n->lastChild(); });
}

HRESULT CQuorvelXml::NextSibling2(LONG* found) {
    return moveToRelative(*this, "NextSibling2", found, [](TreeNode* n) { return n->nextSibling(); });
}

HRESULT CQuorvelXml::PreviousSibling2(LONG* found) {
    return moveToRelative(*this, "PreviousSibling2", found, [](TreeNode* n) { return n->previousSibling(); });
}

HRESULT CQuorvelXml::GetRoot2() {
    constexpr const char* kContext = "GetRoot2";
    return guarded(kContext, "Unexpected Error.", [&]() -> HRESULT {
        TreeNode* root = node_->root();
        if (!root) return failCall(kContext, "No root");
        moveTo(root);
        return S_OK;
    });
}

}  // namespace quorvel
