/*
 * Which node a handle designates, for hosts that compare handles (the Python module's == and
 * hash). IQuorvelXml has no member that tells: TreeId is shared by every node of a tree, and
 * a handle is a separate object from the node, so two handles on one node differ as pointers.
 */
#ifndef QUORVEL_NODE_IDENTITY_H
#define QUORVEL_NODE_IDENTITY_H

#include "quorvel/automation.h"

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Stores in *identity a value that is equal for two handles exactly when they designate the same
 * node at this moment, and QV_S_OK. The value is an address to compare, never to dereference; it
 * stays the node's while some handle designates it (a handle keeps its node alive), and a handle
 * moved with a member ending in 2 gets the new node's. QV_E_INVALIDARG, with *identity null, when
 * handle is null or not a node handle of this component (an outer object that aggregates one
 * counts as the handle); QV_E_POINTER when identity is null.
 */
QV_API QvHRESULT qv_NodeIdentity(QvIUnknown* handle, const void** identity);

#ifdef __cplusplus
}
#endif

#endif /* QUORVEL_NODE_IDENTITY_H */
