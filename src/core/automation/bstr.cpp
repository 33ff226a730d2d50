// Host strings: a 4-byte byte count, the UTF-16 units, then a zero unit. The
// string pointer points at the first unit, so the count sits just before it.
#include <cstdlib>
#include <cstring>

#include "quorvel/automation.hpp"

namespace {

constexpr std::size_t kPrefix = sizeof(uint32_t);
constexpr std::size_t kTerminator = sizeof(char16_t);
// The byte count must fit the 32-bit prefix together with the block overhead.
constexpr std::size_t kMaxBytes = 0xFFFFFFFFu - kPrefix - kTerminator - 1;

uint32_t& bytePrefix(QvBSTR s) { return *reinterpret_cast<uint32_t*>(reinterpret_cast<char*>(s) - kPrefix); }

// A block for byteLen bytes of text, with the prefix and a zero unit after the text (an odd
// byte length still gets a whole one). The text itself is zero-filled unless `source` is given,
// then copied from it: the common case of a copy does not pay for clearing first.
QvBSTR allocBytes(std::size_t byteLen, const void* source) {
  if (byteLen > kMaxBytes) return nullptr;
  char* block = static_cast<char*>(std::malloc(kPrefix + byteLen + kTerminator + 1));
  if (!block) return nullptr;
  *reinterpret_cast<uint32_t*>(block) = static_cast<uint32_t>(byteLen);
  char* text = block + kPrefix;
  if (source && byteLen) {
    std::memcpy(text, source, byteLen);
    std::memset(text + byteLen, 0, kTerminator + 1);
  } else {
    std::memset(text, 0, byteLen + kTerminator + 1);
  }
  return reinterpret_cast<QvBSTR>(text);
}

std::size_t unitLength(const QvOLECHAR* psz) {
  std::size_t n = 0;
  while (psz[n]) ++n;
  return n;
}

}  // namespace

extern "C" {

QvBSTR qv_SysAllocStringLen(const QvOLECHAR* pch, QvUINT cch) {
  return allocBytes(std::size_t{cch} * sizeof(QvOLECHAR), pch);
}

QvBSTR qv_SysAllocString(const QvOLECHAR* psz) {
  if (!psz) return nullptr;
  std::size_t n = unitLength(psz);
  if (n > kMaxBytes / sizeof(QvOLECHAR)) return nullptr;
  return qv_SysAllocStringLen(psz, static_cast<QvUINT>(n));
}

QvBSTR qv_SysAllocStringByteLen(const char* psz, QvUINT len) {
  return allocBytes(len, psz);
}

QvINT qv_SysReAllocStringLen(QvBSTR* pbstr, const QvOLECHAR* pch, QvUINT cch) {
  if (!pbstr) return 0;
  // The source may lie inside the old string, so copy before freeing it.
  QvBSTR fresh = qv_SysAllocStringLen(pch, cch);
  if (!fresh) return 0;
  qv_SysFreeString(*pbstr);
  *pbstr = fresh;
  return 1;
}

QvINT qv_SysReAllocString(QvBSTR* pbstr, const QvOLECHAR* psz) {
  if (!pbstr) return 0;
  if (!psz) {
    qv_SysFreeString(*pbstr);
    *pbstr = nullptr;
    return 1;
  }
  std::size_t n = unitLength(psz);
  if (n > kMaxBytes / sizeof(QvOLECHAR)) return 0;
  return qv_SysReAllocStringLen(pbstr, psz, static_cast<QvUINT>(n));
}

QvUINT qv_SysStringByteLen(QvBSTR bstr) { return bstr ? bytePrefix(bstr) : 0; }

QvUINT qv_SysStringLen(QvBSTR bstr) { return bstr ? bytePrefix(bstr) / sizeof(QvOLECHAR) : 0; }

void qv_SysFreeString(QvBSTR bstr) {
  if (bstr) std::free(reinterpret_cast<char*>(bstr) - kPrefix);
}

}  // extern "C"
