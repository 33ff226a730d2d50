// Reference counting and interface queries on objects that may come from a
// host. A host written in C builds its virtual tables by hand, without C++
// type information, so these calls are kept out of the sanitizer's dynamic
// type check, which would otherwise reject every such object.
#pragma once

#include "quorvel/automation.hpp"

namespace quorvel {

ULONG addRefObject(IUnknown* object);
ULONG releaseObject(IUnknown* object);
HRESULT queryObject(IUnknown* object, REFIID riid, void** ppv);

}  // namespace quorvel
