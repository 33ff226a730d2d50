// Owns one host string and frees it when it goes; release() hands it on.
#pragma once

#include <string_view>

#include "quorvel/automation.hpp"

namespace quorvel {

class BstrHolder {
 public:
  BstrHolder() = default;
  explicit BstrHolder(BSTR s) : s_(s) {}
  ~BstrHolder() { SysFreeString(s_); }
  BstrHolder(BstrHolder&& other) noexcept : s_(other.release()) {}
  BstrHolder& operator=(BstrHolder&& other) noexcept {
    reset(other.release());
    return *this;
  }
  BstrHolder(const BstrHolder&) = delete;
  BstrHolder& operator=(const BstrHolder&) = delete;

  static BstrHolder copyOf(std::u16string_view text) {
    return BstrHolder(SysAllocStringLen(text.data(), static_cast<UINT>(text.size())));
  }

  BSTR get() const { return s_; }
  // For out parameters: frees what is held and gives the place to fill.
  BSTR* put() {
    reset();
    return &s_;
  }
  BSTR release() {
    BSTR s = s_;
    s_ = nullptr;
    return s;
  }
  void reset(BSTR s = nullptr) {
    if (s != s_) SysFreeString(s_);
    s_ = s;
  }
  UINT length() const { return SysStringLen(s_); }
  std::u16string_view view() const { return {s_ ? s_ : u"", SysStringLen(s_)}; }

 private:
  BSTR s_ = nullptr;
};

}  // namespace quorvel
