// The module's lock count: live objects of the module plus server locks taken through
// IClassFactory::LockServer. The module may be unloaded only while it is 0.
#pragma once
#include <cstdint>

namespace quorvel {

void lockModule();
void unlockModule();
int32_t moduleLockCount();

// Holds one module lock for the life of the object that contains it.
class ModuleLockHolder {
public:
    ModuleLockHolder() { lockModule(); }
    ~ModuleLockHolder() { unlockModule(); }
    ModuleLockHolder(const ModuleLockHolder&) = delete;
    ModuleLockHolder& operator=(const ModuleLockHolder&) = delete;
};

}  // namespace quorvel
