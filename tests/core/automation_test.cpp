#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstring>
#include <string>
#include <thread>

#include "core/automation/bstr_holder.h"
#include "core/automation/com_ptr.h"
#include "core/automation/variant_holder.h"
#include "quorvel/automation.hpp"

using namespace quorvel;

// The layouts hosts compiled against the platform's headers rely on.
static_assert(sizeof(VARIANT) == 24);
static_assert(offsetof(VARIANT, vt) == 0 && offsetof(VARIANT, lVal) == 8 && offsetof(VARIANT, parray) == 8);
static_assert(offsetof(VARIANT, decVal) == 0 && sizeof(DECIMAL) == 16 && offsetof(DECIMAL, Lo64) == 8);
static_assert(sizeof(SAFEARRAY) == 32 && offsetof(SAFEARRAY, pvData) == 16 && offsetof(SAFEARRAY, rgsabound) == 24);
static_assert(sizeof(DISPPARAMS) == 24 && sizeof(EXCEPINFO) == 64 && offsetof(EXCEPINFO, scode) == 56);
static_assert(sizeof(GUID) == 16 && sizeof(CY) == 8);
static_assert(E_FAIL == static_cast<HRESULT>(0x80004005u) && DISP_E_DIVBYZERO == static_cast<HRESULT>(0x80020012u));

namespace {

// Counts its references so tests can see who took and dropped them.
class Counted final : public IDispatch {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (riid != IID_IUnknown && !(dispatch && riid == IID_IDispatch)) return *ppv = nullptr, E_NOINTERFACE;
    *ppv = this;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs; }
  ULONG Release() override { return --refs; }
  HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
  HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
  std::atomic<ULONG> refs{1};
  bool dispatch = false;
};

std::u16string text(BSTR s) { return {s, SysStringLen(s)}; }

// A variant holding its own reference to the object.
VariantHolder holding(Counted& obj) {
  VariantHolder v;
  v->vt = VT_UNKNOWN;
  v->punkVal = &obj;
  obj.AddRef();
  return v;
}

}  // namespace

TEST(Bstr, LengthsPrefixAndTerminator) {
  const char16_t withZeros[] = {u'a', 0, u'b', 0};
  BstrHolder s(SysAllocStringLen(withZeros, 4));
  ASSERT_NE(s.get(), nullptr);
  EXPECT_EQ(SysStringLen(s.get()), 4u);
  EXPECT_EQ(SysStringByteLen(s.get()), 8u);
  uint32_t prefix;
  std::memcpy(&prefix, reinterpret_cast<char*>(s.get()) - 4, 4);
  EXPECT_EQ(prefix, 8u);
  EXPECT_EQ(s.get()[4], 0);
  EXPECT_EQ(text(s.get()), std::u16string(withZeros, 4));

  EXPECT_EQ(SysAllocString(nullptr), nullptr);
  EXPECT_EQ(SysStringLen(nullptr), 0u);
  EXPECT_EQ(text(BstrHolder(SysAllocStringLen(nullptr, 3)).get()), std::u16string(3, u'\0'));
  EXPECT_EQ(text(BstrHolder(SysAllocString(withZeros)).get()), u"a");

  BstrHolder odd(SysAllocStringByteLen("abc", 3));
  EXPECT_EQ(SysStringByteLen(odd.get()), 3u);
  EXPECT_EQ(SysStringLen(odd.get()), 1u);
  EXPECT_EQ(std::memcmp(odd.get(), "abc\0\0", 5), 0);

  // Reallocating from a part of the string itself.
  BSTR r = SysAllocString(u"hello world");
  ASSERT_TRUE(SysReAllocStringLen(&r, r + 6, 5));
  EXPECT_EQ(text(r), u"world");
  SysFreeString(r);
  EXPECT_EQ(SysAllocStringLen(nullptr, 0x7FFFFFFF), nullptr);
}

TEST(Variant, ClearAndCopyOwnWhatTheyShould) {
  Counted obj;
  VariantHolder unk = holding(obj);
  {
    VariantHolder copy;
    ASSERT_EQ(VariantCopy(copy.get(), unk.get()), S_OK);
    EXPECT_EQ(obj.refs, 3u);
  }
  ASSERT_EQ(unk.clear(), S_OK);
  EXPECT_EQ(obj.refs, 1u);

  // A by-reference value belongs to someone else: copies stay references.
  BSTR owned = SysAllocString(u"mine");
  VariantHolder ref, refCopy, deref;
  ref->vt = VT_BYREF | VT_BSTR;
  ref->pbstrVal = &owned;
  ASSERT_EQ(VariantCopy(refCopy.get(), ref.get()), S_OK);
  EXPECT_EQ(refCopy->pbstrVal, &owned);
  ASSERT_EQ(VariantCopyInd(deref.get(), ref.get()), S_OK);
  EXPECT_NE(deref->bstrVal, owned);
  EXPECT_EQ(text(deref->bstrVal), u"mine");
  ref.clear();
  refCopy.clear();
  SysFreeString(owned);  // a clear that freed it would show as a double free

  // Through a variant reference to a decimal, which overlays the type field.
  VARIANT inner;
  inner.decVal = DECIMAL{0, 2, 0x80, 0, 12345};
  inner.vt = VT_DECIMAL;
  VariantHolder outer, dec;
  outer->vt = VT_BYREF | VT_VARIANT;
  outer->pvarVal = &inner;
  ASSERT_EQ(VariantCopyInd(dec.get(), outer.get()), S_OK);
  EXPECT_EQ(dec->vt, VT_DECIMAL);
  EXPECT_TRUE(dec->decVal.scale == 2 && dec->decVal.sign == 0x80 && dec->decVal.Lo64 == 12345u);

  // Arrays are copied deeply, strings included and an absent one left absent; a locked array is not freed.
  VariantHolder arr, arrCopy;
  arr->vt = VT_ARRAY | VT_BSTR;
  arr->parray = SafeArrayCreateVector(VT_BSTR, 0, 2);
  static_cast<BSTR*>(arr->parray->pvData)[1] = SysAllocString(u"x");
  ASSERT_EQ(VariantCopy(arrCopy.get(), arr.get()), S_OK);
  BSTR copied = static_cast<BSTR*>(arrCopy->parray->pvData)[1];
  EXPECT_NE(copied, static_cast<BSTR*>(arr->parray->pvData)[1]);
  EXPECT_EQ(text(copied), u"x");
  EXPECT_EQ(static_cast<BSTR*>(arrCopy->parray->pvData)[0], nullptr);
  ASSERT_EQ(SafeArrayLock(arr->parray), S_OK);
  EXPECT_EQ(arr.clear(), DISP_E_ARRAYISLOCKED);
  SafeArrayUnlock(arr->parray);

  // Arrays of objects, as the selection members return them: each copy holds its own references.
  VariantHolder objs, objsCopy;
  objs->vt = VT_ARRAY | VT_DISPATCH;
  objs->parray = SafeArrayCreateVector(VT_DISPATCH, 0, 2);
  EXPECT_TRUE(objs->parray->fFeatures & FADF_DISPATCH);
  for (int i = 0; i < 2; ++i) static_cast<IDispatch**>(objs->parray->pvData)[i] = (obj.AddRef(), &obj);
  ASSERT_EQ(VariantCopy(objsCopy.get(), objs.get()), S_OK);
  VARTYPE vt = VT_EMPTY;
  EXPECT_EQ(SafeArrayGetVartype(objsCopy->parray, &vt), S_OK);
  EXPECT_EQ(vt, VT_DISPATCH);
  EXPECT_EQ(static_cast<IDispatch**>(objsCopy->parray->pvData)[1], &obj);
  EXPECT_EQ(obj.refs, 5u);
  EXPECT_EQ(objs.clear(), S_OK);
  EXPECT_EQ(obj.refs, 3u);
  EXPECT_EQ(objsCopy.clear(), S_OK);
  EXPECT_EQ(obj.refs, 1u);

  VARIANT bad;
  bad.vt = VT_BYREF | VT_EMPTY;
  EXPECT_EQ(VariantClear(&bad), DISP_E_BADVARTYPE);
}

namespace {

struct Coercion {
  VARTYPE from;
  double number;           // value for numeric sources
  const char16_t* string;  // value for string sources
  VARTYPE to;
  USHORT flags;
  HRESULT hr;
  const char16_t* expect;  // result shown as a string, through a second coercion
};

VariantHolder source(const Coercion& c) {
  VariantHolder v;
  v->vt = c.from;
  switch (c.from) {
    case VT_BSTR: v->bstrVal = SysAllocString(c.string); break;
    case VT_I4: v->lVal = static_cast<LONG>(c.number); break;
    case VT_BOOL: v->boolVal = c.number ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_R4: v->fltVal = static_cast<float>(c.number); break;
    case VT_R8: case VT_DATE: v->dblVal = c.number; break;
    case VT_CY: v->cyVal.int64 = static_cast<LONGLONG>(c.number); break;
    case VT_UI8: v->ullVal = UINT64_MAX; break;
    default: break;
  }
  return v;
}

}  // namespace

TEST(Variant, ChangeTypeTable) {
  const HRESULT OK = S_OK, OVER = DISP_E_OVERFLOW, MISMATCH = DISP_E_TYPEMISMATCH;
  const Coercion table[] = {
      {VT_EMPTY, 0, nullptr, VT_BSTR, 0, OK, u""}, {VT_NULL, 0, nullptr, VT_I4, 0, MISMATCH, nullptr},
      {VT_I4, -1, nullptr, VT_UI1, 0, OVER, nullptr}, {VT_I4, -42, nullptr, VT_BSTR, 0, OK, u"-42"},
      {VT_I4, 7, nullptr, VT_BOOL, 0, OK, u"-1"}, {VT_BOOL, 1, nullptr, VT_BSTR, VARIANT_ALPHABOOL, OK, u"True"},
      // Rounding to even, from doubles, currency and strings alike.
      {VT_R8, -2.5, nullptr, VT_I2, 0, OK, u"-2"}, {VT_R8, 2147483647.5, nullptr, VT_I4, 0, OVER, nullptr},
      {VT_R8, 1e300, nullptr, VT_R4, 0, OVER, nullptr}, {VT_R8, 1.0 / 3, nullptr, VT_BSTR, 0, OK, u"0.333333333333333"},
      {VT_R8, -1.5e-7, nullptr, VT_BSTR, 0, OK, u"-1.5E-07"}, {VT_R4, 0.1, nullptr, VT_BSTR, 0, OK, u"0.1"},
      {VT_CY, 15000, nullptr, VT_BSTR, 0, OK, u"1.5"}, {VT_CY, 35000, nullptr, VT_I4, 0, OK, u"4"},
      {VT_UI8, 0, nullptr, VT_BSTR, 0, OK, u"18446744073709551615"},
      {VT_DATE, 36526.75, nullptr, VT_BSTR, 0, OK, u"1/1/2000 6:00:00 PM"},
      {VT_BSTR, 0, u" 1,234 ", VT_I4, 0, OK, u"1234"}, {VT_BSTR, 0, u"-7.5", VT_I4, 0, OK, u"-8"},
      {VT_BSTR, 0, u"&H1F", VT_I4, 0, OK, u"31"}, {VT_BSTR, 0, u"2.5D-1", VT_R8, 0, OK, u"0.25"},
      {VT_BSTR, 0, u"12abc", VT_I4, 0, MISMATCH, nullptr}, {VT_BSTR, 0, u"0.1", VT_CY, 0, OK, u"0.1"},
      {VT_BSTR, 0, u"123456789012345678901234567.8", VT_DECIMAL, 0, OK, u"123456789012345678901234567.8"},
      {VT_BSTR, 0, u"#FALSE#", VT_BOOL, 0, OK, u"0"},
      {VT_I4, 1, nullptr, VT_BYREF | VT_I4, 0, DISP_E_BADVARTYPE, nullptr},
  };
  for (const Coercion& c : table) {
    SCOPED_TRACE(::testing::Message() << "from " << c.from << " (" << c.number << ") to " << c.to);
    VariantHolder src = source(c), dst, shown;
    HRESULT hr = VariantChangeType(dst.get(), src.get(), c.flags, c.to);
    ASSERT_EQ(hr, c.hr);
    if (FAILED(hr)) {
      EXPECT_EQ(dst->vt, VT_EMPTY);
      continue;
    }
    ASSERT_EQ(dst->vt, c.to);
    ASSERT_EQ(VariantChangeType(shown.get(), dst.get(), 0, VT_BSTR), S_OK);
    EXPECT_EQ(text(shown->bstrVal), c.expect);
  }
}

TEST(Variant, ChangeTypeInPlaceByReferenceAndObjects) {
  // In place: the string the variant held is released, the number replaces it.
  VariantHolder v, out;
  v->vt = VT_BSTR;
  v->bstrVal = SysAllocString(u"41");
  ASSERT_EQ(VariantChangeType(v.get(), v.get(), 0, VT_I4), S_OK);
  EXPECT_EQ(v->lVal, 41);

  LONG target = 99;
  VARIANT ref, viaVariant;
  ref.vt = VT_BYREF | VT_I4;
  ref.plVal = &target;
  viaVariant.vt = VT_BYREF | VT_VARIANT;
  viaVariant.pvarVal = &ref;
  ASSERT_EQ(VariantChangeType(out.get(), &viaVariant, 0, VT_BSTR), S_OK);
  EXPECT_EQ(text(out->bstrVal), u"99");

  Counted obj;
  VariantHolder unk = holding(obj), disp;
  EXPECT_EQ(VariantChangeType(disp.get(), unk.get(), 0, VT_DISPATCH), E_NOINTERFACE);
  obj.dispatch = true;
  ASSERT_EQ(VariantChangeType(disp.get(), unk.get(), 0, VT_DISPATCH), S_OK);
  EXPECT_EQ(obj.refs, 3u);
  disp.clear();
  unk.clear();
  EXPECT_EQ(obj.refs, 1u);
}

TEST(SafeArray, VectorsAndDimensions) {
  SAFEARRAY* bytes = SafeArrayCreateVector(VT_UI1, 0, 5);
  ASSERT_NE(bytes, nullptr);
  LONG lo = -9, hi = -9;
  EXPECT_EQ(SafeArrayGetLBound(bytes, 1, &lo) | SafeArrayGetUBound(bytes, 1, &hi), S_OK);
  EXPECT_EQ(lo, 0);
  EXPECT_EQ(hi, 4);
  EXPECT_EQ(SafeArrayGetLBound(bytes, 2, &lo), DISP_E_BADINDEX);
  void* data = nullptr;
  ASSERT_EQ(SafeArrayAccessData(bytes, &data), S_OK);
  std::memcpy(data, "hello", 5);
  EXPECT_EQ(SafeArrayDestroy(bytes), DISP_E_ARRAYISLOCKED);
  ASSERT_EQ(SafeArrayUnaccessData(bytes), S_OK);
  SAFEARRAY* copy = nullptr;
  ASSERT_EQ(SafeArrayCopy(bytes, &copy), S_OK);
  EXPECT_EQ(std::memcmp(copy->pvData, "hello", 5), 0);
  SafeArrayDestroy(bytes);
  SafeArrayDestroy(copy);

  SAFEARRAY* none = SafeArrayCreateVector(VT_UI1, 0, 0);
  EXPECT_EQ(SafeArrayGetUBound(none, 1, &hi), S_OK);
  EXPECT_EQ(hi, -1);
  SafeArrayDestroy(none);
  SAFEARRAYBOUND huge[] = {{0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}, {0xFFFFFFFF, 0}};
  EXPECT_EQ(SafeArrayCreate(VT_I4, 3, huge), nullptr);

  // Two dimensions given first-to-last, stored last-to-first; the first index varies fastest.
  SAFEARRAYBOUND bounds[] = {{3, 1}, {4, -2}};
  SAFEARRAY* grid = SafeArrayCreate(VT_I4, 2, bounds);
  ASSERT_NE(grid, nullptr);
  LONG index[] = {2, 0}, outside[] = {4, 0};
  void* cell = nullptr;
  ASSERT_EQ(SafeArrayPtrOfIndex(grid, index, &cell), S_OK);
  EXPECT_EQ(static_cast<LONG*>(cell) - static_cast<LONG*>(grid->pvData), 1 + 2 * 3);
  EXPECT_EQ(SafeArrayPtrOfIndex(grid, outside, &cell), DISP_E_BADINDEX);
  SafeArrayDestroy(grid);

  // Arrays of variants release what their elements hold.
  Counted obj;
  SAFEARRAY* objs = SafeArrayCreateVector(VT_VARIANT, 0, 2);
  static_cast<VARIANT*>(objs->pvData)[0] = holding(obj).release();
  ASSERT_EQ(SafeArrayCopy(objs, &copy), S_OK);
  EXPECT_EQ(obj.refs, 3u);
  SafeArrayDestroy(objs);
  SafeArrayDestroy(copy);
  EXPECT_EQ(obj.refs, 1u);
}

TEST(ErrorInfo, RecordIsPerThreadAndTakenOnce) {
  auto raise = [](const char16_t* description) {
    ComPtr<ICreateErrorInfo> create;
    ASSERT_EQ(CreateErrorInfo(create.put()), S_OK);
    create->SetDescription(const_cast<LPOLESTR>(description));
    create->SetSource(const_cast<LPOLESTR>(u"QuorvelXml.QuorvelXml"));
    ComPtr<IErrorInfo> info;
    ASSERT_EQ(create->QueryInterface(IID_IErrorInfo, info.putVoid()), S_OK);
    ASSERT_EQ(SetErrorInfo(0, info.get()), S_OK);
  };
  raise(u"first");
  raise(u"second");  // replaces the first, which must not leak

  std::u16string seenByOther = u"unset";
  std::thread other([&] {
    ComPtr<IErrorInfo> none, own;
    EXPECT_EQ(GetErrorInfo(0, none.put()), S_FALSE);
    raise(u"other thread");
    ASSERT_EQ(GetErrorInfo(0, own.put()), S_OK);
    BstrHolder d;
    own->GetDescription(d.put());
    seenByOther = d.view();
    raise(u"left behind at thread exit");
  });
  other.join();
  EXPECT_EQ(seenByOther, u"other thread");

  ComPtr<IErrorInfo> info;
  ASSERT_EQ(GetErrorInfo(0, info.put()), S_OK);
  BstrHolder description, source;
  EXPECT_EQ(info->GetDescription(description.put()) | info->GetSource(source.put()), S_OK);
  EXPECT_EQ(description.view(), u"second");
  EXPECT_EQ(source.view(), u"QuorvelXml.QuorvelXml");

  ComPtr<IErrorInfo> again;
  EXPECT_EQ(GetErrorInfo(0, again.put()), S_FALSE);
  EXPECT_EQ(SetErrorInfo(1, info.get()), E_INVALIDARG);
}
