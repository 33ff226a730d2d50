// What the member files share around their bodies: the messages several of them log, the frame of
// the unlogged members, and host arguments as the tree compares them. The logged frames
// (failCall, guarded, loggedThroughout, loggedWithoutClearing) are the handle's own, in
// node_handle.h. Message texts are fixed strings the hosts see: kept byte for byte.
#pragma once

#include <new>
#include <string>

#include "component/node_handle.h"
#include "core/string_buffer.h"
#include "tree/tree_node.h"

namespace quorvel::members {

inline constexpr const char* kNullParameter = "Parameter is NULL";
inline constexpr const char* kUnexpected = "Unexpected error.";
inline constexpr const char* kNoHandle = "Failed to create QuorvelXml COM object";

// The frame of the members that neither log nor fail: only running out of memory is reported,
// as E_OUTOFMEMORY, so that no exception crosses the interface. body returns the HRESULT.
template <class Body>
HRESULT withoutThrowing(Body&& body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

// A host string as UTF-8, as it comes (contents, values, patterns). May throw std::bad_alloc.
inline StringBuffer plainArgument(CQuorvelXml& handle, BSTR s) {
    StringBuffer out;
    handle.toUtf8(s, out);
    return out;
}

// A host tag or attribute name as the tree compares it: UTF-8, trimmed. May throw std::bad_alloc.
inline StringBuffer trimmedArgument(CQuorvelXml& handle, BSTR s) {
    StringBuffer out = plainArgument(handle, s);
    out.trim();
    return out;
}

// The child at index into found; else the failure "No child at this index", the index logged.
inline HRESULT childAtIndex(CQuorvelXml& handle, const char* context, LONG index, TreeNode*& found) {
    found = index >= 0 ? handle.node()->childAt(index) : nullptr;
    if (found) return S_OK;
    const std::string decimal = std::to_string(index);
    return handle.failCall(context, "No child at this index", {LogItem("index", decimal.c_str())});
}

}  // namespace quorvel::members
