#pragma once

namespace quorvel {

// Common root of the internal classes; objects held in ExtPtrArray are destroyed through it.
class QuorvelObject {
public:
    QuorvelObject() = default;
    QuorvelObject(const QuorvelObject&) = default;
    QuorvelObject& operator=(const QuorvelObject&) = default;
    virtual ~QuorvelObject() = default;
};

}  // namespace quorvel
