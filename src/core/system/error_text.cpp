#include "core/system/error_text.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace quorvel::sys {
namespace {

thread_local int t_lastError = 0;

// strerror_r comes in two shapes; each overload picks the text out of one.
[[maybe_unused]] const char* messageOf(int result, const char* buffer) { return result == 0 ? buffer : nullptr; }
[[maybe_unused]] const char* messageOf(const char* result, const char*) { return result; }

}  // namespace

int lastError() { return t_lastError; }

void setLastError(int code) { t_lastError = code; }

void captureLastError() { t_lastError = errno; }

std::string errorText(int code) {
  char buffer[256] = {};
  const char* text = messageOf(strerror_r(code, buffer, sizeof buffer), buffer);
  if (!text) return {};
  // The C library invents "Unknown error N" for codes it has no text for;
  // that is no message of the system's.
  char unknown[48];
  std::snprintf(unknown, sizeof unknown, "Unknown error %d", code);
  if (std::strcmp(text, unknown) == 0) return {};
  return text;
}

}  // namespace quorvel::sys
