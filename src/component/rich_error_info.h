// The record from which a failed call hands its error description to the host: the interface
// the error belongs to and the source name, raised with a description as the calling thread's
// error information.
#pragma once

#include "quorvel/automation.hpp"

namespace quorvel {

class StringBuffer;

class RichErrorInfo {
public:
    RichErrorInfo(const IID& iid, const char16_t* source) : iid_(iid), source_(source) {}

    // Creates error information with the description (through the ANSI code page), the interface
    // id and the source, and sets it as the thread's. Nothing is raised when it cannot be created.
    void raise(const StringBuffer& description) const;

    const IID& iid() const { return iid_; }
    const char16_t* source() const { return source_; }

private:
    IID iid_;
    const char16_t* source_;
};

}  // namespace quorvel
