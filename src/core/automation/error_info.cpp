// Error information: the record a failed call leaves for its caller, and the
// one slot per thread that holds the latest record until the caller takes it.
#include <atomic>
#include <new>

#include "core/automation/host_object.h"
#include "quorvel/automation.hpp"

using namespace quorvel;

namespace {

// One object answers both the writing and the reading interface, as hosts
// expect: they fill it through ICreateErrorInfo and read it through IErrorInfo.
class ErrorInfoRecord final : public ICreateErrorInfo, public IErrorInfo {
 public:
  ErrorInfoRecord() = default;
  ErrorInfoRecord(const ErrorInfoRecord&) = delete;
  ErrorInfoRecord& operator=(const ErrorInfoRecord&) = delete;

  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_ICreateErrorInfo) {
      *ppv = static_cast<ICreateErrorInfo*>(this);
    } else if (riid == IID_IErrorInfo) {
      *ppv = static_cast<IErrorInfo*>(this);
    } else {
      *ppv = nullptr;
      return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

  HRESULT SetGUID(REFGUID rguid) override {
    guid_ = rguid;
    return S_OK;
  }
  HRESULT SetSource(LPOLESTR s) override { return store(source_, s); }
  HRESULT SetDescription(LPOLESTR s) override { return store(description_, s); }
  HRESULT SetHelpFile(LPOLESTR s) override { return store(helpFile_, s); }
  HRESULT SetHelpContext(DWORD context) override {
    helpContext_ = context;
    return S_OK;
  }

  HRESULT GetGUID(GUID* out) override {
    if (!out) return E_INVALIDARG;
    *out = guid_;
    return S_OK;
  }
  HRESULT GetSource(BSTR* out) override { return fetch(source_, out); }
  HRESULT GetDescription(BSTR* out) override { return fetch(description_, out); }
  HRESULT GetHelpFile(BSTR* out) override { return fetch(helpFile_, out); }
  HRESULT GetHelpContext(DWORD* out) override {
    if (!out) return E_INVALIDARG;
    *out = helpContext_;
    return S_OK;
  }

 private:
  ~ErrorInfoRecord() {
    SysFreeString(source_);
    SysFreeString(description_);
    SysFreeString(helpFile_);
  }

  static HRESULT store(BSTR& field, LPOLESTR s) {
    BSTR copy = SysAllocString(s);
    if (s && !copy) return E_OUTOFMEMORY;
    SysFreeString(field);
    field = copy;
    return S_OK;
  }
  static HRESULT fetch(BSTR field, BSTR* out) {
    if (!out) return E_INVALIDARG;
    *out = field ? SysAllocStringLen(field, SysStringLen(field)) : nullptr;
    return (field && !*out) ? E_OUTOFMEMORY : S_OK;
  }

  std::atomic<ULONG> refs_{1};
  GUID guid_ = GUID_NULL;
  BSTR source_ = nullptr;
  BSTR description_ = nullptr;
  BSTR helpFile_ = nullptr;
  DWORD helpContext_ = 0;
};

// The thread's record; released when the thread ends with one still set.
struct ThreadErrorSlot {
  IErrorInfo* info = nullptr;
  ~ThreadErrorSlot() {
    if (info) releaseObject(info);
  }
};

thread_local ThreadErrorSlot t_errorSlot;

}  // namespace

extern "C" {

HRESULT qv_CreateErrorInfo(ICreateErrorInfo** pperrinfo) {
  if (!pperrinfo) return E_INVALIDARG;
  *pperrinfo = new (std::nothrow) ErrorInfoRecord();
  return *pperrinfo ? S_OK : E_OUTOFMEMORY;
}

HRESULT qv_SetErrorInfo(ULONG dwReserved, IErrorInfo* perrinfo) {
  if (dwReserved != 0) return E_INVALIDARG;
  if (perrinfo) addRefObject(perrinfo);
  IErrorInfo* old = t_errorSlot.info;
  t_errorSlot.info = perrinfo;
  if (old) releaseObject(old);
  return S_OK;
}

HRESULT qv_GetErrorInfo(ULONG dwReserved, IErrorInfo** pperrinfo) {
  if (!pperrinfo || dwReserved != 0) return E_INVALIDARG;
  *pperrinfo = t_errorSlot.info;
  t_errorSlot.info = nullptr;
  return *pperrinfo ? S_OK : S_FALSE;
}

}  // extern "C"
