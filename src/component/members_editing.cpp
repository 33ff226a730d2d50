// Tree editing: content and attributes, new, extracted, swapped and grafted nodes, clearing.
//
// Tags and the names RemoveAttribute and ExtractChildByName look for are trimmed; names stored by
// AddAttribute and UpdateAttribute, contents and values are taken as they come.
#include <string>

#include "component/member_frames.h"
#include "component/new_child_handle.h"
#include "core/data_buffer.h"
#include "tree/tree_node.h"

namespace quorvel {

using namespace members;

namespace {

constexpr const char* kForeignNode = "Argument is not a QuorvelXml node";
constexpr const char* kAncestorSwap = "Cannot swap a node with its own ancestor or descendant";

// The handle behind an IQuorvelXml argument of SwapNode, SwapTree and AddChildTree: null fails
// as a missing parameter, a foreign object as one that cannot be used.
HRESULT nodeArgument(CQuorvelXml& handle, const char* context, IQuorvelXml* argument, TreeNode*& out) {
    if (!argument) return handle.failCall(context, kNullParameter);
    CQuorvelXml* other = CQuorvelXml::fromInterface(argument);
    if (!other) return handle.failCall(context, kForeignNode);
    out = other->node();
    return S_OK;
}

// A detached subtree that nothing designates would be unreachable; it goes at once.
void destroyIfUnused(TreeNode* root) {
    if (root && !root->parent() && root->treeHandleCount() == 0) TreeNode::destroyTree(root);
}

}  // namespace

// ---- Content and attributes ---------------------------------------------------------------

HRESULT CQuorvelXml::AppendToContent(BSTR str) {
    return withoutThrowing([&]() -> HRESULT {
        DataBuffer bytes;
        toUtf8Bytes(str, bytes);
        if (bytes.size() > 0) {
            node_->appendContentBytes(reinterpret_cast<const char*>(bytes.data()),
                                      static_cast<int32_t>(bytes.size()));
        }
        return S_OK;
    });
}

HRESULT CQuorvelXml::AddAttribute(BSTR name, BSTR value) {
    if (!name || !value) return failCall("AddAttribute", kNullParameter);
    return withoutThrowing([&]() -> HRESULT {
        const StringBuffer n = plainArgument(*this, name), v = plainArgument(*this, value);
        if (n.length() > 0) node_->addAttribute(n, v);
        return S_OK;
    });
}

HRESULT CQuorvelXml::UpdateAttribute(BSTR name, BSTR value) {
    return withoutThrowing([&]() -> HRESULT {
        const StringBuffer n = plainArgument(*this, name), v = plainArgument(*this, value);
        if (n.length() > 0) node_->updateAttribute(n, v);
        return S_OK;
    });
}

HRESULT CQuorvelXml::RemoveAttribute(BSTR name) {
    constexpr const char* kContext = "RemoveAttribute";
    if (!name) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        node_->removeAttribute(trimmedArgument(*this, name));
        return S_OK;
    });
}

HRESULT CQuorvelXml::RemoveAllAttributes() {
    return guarded("RemoveAllAttributes", kUnexpected, [&]() -> HRESULT {
        node_->removeAllAttributes();
        return S_OK;
    });
}

// ---- New children ---------------------------------------------------------------------------

HRESULT CQuorvelXml::NewChild(BSTR Tag, BSTR Content, IQuorvelXml** child) {
    constexpr const char* kContext = "NewChild";
    if (!child) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        DataBuffer content;
        toUtf8Bytes(Content, content);
        *child = newChildHandle(node_, tag.data(), reinterpret_cast<const char*>(content.data()),
                                static_cast<int32_t>(content.size()));
        return S_OK;
    });
}

// Adds to the log instead of replacing it, so a host building many children keeps seeing
// what came before.
HRESULT CQuorvelXml::NewChild2(BSTR Tag, BSTR Content) {
    constexpr const char* kContext = "NewChild2";
    if (!Tag || !Content) return failCall(kContext, "Null Parameter", {}, false);
    try {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        DataBuffer content;
        toUtf8Bytes(Content, content);
        TreeNode::newChildFromBytes(node_, tag.data(), reinterpret_cast<const char*>(content.data()),
                                    static_cast<int32_t>(content.size()));
        return S_OK;
    } catch (...) {
        return failCall(kContext, kUnexpected, {}, false);
    }
}

// ---- Moving subtrees ------------------------------------------------------------------------

HRESULT CQuorvelXml::AddChildTree(IQuorvelXml* tree) {
    constexpr const char* kContext = "AddChildTree";
    TreeNode* added = nullptr;
    if (HRESULT hr = nodeArgument(*this, kContext, tree, added); FAILED(hr)) return hr;
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        // When added is this node or one of its ancestors, this node lies inside the detached
        // subtree and the graft is refused: the net effect is the detach alone.
        added->detachFromParent();
        node_->appendChild(added);
        return S_OK;
    });
}

HRESULT CQuorvelXml::SwapNode(IQuorvelXml* node) {
    constexpr const char* kContext = "SwapNode";
    TreeNode* other = nullptr;
    if (HRESULT hr = nodeArgument(*this, kContext, node, other); FAILED(hr)) return hr;
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        node_->swapNodeData(other);
        return S_OK;
    });
}

// Exchanging the children of a node and its own ancestor would hang the ancestor below itself.
HRESULT CQuorvelXml::SwapTree(IQuorvelXml* tree) {
    constexpr const char* kContext = "SwapTree";
    TreeNode* other = nullptr;
    if (HRESULT hr = nodeArgument(*this, kContext, tree, other); FAILED(hr)) return hr;
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        if (!node_->swapSubtrees(other)) return failCall(kContext, kAncestorSwap);
        return S_OK;
    });
}

// ---- Taking nodes out -----------------------------------------------------------------------

HRESULT CQuorvelXml::ExtractChildByIndex(LONG index, IQuorvelXml** child) {
    constexpr const char* kContext = "ExtractChildByIndex";
    if (!child) return failCall(kContext, kNullParameter);
    return guarded(kContext, kUnexpected, [&]() -> HRESULT {
        TreeNode* found = nullptr;
        if (HRESULT hr = childAtIndex(*this, kContext, index, found); FAILED(hr)) return hr;
        found->detachFromParent();
        *child = wrapNode(found);
        if (!*child) destroyIfUnused(found);
        return S_OK;
    });
}

HRESULT CQuorvelXml::ExtractChildByName(BSTR Tag, BSTR attrName, BSTR attrValue, IQuorvelXml** child) {
    constexpr const char* kContext = "ExtractChildByName";
    if (!Tag || !child) return failCall(kContext, kNullParameter);
    return loggedThroughout(kContext, [&] {
        const StringBuffer tag = trimmedArgument(*this, Tag);
        const StringBuffer attr = trimmedArgument(*this, attrName);
        StringBuffer pattern = plainArgument(*this, attrValue);
        if (pattern.length() == 0) pattern.setString("*");
        TreeNode* found = attr.length() == 0
                              ? node_->findChild(tag.data())
                              : node_->searchForAttribute(nullptr, tag.data(), attr.data(), pattern.data());
        if (!found) {
            log_.LogInfo("No child found with this tag");
            log_.LogData("tag", tag.data());
            log_.LogData("attribute", attr.data());
            log_.LogData("attribute_value_pattern", pattern.data());
            return true;
        }
        found->detachFromParent();
        IQuorvelXml* made = wrapNode(found);
        if (!made) {
            // Found may be this very node, which the handle keeps alive.
            destroyIfUnused(found);
            log_.LogError(kNoHandle);
            return false;
        }
        *child = made;
        return true;
    });
}

HRESULT CQuorvelXml::RemoveFromTree() {
    return withoutThrowing([&]() -> HRESULT {
        node_->detachFromParent();
        return S_OK;
    });
}

HRESULT CQuorvelXml::Clear() {
    return withoutThrowing([&]() -> HRESULT {
        replaceTree(TreeNode::newTree("unnamed"));
        return S_OK;
    });
}

}  // namespace quorvel
