// The full path of the loaded module file: the shared library when the component is loaded as
// one, the program itself when it is linked in.
#pragma once
#include <string>

namespace quorvel {

// Empty when the loader cannot tell.
std::string modulePath();

}  // namespace quorvel
