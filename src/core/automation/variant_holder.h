// A variant that clears itself when it goes.
#pragma once

#include "quorvel/automation.hpp"

namespace quorvel {

class VariantHolder {
 public:
  VariantHolder() { VariantInit(&v_); }
  ~VariantHolder() { VariantClear(&v_); }
  VariantHolder(VariantHolder&& other) noexcept : v_(other.release()) {}
  VariantHolder(const VariantHolder&) = delete;
  VariantHolder& operator=(const VariantHolder&) = delete;

  VARIANT* get() { return &v_; }
  const VARIANT* get() const { return &v_; }
  VARIANT* operator->() { return &v_; }
  const VARIANT* operator->() const { return &v_; }
  // Hands the value over; this holder is empty afterwards.
  VARIANT release() {
    VARIANT out = v_;
    VariantInit(&v_);
    return out;
  }
  HRESULT clear() { return VariantClear(&v_); }

 private:
  VARIANT v_;
};

}  // namespace quorvel
