// Variant lifetime: initialising, clearing and copying, with by-reference
// values left to their owner and everything else owned by the variant.
#include <cstring>

#include "core/automation/variant_types.h"
#include "core/automation/host_object.h"
#include "quorvel/automation.hpp"

using namespace quorvel;

namespace {

// Copies the value that a by-reference variant points at into dest (which
// holds nothing yet). Returns an error without touching dest on failure.
HRESULT copyReferencedValue(VARIANT& dest, const VARIANT& src) {
  const VARTYPE base = src.vt & ~VT_BYREF;
  if (!src.byref) return E_INVALIDARG;
  VARIANT out;
  std::memset(&out, 0, sizeof out);
  if (base & VT_ARRAY) {
    HRESULT hr = SafeArrayCopy(*src.pparray, &out.parray);
    if (FAILED(hr)) return hr;
  } else if (base == VT_BSTR) {
    BSTR s = *src.pbstrVal;
    if (s && !(out.bstrVal = SysAllocStringByteLen(reinterpret_cast<const char*>(s), SysStringByteLen(s))))
      return E_OUTOFMEMORY;
  } else if (base == VT_UNKNOWN || base == VT_DISPATCH) {
    out.punkVal = *src.ppunkVal;
    if (out.punkVal) addRefObject(out.punkVal);
  } else if (base == VT_DECIMAL) {
    out.decVal = *src.pdecVal;  // overlays the type field, set below
  } else {
    std::memcpy(&out.llVal, src.byref, valueSize(base));
  }
  out.vt = base;
  dest = out;
  return S_OK;
}

}  // namespace

extern "C" {

void qv_VariantInit(VARIANTARG* pvarg) {
  pvarg->vt = VT_EMPTY;
  pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
}

HRESULT qv_VariantClear(VARIANTARG* pvarg) {
  if (!pvarg) return E_INVALIDARG;
  const VARTYPE vt = pvarg->vt;
  if (!isValidVariantType(vt)) return DISP_E_BADVARTYPE;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      // A locked array stays where it is, so the caller can unlock and retry.
      HRESULT hr = SafeArrayDestroy(pvarg->parray);
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR) {
      SysFreeString(pvarg->bstrVal);
    } else if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && pvarg->punkVal) {
      releaseObject(pvarg->punkVal);
    }
  }
  pvarg->vt = VT_EMPTY;
  return S_OK;
}

HRESULT qv_VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (!isValidVariantType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  if (pvargDest == pvargSrc) return S_OK;
  HRESULT hr = VariantClear(pvargDest);
  if (FAILED(hr)) return hr;
  const VARIANT src = *pvargSrc;
  const VARTYPE vt = src.vt;
  VARIANT out = src;
  if (!(vt & VT_BYREF)) {
    if (vt & VT_ARRAY) {
      hr = SafeArrayCopy(src.parray, &out.parray);
      if (FAILED(hr)) return hr;
    } else if (vt == VT_BSTR && src.bstrVal) {
      out.bstrVal = SysAllocStringByteLen(reinterpret_cast<const char*>(src.bstrVal), SysStringByteLen(src.bstrVal));
      if (!out.bstrVal) return E_OUTOFMEMORY;
    } else if ((vt == VT_UNKNOWN || vt == VT_DISPATCH) && src.punkVal) {
      addRefObject(src.punkVal);
    }
  }
  *pvargDest = out;
  return S_OK;
}

HRESULT qv_VariantCopyInd(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
  if (!pvargDest || !pvargSrc) return E_INVALIDARG;
  if (!(pvargSrc->vt & VT_BYREF)) return qv_VariantCopy(pvargDest, pvargSrc);
  if (!isValidVariantType(pvargSrc->vt)) return DISP_E_BADVARTYPE;
  const VARIANT* from = pvargSrc;
  if (from->vt == (VT_BYREF | VT_VARIANT)) {
    from = from->pvarVal;
    if (!from || from->vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;
    if (!isValidVariantType(from->vt)) return DISP_E_BADVARTYPE;
  }
  VARIANT out;
  VariantInit(&out);
  HRESULT hr = (from->vt & VT_BYREF) ? copyReferencedValue(out, *from) : VariantCopy(&out, from);
  if (FAILED(hr)) return hr;
  hr = VariantClear(pvargDest);
  if (FAILED(hr)) {
    VariantClear(&out);
    return hr;
  }
  *pvargDest = out;
  return S_OK;
}

}  // extern "C"
