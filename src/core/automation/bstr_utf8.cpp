// Host strings made from UTF-8 and read back as UTF-8, for hosts that keep their text in UTF-8:
// the same conversions the node handle applies to every argument and result.
#include <cstdint>

#include "core/system/utf8.h"
#include "quorvel/automation.hpp"

extern "C" {

QvBSTR qv_SysAllocStringUtf8(const char* utf8, QvUINT bytes) {
  if (!utf8) bytes = 0;
  // Short text, the usual tag or name, takes one pass into room for as many units as bytes
  // (never too few): ASCII, as it nearly always is, is widened and done; the rest after the
  // ASCII run is decoded behind it and the string given the length it came to. Longer text is
  // measured first, so that text which is not ASCII never holds more than it needs.
  if (bytes <= 256) {
    QvBSTR s = qv_SysAllocStringLen(nullptr, bytes);
    if (!s) return nullptr;
    std::size_t units = quorvel::sys::widenAscii(utf8, bytes, s);
    if (units < bytes) {
      units += quorvel::sys::decodeUtf8(utf8 + units, bytes - units, s + units);
      reinterpret_cast<std::uint32_t*>(s)[-1] = static_cast<std::uint32_t>(units * sizeof(QvOLECHAR));
      s[units] = 0;
    }
    return s;
  }
  const std::size_t units = quorvel::sys::utf16Length(utf8, bytes);
  if (units > UINT32_MAX / sizeof(QvOLECHAR)) return nullptr;
  QvBSTR s = qv_SysAllocStringLen(nullptr, static_cast<QvUINT>(units));
  if (s && units) quorvel::sys::decodeUtf8(utf8, bytes, s);
  return s;
}

QvUINT qv_SysStringToUtf8(QvBSTR bstr, char* out, QvUINT capacity) {
  const std::size_t units = qv_SysStringLen(bstr);
  // Every unit takes at most three bytes (a surrogate pair takes four for two units), so a
  // buffer that large is written in one pass.
  if (out && std::size_t{capacity} >= 3 * units) return static_cast<QvUINT>(quorvel::sys::encodeUtf8(bstr, units, out));
  const std::size_t bytes = quorvel::sys::utf8Length(bstr, units);
  if (bytes > UINT32_MAX) return UINT32_MAX;
  if (out && bytes <= capacity) quorvel::sys::encodeUtf8(bstr, units, out);
  return static_cast<QvUINT>(bytes);
}

}  // extern "C"
