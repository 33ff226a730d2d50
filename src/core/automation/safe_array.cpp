// Safe arrays: a descriptor with the bounds of every dimension (the last
// dimension first, as hosts expect) and a separate block of element memory,
// in which the first dimension varies fastest. Descriptors made here carry
// 16 bytes in front of them; the element type lives in the last 4 of those.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/automation/variant_types.h"
#include "core/automation/host_object.h"
#include "quorvel/automation.hpp"

using namespace quorvel;

namespace {

constexpr std::size_t kHeader = 16;
constexpr USHORT kNotOwned = FADF_AUTO | FADF_STATIC | FADF_EMBEDDED;

struct ElementKind {
  ULONG size = 0;
  USHORT features = 0;
};

bool elementKind(VARTYPE vt, ElementKind& kind) {
  kind.size = valueSize(vt);
  switch (vt) {
    case VT_BSTR: kind.features = FADF_BSTR; break;
    case VT_UNKNOWN: kind.features = FADF_UNKNOWN; break;
    case VT_DISPATCH: kind.features = FADF_DISPATCH; break;
    case VT_VARIANT: kind.features = FADF_VARIANT; break;
    default: kind.features = 0; break;
  }
  return kind.size != 0;
}

std::size_t descriptorBytes(UINT cDims) {
  return kHeader + sizeof(SAFEARRAY) + (cDims - 1) * sizeof(SAFEARRAYBOUND);
}

char* headerOf(SAFEARRAY* psa) { return reinterpret_cast<char*>(psa) - kHeader; }
uint32_t& vartypeSlot(SAFEARRAY* psa) { return reinterpret_cast<uint32_t*>(psa)[-1]; }

// Element count over all dimensions, or false when it cannot be addressed.
bool elementCount(const SAFEARRAY* psa, std::size_t& count) {
  std::size_t n = 1;
  for (UINT d = 0; d < psa->cDims; ++d)
    if (__builtin_mul_overflow(n, std::size_t{psa->rgsabound[d].cElements}, &n)) return false;
  count = n;
  return true;
}

bool dataBytes(const SAFEARRAY* psa, std::size_t& bytes) {
  std::size_t count = 0;
  return elementCount(psa, count) && !__builtin_mul_overflow(count, std::size_t{psa->cbElements}, &bytes) &&
         bytes <= PTRDIFF_MAX;
}

// Allocates a descriptor (zeroed, with its header) for cDims dimensions.
SAFEARRAY* allocDescriptor(UINT cDims) {
  char* block = static_cast<char*>(std::calloc(1, descriptorBytes(cDims)));
  if (!block) return nullptr;
  auto* psa = reinterpret_cast<SAFEARRAY*>(block + kHeader);
  psa->cDims = static_cast<USHORT>(cDims);
  return psa;
}

void freeDescriptor(SAFEARRAY* psa) { std::free(headerOf(psa)); }

// Releases what the elements own (strings, variants, interfaces); the memory
// itself stays. Elements of an unexpected size are left alone.
void destroyElements(SAFEARRAY* psa) {
  std::size_t count = 0;
  if (!psa->pvData || !elementCount(psa, count)) return;
  if ((psa->fFeatures & FADF_BSTR) && psa->cbElements == sizeof(BSTR)) {
    auto* p = static_cast<BSTR*>(psa->pvData);
    for (std::size_t i = 0; i < count; ++i) {
      SysFreeString(p[i]);
      p[i] = nullptr;
    }
  } else if ((psa->fFeatures & FADF_VARIANT) && psa->cbElements == sizeof(VARIANT)) {
    auto* p = static_cast<VARIANT*>(psa->pvData);
    for (std::size_t i = 0; i < count; ++i) VariantClear(&p[i]);
  } else if ((psa->fFeatures & (FADF_UNKNOWN | FADF_DISPATCH)) && psa->cbElements == sizeof(void*)) {
    auto* p = static_cast<IUnknown**>(psa->pvData);
    for (std::size_t i = 0; i < count; ++i) {
      if (p[i]) releaseObject(p[i]);
      p[i] = nullptr;
    }
  }
}

// Copies count elements from src into the zeroed block dst, taking new
// references and new strings as the element kind requires.
HRESULT copyElements(const SAFEARRAY* from, void* dst, std::size_t count) {
  const USHORT f = from->fFeatures;
  if ((f & FADF_BSTR) && from->cbElements == sizeof(BSTR)) {
    auto* s = static_cast<BSTR*>(from->pvData);
    auto* d = static_cast<BSTR*>(dst);
    for (std::size_t i = 0; i < count; ++i) {
      if (!s[i]) continue;
      d[i] = SysAllocStringByteLen(reinterpret_cast<const char*>(s[i]), SysStringByteLen(s[i]));
      if (!d[i]) return E_OUTOFMEMORY;
    }
  } else if ((f & FADF_VARIANT) && from->cbElements == sizeof(VARIANT)) {
    auto* s = static_cast<VARIANT*>(from->pvData);
    auto* d = static_cast<VARIANT*>(dst);
    for (std::size_t i = 0; i < count; ++i) {
      VariantInit(&d[i]);
      HRESULT hr = VariantCopy(&d[i], &s[i]);
      if (FAILED(hr)) return hr;
    }
  } else {
    std::memcpy(dst, from->pvData, count * from->cbElements);
    if ((f & (FADF_UNKNOWN | FADF_DISPATCH)) && from->cbElements == sizeof(void*)) {
      auto* d = static_cast<IUnknown**>(dst);
      for (std::size_t i = 0; i < count; ++i)
        if (d[i]) addRefObject(d[i]);
    }
  }
  return S_OK;
}

}  // namespace

extern "C" {

SAFEARRAY* qv_SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* rgsabound) {
  ElementKind kind;
  if (!rgsabound || cDims == 0 || cDims > 0xFFFF || !elementKind(vt, kind)) return nullptr;
  SAFEARRAY* psa = allocDescriptor(cDims);
  if (!psa) return nullptr;
  psa->fFeatures = static_cast<USHORT>(FADF_HAVEVARTYPE | kind.features);
  psa->cbElements = kind.size;
  vartypeSlot(psa) = vt;
  for (UINT d = 0; d < cDims; ++d) psa->rgsabound[cDims - 1 - d] = rgsabound[d];
  std::size_t bytes = 0;
  if (!dataBytes(psa, bytes) || !(psa->pvData = std::calloc(1, bytes ? bytes : 1))) {
    freeDescriptor(psa);
    return nullptr;
  }
  return psa;
}

SAFEARRAY* qv_SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  SAFEARRAYBOUND bound{cElements, lLbound};
  return qv_SafeArrayCreate(vt, 1, &bound);
}

HRESULT qv_SafeArrayDestroy(SAFEARRAY* psa) {
  if (!psa) return S_OK;
  if (psa->cLocks) return DISP_E_ARRAYISLOCKED;
  destroyElements(psa);
  if (!(psa->fFeatures & kNotOwned)) {
    std::free(psa->pvData);
    freeDescriptor(psa);
  }
  return S_OK;
}

UINT qv_SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT qv_SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT qv_SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
  if (!psa || !plLbound) return E_INVALIDARG;
  if (nDim < 1 || nDim > psa->cDims) return DISP_E_BADINDEX;
  *plLbound = psa->rgsabound[psa->cDims - nDim].lLbound;
  return S_OK;
}

HRESULT qv_SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
  if (!psa || !plUbound) return E_INVALIDARG;
  if (nDim < 1 || nDim > psa->cDims) return DISP_E_BADINDEX;
  const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - nDim];
  *plUbound = static_cast<LONG>(static_cast<int64_t>(b.lLbound) + b.cElements - 1);
  return S_OK;
}

HRESULT qv_SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
  if (!psa || !pvt) return E_INVALIDARG;
  const USHORT f = psa->fFeatures;
  if (f & FADF_HAVEVARTYPE) *pvt = static_cast<VARTYPE>(vartypeSlot(psa));
  else if (f & FADF_RECORD) *pvt = VT_RECORD;
  else if (f & FADF_BSTR) *pvt = VT_BSTR;
  else if (f & FADF_VARIANT) *pvt = VT_VARIANT;
  else if (f & FADF_DISPATCH) *pvt = VT_DISPATCH;
  else if (f & FADF_UNKNOWN) *pvt = VT_UNKNOWN;
  else return DISP_E_BADVARTYPE;
  return S_OK;
}

HRESULT qv_SafeArrayLock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks >= 0xFFFF) return E_UNEXPECTED;
  ++psa->cLocks;
  return S_OK;
}

HRESULT qv_SafeArrayUnlock(SAFEARRAY* psa) {
  if (!psa) return E_INVALIDARG;
  if (psa->cLocks == 0) return E_UNEXPECTED;
  --psa->cLocks;
  return S_OK;
}

HRESULT qv_SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
  if (!psa || !ppvData) return E_INVALIDARG;
  HRESULT hr = qv_SafeArrayLock(psa);
  *ppvData = SUCCEEDED(hr) ? psa->pvData : nullptr;
  return hr;
}

HRESULT qv_SafeArrayUnaccessData(SAFEARRAY* psa) { return qv_SafeArrayUnlock(psa); }

HRESULT qv_SafeArrayPtrOfIndex(SAFEARRAY* psa, const LONG* rgIndices, void** ppvData) {
  if (!psa || !rgIndices || !ppvData) return E_INVALIDARG;
  std::size_t cell = 0;
  std::size_t stride = 1;
  for (UINT i = 0; i < psa->cDims; ++i) {
    const SAFEARRAYBOUND& b = psa->rgsabound[psa->cDims - 1 - i];
    int64_t offset = static_cast<int64_t>(rgIndices[i]) - b.lLbound;
    if (offset < 0 || offset >= static_cast<int64_t>(b.cElements)) return DISP_E_BADINDEX;
    cell += static_cast<std::size_t>(offset) * stride;
    stride *= b.cElements;
  }
  *ppvData = static_cast<char*>(psa->pvData) + cell * psa->cbElements;
  return S_OK;
}

HRESULT qv_SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
  if (!ppsaOut) return E_INVALIDARG;
  *ppsaOut = nullptr;
  if (!psa) return S_OK;
  std::size_t count = 0;
  std::size_t bytes = 0;
  if (psa->cDims == 0 || !elementCount(psa, count) || !dataBytes(psa, bytes)) return E_INVALIDARG;
  SAFEARRAY* copy = allocDescriptor(psa->cDims);
  if (!copy) return E_OUTOFMEMORY;
  copy->fFeatures = static_cast<USHORT>(psa->fFeatures & ~kNotOwned);
  copy->cbElements = psa->cbElements;
  std::memcpy(copy->rgsabound, psa->rgsabound, psa->cDims * sizeof(SAFEARRAYBOUND));
  if (psa->fFeatures & FADF_HAVEIID) std::memcpy(headerOf(copy), headerOf(psa), kHeader);
  else if (psa->fFeatures & FADF_HAVEVARTYPE) vartypeSlot(copy) = vartypeSlot(psa);
  copy->pvData = std::calloc(1, bytes ? bytes : 1);
  if (!copy->pvData) {
    freeDescriptor(copy);
    return E_OUTOFMEMORY;
  }
  HRESULT hr = psa->pvData ? copyElements(psa, copy->pvData, count) : S_OK;
  if (FAILED(hr)) {
    qv_SafeArrayDestroy(copy);
    return hr;
  }
  *ppsaOut = copy;
  return S_OK;
}

}  // extern "C"
