// The non-delegating IUnknown of an object that can be aggregated. An aggregated object's own
// interfaces pass QueryInterface, AddRef and Release on to the outer object, which holds this
// one as the only way to reach the inner object's identity and reference count.
#pragma once

#include "quorvel/automation.hpp"

namespace quorvel {

// Object provides innerQueryInterface, innerAddRef and innerRelease: the real work, never
// delegated. Lives inside Object and dies with it.
template <class Object>
class InnerUnknown final : public IUnknown {
public:
    explicit InnerUnknown(Object& object) : object_(object) {}
    InnerUnknown(const InnerUnknown&) = delete;
    InnerUnknown& operator=(const InnerUnknown&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override { return object_.innerQueryInterface(riid, ppv); }
    ULONG AddRef() override { return object_.innerAddRef(); }
    ULONG Release() override { return object_.innerRelease(); }

private:
    Object& object_;
};

// What a class factory hands out for a new object: with an outer object only IID_IUnknown may be
// asked for, and the answer is the inner unknown with the caller's one reference; without one,
// the interface asked for. `object` comes with one reference, which this takes over.
template <class Object>
HRESULT handOutNewObject(Object* object, IUnknown* outer, REFIID riid, void** ppv) {
    if (outer) {
        *ppv = object->innerUnknown();
        return S_OK;
    }
    const HRESULT hr = object->innerQueryInterface(riid, ppv);
    object->innerRelease();
    return hr;
}

}  // namespace quorvel
