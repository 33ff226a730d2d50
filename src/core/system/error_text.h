// System error codes: the calling thread's last error, which every failing
// file or directory call here leaves behind, and the message text of a code.
#pragma once

#include <string>

namespace quorvel::sys {

// The code the calling thread's last failed call left (an errno value).
int lastError();
void setLastError(int code);
// Records errno as the thread's last error; for wrappers of failing calls.
void captureLastError();

// The system's message text for a code, or an empty string for a code the
// system does not know. The text may end in white space; callers trim it.
std::string errorText(int code);

}  // namespace quorvel::sys
