// What the automation functions know about each type code: which codes may
// stand in a variant and how many bytes a value of each base type takes.
#pragma once

#include "quorvel/automation.hpp"

namespace quorvel {

// Bytes of one value of a base type, as stored in an array or behind a
// reference; 0 for the types that hold no storable value.
constexpr ULONG valueSize(VARTYPE base) {
  switch (base) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: case VT_BOOL: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: case VT_R4: case VT_ERROR: return 4;
    case VT_I8: case VT_UI8: case VT_R8: case VT_CY: case VT_DATE: return 8;
    case VT_DECIMAL: return sizeof(DECIMAL);
    case VT_BSTR: return sizeof(BSTR);
    case VT_UNKNOWN: case VT_DISPATCH: return sizeof(void*);
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
  }
}

// A type code that a variant may carry: a base type up to VT_UINT, alone or
// with VT_ARRAY and/or VT_BYREF; EMPTY and NULL only alone. Records are not
// supported.
constexpr bool isValidVariantType(VARTYPE vt) {
  if (vt & (VT_VECTOR | VT_RESERVED)) return false;
  const VARTYPE base = vt & VT_TYPEMASK;
  if (base > VT_UINT || base == 15) return false;
  if ((vt & (VT_ARRAY | VT_BYREF)) && base <= VT_NULL) return false;
  return true;
}

}  // namespace quorvel
