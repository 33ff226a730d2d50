// Identifiers in their registry form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}".
#include "quorvel/automation.hpp"

using namespace quorvel;

namespace {

constexpr int kGuidTextLength = 38;

// Byte order of the text: Data1 (4 bytes), Data2, Data3, then Data4 split 2 + 6.
void writeHex(OLECHAR* out, uint64_t value, int digits) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  for (int i = digits - 1; i >= 0; --i) {
    out[i] = static_cast<OLECHAR>(kDigits[value & 0xF]);
    value >>= 4;
  }
}

bool readHex(const OLECHAR* in, int digits, uint64_t& value) {
  value = 0;
  for (int i = 0; i < digits; ++i) {
    const OLECHAR c = in[i];
    int d;
    if (c >= u'0' && c <= u'9') d = c - u'0';
    else if (c >= u'A' && c <= u'F') d = c - u'A' + 10;
    else if (c >= u'a' && c <= u'f') d = c - u'a' + 10;
    else return false;
    value = (value << 4) | static_cast<uint64_t>(d);
  }
  return true;
}

}  // namespace

extern "C" QV_API INT qv_StringFromGUID2(REFGUID g, LPOLESTR out, INT cchMax) {
  if (!out || cchMax < kGuidTextLength + 1) return 0;
  out[0] = u'{';
  writeHex(out + 1, g.Data1, 8);
  out[9] = u'-';
  writeHex(out + 10, g.Data2, 4);
  out[14] = u'-';
  writeHex(out + 15, g.Data3, 4);
  out[19] = u'-';
  writeHex(out + 20, g.Data4[0], 2);
  writeHex(out + 22, g.Data4[1], 2);
  out[24] = u'-';
  for (int i = 0; i < 6; ++i) writeHex(out + 25 + 2 * i, g.Data4[2 + i], 2);
  out[37] = u'}';
  out[38] = 0;
  return kGuidTextLength + 1;
}

extern "C" QV_API HRESULT qv_CLSIDFromString(LPCOLESTR in, CLSID* out) {
  if (!out) return E_INVALIDARG;
  if (!in) return CO_E_CLASSSTRING;
  for (int i = 0; i < kGuidTextLength; ++i)
    if (in[i] == 0) return CO_E_CLASSSTRING;
  if (in[kGuidTextLength] != 0 || in[0] != u'{' || in[9] != u'-' || in[14] != u'-' || in[19] != u'-' ||
    in[24] != u'-' || in[37] != u'}')
    return CO_E_CLASSSTRING;
  GUID g{};
  uint64_t v;
  if (!readHex(in + 1, 8, v)) return CO_E_CLASSSTRING;
  g.Data1 = static_cast<uint32_t>(v);
  if (!readHex(in + 10, 4, v)) return CO_E_CLASSSTRING;
  g.Data2 = static_cast<uint16_t>(v);
  if (!readHex(in + 15, 4, v)) return CO_E_CLASSSTRING;
  g.Data3 = static_cast<uint16_t>(v);
  const int offsets[8] = {20, 22, 25, 27, 29, 31, 33, 35};
  for (int i = 0; i < 8; ++i) {
    if (!readHex(in + offsets[i], 2, v)) return CO_E_CLASSSTRING;
    g.Data4[i] = static_cast<uint8_t>(v);
  }
  *out = g;
  return S_OK;
}
