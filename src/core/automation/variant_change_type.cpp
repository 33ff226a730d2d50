// Coercion of a variant to another type, with the results automation hosts
// know: integers from reals and currency round half to even, values out of
// range give DISP_E_OVERFLOW, text is read and written in the invariant
// (English) form whatever the locale: '.' for decimals, ',' allowed as the
// thousands separator, "True"/"False" for booleans.
//
// Not converted (DISP_E_TYPEMISMATCH): text to a date, records, and an object
// to a value (the default-value property is not fetched).
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>

#include "core/automation/variant_types.h"
#include "core/automation/host_object.h"
#include "quorvel/automation.hpp"

using namespace quorvel;

namespace {

using Int128 = __int128;

constexpr int kMaxDecimalScale = 28;
constexpr Int128 kDecimalLimit = Int128{1} << 96;   // exclusive bound of a decimal mantissa
constexpr Int128 kExactLimit = Int128{1} << 124;    // keeps products by 10 from overflowing
constexpr double kMinDate = -657434.0;               // 1 January 100
constexpr double kMaxDate = 2958466.0;               // exclusive: 1 January 10000

Int128 pow10(int n) {
  Int128 r = 1;
  while (n-- > 0) r *= 10;
  return r;
}

// A value on its way between types: an exact decimal (mantissa / 10^scale,
// integers with scale 0) or a binary real.
struct Number {
  bool exact = true;
  Int128 mantissa = 0;
  int scale = 0;
  double real = 0;
  bool single = false;  // a real that came from a 4-byte float
};

Number exactNumber(Int128 m, int scale = 0) {
  Number n;
  n.mantissa = m;
  n.scale = scale;
  return n;
}

Number realNumber(double d, bool single = false) {
  Number n;
  n.exact = false;
  n.real = d;
  n.single = single;
  return n;
}

// m / 10^drop, rounded half to even.
Int128 divideRounded(Int128 m, int drop) {
  if (drop <= 0) return m;
  if (drop > 38) return 0;
  Int128 d = pow10(drop);
  Int128 q = m / d;
  Int128 r = m % d;
  Int128 twice = (r < 0 ? -r : r) * 2;
  if (twice > d || (twice == d && (q & 1))) q += (m < 0 ? -1 : 1);
  return q;
}

// The number scaled to the given number of decimals; false on overflow.
bool toScaled(const Number& n, int scale, Int128& out) {
  if (!n.exact) {
    if (std::isnan(n.real)) return false;
    double scaled = std::nearbyint(n.real * std::pow(10.0, scale));
    if (!(std::fabs(scaled) < 0x1p120)) return false;
    out = static_cast<Int128>(scaled);
    return true;
  }
  if (scale <= n.scale) {
    out = divideRounded(n.mantissa, n.scale - scale);
    return true;
  }
  Int128 m = n.mantissa;
  for (int i = n.scale; i < scale; ++i) {
    if (m >= kExactLimit || m <= -kExactLimit) return false;
    m *= 10;
  }
  out = m;
  return true;
}

double toReal(const Number& n) {
  if (!n.exact) return n.real;
  // Dividing two exactly representable values rounds once, so common cases
  // such as 0.1 come out exact.
  return static_cast<double>(n.mantissa) / std::pow(10.0, n.scale);
}

bool isZero(const Number& n) { return n.exact ? n.mantissa == 0 : n.real == 0; }

// ---- text in ----------------------------------------------------------

bool isWhite(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == 0xA0; }

bool equalsNoCase(const char16_t* s, std::size_t n, const char* word) {
  std::size_t len = std::strlen(word);
  if (n != len) return false;
  for (std::size_t i = 0; i < n; ++i) {
    char16_t c = s[i];
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    char w = word[i];
    if (w >= 'a' && w <= 'z') w = static_cast<char>(w - 32);
    if (c != static_cast<unsigned char>(w)) return false;
  }
  return true;
}

// Reads a number as hosts write it: white space around it, a sign in front
// or behind or parentheses for negative, thousands separators, a decimal
// point, an exponent (E or D), or &H / &O for hexadecimal and octal integers.
HRESULT parseNumber(const char16_t* s, std::size_t n, Number& out) {
  std::size_t i = 0;
  while (i < n && isWhite(s[i])) ++i;
  while (n > i && isWhite(s[n - 1])) --n;
  bool negative = false;
  bool parens = false;
  if (i < n && (s[i] == u'+' || s[i] == u'-')) negative = s[i++] == u'-';
  else if (i < n && s[i] == u'(') parens = true, ++i;
  if (parens) {
    if (n <= i || s[n - 1] != u')') return DISP_E_TYPEMISMATCH;
    negative = true;
    --n;
  }
  if (i + 1 < n && s[i] == u'&' && (s[i + 1] == u'H' || s[i + 1] == u'h' || s[i + 1] == u'O' || s[i + 1] == u'o')) {
    const int base = (s[i + 1] == u'H' || s[i + 1] == u'h') ? 16 : 8;
    i += 2;
    if (i == n) return DISP_E_TYPEMISMATCH;
    Int128 v = 0;
    for (; i < n; ++i) {
      int d = -1;
      char16_t c = s[i];
      if (c >= u'0' && c <= u'9') d = c - u'0';
      else if (base == 16 && c >= u'a' && c <= u'f') d = c - u'a' + 10;
      else if (base == 16 && c >= u'A' && c <= u'F') d = c - u'A' + 10;
      if (d < 0 || d >= base) return DISP_E_TYPEMISMATCH;
      if (v >= (Int128{1} << 120)) return DISP_E_OVERFLOW;  // far beyond any target, short of wrapping
      v = v * base + d;
    }
    out = exactNumber(negative ? -v : v);
    return S_OK;
  }
  if (!parens && n > i && (s[n - 1] == u'-' || s[n - 1] == u'+') && !negative) {
    negative = s[n - 1] == u'-';
    --n;
    while (n > i && isWhite(s[n - 1])) --n;
  }
  // Gather the digits into an ASCII form that from_chars can read as well.
  std::string digits;
  int fractionDigits = 0;
  bool anyDigit = false;
  bool inFraction = false;
  for (; i < n; ++i) {
    char16_t c = s[i];
    if (c >= u'0' && c <= u'9') {
      anyDigit = true;
      if (!(digits.empty() && c == u'0')) digits.push_back(static_cast<char>(c));
      if (inFraction) ++fractionDigits;
    } else if (c == u',' && anyDigit && !inFraction) {
      continue;
    } else if (c == u'.' && !inFraction) {
      inFraction = true;
    } else {
      break;
    }
  }
  if (!anyDigit) return DISP_E_TYPEMISMATCH;
  long exponent = 0;
  if (i < n && (s[i] == u'e' || s[i] == u'E' || s[i] == u'd' || s[i] == u'D')) {
    ++i;
    bool expNegative = false;
    if (i < n && (s[i] == u'+' || s[i] == u'-')) expNegative = s[i++] == u'-';
    if (i == n) return DISP_E_TYPEMISMATCH;
    for (; i < n && s[i] >= u'0' && s[i] <= u'9'; ++i)
      if (exponent < 100000) exponent = exponent * 10 + (s[i] - u'0');
    if (expNegative) exponent = -exponent;
  }
  if (i != n) return DISP_E_TYPEMISMATCH;
  if (digits.empty()) {
    out = exactNumber(0);
    return S_OK;
  }
  long scale = fractionDigits - exponent;
  if (scale <= 38 && digits.size() + static_cast<std::size_t>(scale < 0 ? -scale : 0) <= 38) {
    Int128 m = 0;
    for (char c : digits) m = m * 10 + (c - '0');
    if (scale < 0) m *= pow10(static_cast<int>(-scale)), scale = 0;
    if (scale > kMaxDecimalScale) m = divideRounded(m, static_cast<int>(scale) - kMaxDecimalScale), scale = kMaxDecimalScale;
    if (m < kDecimalLimit) {
      out = exactNumber(negative ? -m : m, static_cast<int>(scale));
      return S_OK;
    }
  }
  std::string text = digits + "e" + std::to_string(-scale);
  double d = 0;
  auto r = std::from_chars(text.data(), text.data() + text.size(), d);
  if (r.ec == std::errc::result_out_of_range) {
    // Too small underflows to zero; too large cannot be represented.
    if (scale > 0) d = 0;
    else return DISP_E_OVERFLOW;
  } else if (r.ec != std::errc()) {
    return DISP_E_TYPEMISMATCH;
  }
  out = realNumber(negative ? -d : d);
  return S_OK;
}

HRESULT parseBool(BSTR s, VARIANT_BOOL& out) {
  std::size_t n = SysStringLen(s);
  if (equalsNoCase(s, n, "True") || equalsNoCase(s, n, "#TRUE#")) return out = VARIANT_TRUE, S_OK;
  if (equalsNoCase(s, n, "False") || equalsNoCase(s, n, "#FALSE#")) return out = VARIANT_FALSE, S_OK;
  Number num;
  HRESULT hr = parseNumber(s, n, num);
  if (FAILED(hr)) return hr;
  out = isZero(num) ? VARIANT_FALSE : VARIANT_TRUE;
  return S_OK;
}

// ---- text out ---------------------------------------------------------

std::string formatExact(Int128 m, int scale) {
  bool negative = m < 0;
  if (negative) m = -m;
  std::string digits;
  do {
    digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(m % 10)));
    m /= 10;
  } while (m != 0);
  if (scale > 0) {
    if (digits.size() <= static_cast<std::size_t>(scale)) digits.insert(0, scale + 1 - digits.size(), '0');
    digits.insert(digits.size() - scale, 1, '.');
    while (digits.back() == '0') digits.pop_back();
    if (digits.back() == '.') digits.pop_back();
  }
  if (negative && digits != "0") digits.insert(0, 1, '-');
  return digits;
}

std::string formatReal(double d, int precision) {
  if (d == 0) return "0";
  char buf[64];
  auto r = std::to_chars(buf, buf + sizeof buf, d, std::chars_format::general, precision);
  std::string s(buf, r.ptr);
  for (char& c : s)
    if (c == 'e') c = 'E';
  return s;
}

int64_t daysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  d = doy - (153 * mp + 2) / 5 + 1;
  m = mp < 10 ? mp + 3 : mp - 9;
  y = static_cast<int64_t>(yoe) + era * 400 + (m <= 2);
}

// Dates as the English locale writes them: "M/D/YYYY h:mm:ss AM", the date
// alone at midnight, the time alone on day 0 (30 December 1899).
std::string formatDate(double date) {
  double whole = std::trunc(date);
  int64_t seconds = std::llround(std::fabs(date - whole) * 86400.0);
  if (seconds >= 86400) seconds = 86399;
  std::string out;
  const auto day = static_cast<int64_t>(whole);
  if (day != 0) {
    int64_t y;
    unsigned m, d;
    civilFromDays(day + daysFromCivil(1899, 12, 30), y, m, d);
    out = std::to_string(m) + "/" + std::to_string(d) + "/" + std::to_string(y);
    if (seconds == 0) return out;
    out += ' ';
  }
  int64_t h = seconds / 3600;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d:%02d:%02d %s", static_cast<int>(h % 12 == 0 ? 12 : h % 12),
                static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60), h < 12 ? "AM" : "PM");
  return out + buf;
}

BSTR asciiToBstr(const std::string& s) {
  BSTR b = SysAllocStringLen(nullptr, static_cast<UINT>(s.size()));
  if (b)
    for (std::size_t i = 0; i < s.size(); ++i) b[i] = static_cast<unsigned char>(s[i]);
  return b;
}

// ---- reading the source -----------------------------------------------

// The source value: its base type and where its bytes are, after following
// one level of reference (and one variant reference before it).
struct Source {
  VARTYPE vt = VT_EMPTY;
  const void* p = nullptr;
};

HRESULT resolve(const VARIANT* v, Source& out) {
  if (!isValidVariantType(v->vt)) return DISP_E_BADVARTYPE;
  if (v->vt == (VT_BYREF | VT_VARIANT)) {
    v = v->pvarVal;
    if (!v || v->vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;
    if (!isValidVariantType(v->vt)) return DISP_E_BADVARTYPE;
  }
  if (v->vt & VT_BYREF) {
    if (!v->byref) return E_INVALIDARG;
    out.vt = v->vt & ~VT_BYREF;
    out.p = v->byref;
  } else {
    out.vt = v->vt;
    out.p = v->vt == VT_DECIMAL ? static_cast<const void*>(&v->decVal) : static_cast<const void*>(&v->llVal);
  }
  return S_OK;
}

template <class T>
T load(const Source& s) {
  T value;
  std::memcpy(&value, s.p, sizeof value);
  return value;
}

// The numeric value of a source; DISP_E_TYPEMISMATCH when it has none.
HRESULT readNumber(const Source& s, Number& n) {
  switch (s.vt) {
    case VT_EMPTY: n = exactNumber(0); return S_OK;
    case VT_I1: n = exactNumber(load<int8_t>(s)); return S_OK;
    case VT_UI1: n = exactNumber(load<uint8_t>(s)); return S_OK;
    case VT_I2: case VT_BOOL: n = exactNumber(load<int16_t>(s)); return S_OK;
    case VT_UI2: n = exactNumber(load<uint16_t>(s)); return S_OK;
    case VT_I4: case VT_INT: n = exactNumber(load<int32_t>(s)); return S_OK;
    case VT_UI4: case VT_UINT: n = exactNumber(load<uint32_t>(s)); return S_OK;
    case VT_I8: n = exactNumber(load<int64_t>(s)); return S_OK;
    case VT_UI8: n = exactNumber(load<uint64_t>(s)); return S_OK;
    case VT_CY: n = exactNumber(load<int64_t>(s), 4); return S_OK;
    case VT_R4: n = realNumber(load<float>(s), true); return S_OK;
    case VT_R8: case VT_DATE: n = realNumber(load<double>(s)); return S_OK;
    case VT_DECIMAL: {
      auto dec = load<DECIMAL>(s);
      if (dec.scale > kMaxDecimalScale) return DISP_E_OVERFLOW;
      Int128 m = (Int128{dec.Hi32} << 64) | dec.Lo64;
      n = exactNumber((dec.sign & 0x80) ? -m : m, dec.scale);
      return S_OK;
    }
    case VT_BSTR: {
      BSTR b = load<BSTR>(s);
      return parseNumber(b, SysStringLen(b), n);
    }
    default: return DISP_E_TYPEMISMATCH;
  }
}

// ---- writing the target -----------------------------------------------

template <class T>
HRESULT storeInteger(const Number& n, T& field) {
  Int128 v;
  if (!toScaled(n, 0, v) || v < std::numeric_limits<T>::min() || v > std::numeric_limits<T>::max())
    return DISP_E_OVERFLOW;
  field = static_cast<T>(v);
  return S_OK;
}

HRESULT storeNumber(const Number& n, VARTYPE vt, VARIANT& out) {
  switch (vt) {
    case VT_I1: return storeInteger(n, reinterpret_cast<int8_t&>(out.cVal));
    case VT_UI1: return storeInteger(n, out.bVal);
    case VT_I2: return storeInteger(n, out.iVal);
    case VT_UI2: return storeInteger(n, out.uiVal);
    case VT_I4: return storeInteger(n, out.lVal);
    case VT_UI4: return storeInteger(n, out.ulVal);
    case VT_INT: return storeInteger(n, out.intVal);
    case VT_UINT: return storeInteger(n, out.uintVal);
    case VT_I8: return storeInteger(n, out.llVal);
    case VT_UI8: return storeInteger(n, out.ullVal);
    case VT_BOOL: out.boolVal = isZero(n) ? VARIANT_FALSE : VARIANT_TRUE; return S_OK;
    case VT_CY: {
      Int128 v;
      if (!toScaled(n, 4, v) || v < INT64_MIN || v > INT64_MAX) return DISP_E_OVERFLOW;
      out.cyVal.int64 = static_cast<int64_t>(v);
      return S_OK;
    }
    case VT_R4: {
      double d = toReal(n);
      if (std::isfinite(d) && std::fabs(d) > std::numeric_limits<float>::max()) return DISP_E_OVERFLOW;
      out.fltVal = static_cast<float>(d);
      return S_OK;
    }
    case VT_R8: out.dblVal = toReal(n); return S_OK;
    case VT_DATE: {
      double d = toReal(n);
      if (!(d >= kMinDate && d < kMaxDate)) return DISP_E_OVERFLOW;
      out.date = d;
      return S_OK;
    }
    case VT_DECIMAL: {
      Number exact = n;
      if (!n.exact) {
        // A real keeps the 15 significant digits it is good for.
        if (!std::isfinite(n.real)) return DISP_E_OVERFLOW;
        std::string text = formatReal(n.real, 15);
        std::u16string wide(text.begin(), text.end());
        HRESULT hr = parseNumber(wide.data(), wide.size(), exact);
        if (FAILED(hr)) return hr;
        if (!exact.exact) return DISP_E_OVERFLOW;
      }
      Int128 m = exact.mantissa < 0 ? -exact.mantissa : exact.mantissa;
      if (m >= kDecimalLimit) return DISP_E_OVERFLOW;
      DECIMAL dec{};
      dec.scale = static_cast<BYTE>(exact.scale);
      dec.sign = exact.mantissa < 0 ? 0x80 : 0;
      dec.Hi32 = static_cast<ULONG>(m >> 64);
      dec.Lo64 = static_cast<ULONGLONG>(m);
      out.decVal = dec;  // the type field is set by the caller afterwards
      return S_OK;
    }
    default: return DISP_E_TYPEMISMATCH;
  }
}

HRESULT toText(const Source& s, USHORT flags, VARIANT& out) {
  std::string text;
  if (s.vt == VT_EMPTY) {
    text.clear();
  } else if (s.vt == VT_BOOL && (flags & (VARIANT_ALPHABOOL | VARIANT_LOCALBOOL))) {
    text = load<VARIANT_BOOL>(s) ? "True" : "False";
  } else if (s.vt == VT_DATE) {
    double d = load<double>(s);
    if (!(d >= kMinDate && d < kMaxDate)) return DISP_E_OVERFLOW;
    text = formatDate(d);
  } else {
    Number n;
    HRESULT hr = readNumber(s, n);
    if (FAILED(hr)) return hr;
    text = n.exact ? formatExact(n.mantissa, n.scale) : formatReal(n.real, n.single ? 7 : 15);
  }
  out.bstrVal = asciiToBstr(text);
  return out.bstrVal ? S_OK : E_OUTOFMEMORY;
}

HRESULT toInterface(const Source& s, VARTYPE vt, VARIANT& out) {
  if (s.vt == VT_EMPTY) {
    out.punkVal = nullptr;
    return S_OK;
  }
  if (s.vt != VT_UNKNOWN && s.vt != VT_DISPATCH) return DISP_E_TYPEMISMATCH;
  IUnknown* from = load<IUnknown*>(s);
  out.punkVal = nullptr;
  if (!from) return S_OK;
  return queryObject(from, vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, reinterpret_cast<void**>(&out.punkVal));
}

HRESULT convert(const Source& s, USHORT flags, VARTYPE vt, VARIANT& out) {
  if (s.vt & VT_ARRAY) return DISP_E_TYPEMISMATCH;
  if (vt == VT_EMPTY || vt == VT_NULL) return S_OK;
  if (s.vt == VT_NULL || s.vt == VT_ERROR || vt == VT_ERROR) return DISP_E_TYPEMISMATCH;
  if (vt == VT_BSTR) return toText(s, flags, out);
  if (vt == VT_UNKNOWN || vt == VT_DISPATCH) return toInterface(s, vt, out);
  if (s.vt == VT_BSTR && vt == VT_BOOL) return parseBool(load<BSTR>(s), out.boolVal);
  if (s.vt == VT_BSTR && vt == VT_DATE) return DISP_E_TYPEMISMATCH;
  if (s.vt == VT_BOOL) {
    // True to an unsigned type keeps all its bits: 255 as a byte.
    const auto b = load<VARIANT_BOOL>(s);
    switch (vt) {
      case VT_UI1: out.bVal = static_cast<BYTE>(b); return S_OK;
      case VT_UI2: out.uiVal = static_cast<USHORT>(b); return S_OK;
      case VT_UI4: out.ulVal = static_cast<ULONG>(b); return S_OK;
      case VT_UINT: out.uintVal = static_cast<UINT>(b); return S_OK;
      case VT_UI8: out.ullVal = static_cast<ULONGLONG>(b); return S_OK;
      default: break;
    }
  }
  Number n;
  HRESULT hr = readNumber(s, n);
  return FAILED(hr) ? hr : storeNumber(n, vt, out);
}

}  // namespace

extern "C" {

HRESULT qv_VariantChangeTypeEx(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc, LCID, USHORT wFlags,
                               VARTYPE vt) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  Source src;
  HRESULT hr = resolve(pvargSrc, src);
  if (FAILED(hr)) return hr;
  if ((vt & VT_BYREF) || !isValidVariantType(vt) || vt == VT_VARIANT) return DISP_E_BADVARTYPE;
  VARIANT out;
  VariantInit(&out);
  if (src.vt == vt) {
    hr = VariantCopyInd(&out, pvargSrc);
  } else if (vt & VT_ARRAY) {
    hr = DISP_E_TYPEMISMATCH;
  } else {
    hr = convert(src, wFlags, vt, out);
    out.vt = FAILED(hr) ? VT_EMPTY : vt;
  }
  if (FAILED(hr)) return hr;
  // The source has been read in full, so the destination may be the source.
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&out);
    return hr;
  }
  *pvargDest = out;
  return S_OK;
}

HRESULT qv_VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc, USHORT wFlags, VARTYPE vt) {
  return qv_VariantChangeTypeEx(pvargDest, pvargSrc, LOCALE_USER_DEFAULT, wFlags, vt);
}

}  // extern "C"
