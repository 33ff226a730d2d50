// A counted reference to an interface of the component: AddRef when shared, Release when it goes.
#pragma once

#include <utility>

#include "quorvel/automation.hpp"

namespace quorvel::python {

template <class T>
class ComRef {
public:
    ComRef() = default;
    ~ComRef() { reset(); }
    ComRef(const ComRef& other) : p_(other.p_) {
        if (p_) p_->AddRef();
    }
    ComRef(ComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ComRef& operator=(ComRef other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }

    // Takes over a reference the caller owns.
    static ComRef adopt(T* p) {
        ComRef r;
        r.p_ = p;
        return r;
    }
    // Takes a reference of its own.
    static ComRef share(T* p) {
        if (p) p->AddRef();
        return adopt(p);
    }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    // The place an out parameter fills; whatever was held is released first.
    T** put() {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }
    T* detach() { return std::exchange(p_, nullptr); }
    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }

    // Another interface of the same object, or an empty reference when it has none.
    template <class U>
    ComRef<U> query(const IID& iid) const {
        void* raw = nullptr;
        if (p_ && SUCCEEDED(p_->QueryInterface(iid, &raw)) && raw) return ComRef<U>::adopt(static_cast<U*>(raw));
        return {};
    }

private:
    T* p_ = nullptr;
};

}  // namespace quorvel::python
