#include "component/new_child_handle.h"

#include "component/node_handle.h"
#include "tree/tree_node.h"

namespace quorvel {

IQuorvelXml* newChildHandle(TreeNode* parent, const char* tag, const char* bytes, int32_t length) {
    CQuorvelXml* handle = CQuorvelXml::createHandle();
    if (!handle) return nullptr;
    // The handle's own one-node tree becomes the child: named and filled while it is still a
    // tree of its own, then grafted, its record ending in the graft.
    TreeNode* node = handle->node();
    try {
        node->setTag(tag ? tag : "");
        if (bytes && length > 0) node->setContentBytes(bytes, length);
    } catch (...) {
        handle->Release();
        return nullptr;
    }
    node->releaseHandleRef();
    parent->appendChild(node);
    node->addHandleRef();
    return handle;
}

}  // namespace quorvel
