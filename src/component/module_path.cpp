#include "component/module_path.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

namespace quorvel {

std::string modulePath() {
    Dl_info info{};
    // Any address inside this module names its file.
    if (!dladdr(reinterpret_cast<void*>(&modulePath), &info) || !info.dli_fname) return {};
    char resolved[PATH_MAX];
    if (realpath(info.dli_fname, resolved)) return resolved;
    return info.dli_fname;
}

}  // namespace quorvel
