// A counted reference to an interface: AddRef on copy, Release when it goes.
// Works for objects of hosts written in C as well (see host_object.h).
#pragma once

#include <utility>

#include "core/automation/host_object.h"
#include "quorvel/automation.hpp"

namespace quorvel {

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  // Takes a new reference of its own.
  explicit ComPtr(T* p) : p_(p) {
    if (p_) addRefObject(p_);
  }
  // Adopts a reference the caller already owns.
  static ComPtr adopt(T* p) {
    ComPtr c;
    c.p_ = p;
    return c;
  }
  ~ComPtr() { reset(); }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
  ComPtr& operator=(ComPtr other) noexcept {
    std::swap(p_, other.p_);
    return *this;
  }

  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // For out parameters: releases what is held and gives the place to fill.
  T** put() {
    reset();
    return &p_;
  }
  void** putVoid() { return reinterpret_cast<void**>(put()); }
  T* detach() { return std::exchange(p_, nullptr); }
  void reset() {
    if (T* p = std::exchange(p_, nullptr)) releaseObject(p);
  }

 private:
  T* p_ = nullptr;
};

}  // namespace quorvel
