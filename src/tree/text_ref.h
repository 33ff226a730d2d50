#pragma once
#include <string>
#include <string_view>

#include "core/string_buffer.h"

namespace quorvel {

// A borrowed byte string argument. A null C string counts as empty, so callers may pass host
// strings that were never set without testing them first.
class TextRef {
public:
    TextRef() = default;
    TextRef(std::nullptr_t) {}
    TextRef(const char* s) : view_(s ? std::string_view(s) : std::string_view()) {}
    TextRef(const char* bytes, size_t n) : view_(bytes ? std::string_view(bytes, n) : std::string_view()) {}
    TextRef(std::string_view v) : view_(v) {}
    TextRef(const std::string& s) : view_(s) {}
    TextRef(const StringBuffer& b) : view_(b.view()) {}

    std::string_view view() const { return view_; }
    const char* data() const { return view_.data(); }
    size_t size() const { return view_.size(); }
    bool empty() const { return view_.empty(); }

private:
    std::string_view view_;
};

}  // namespace quorvel
