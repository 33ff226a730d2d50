/* A plain C host of the automation header: it must compile as C11 and work
 * against the library through the same vtables a C++ caller uses. Exits 0
 * when every check holds. */
#include <stdio.h>
#include <string.h>

#include "quorvel/automation.h"

static int failures = 0;
#define CHECK(cond)                                              \
  do {                                                           \
    if (!(cond)) {                                               \
      fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                \
    }                                                            \
  } while (0)

/* An object written in C, handed to the library inside a variant. */
typedef struct CountedObject {
  QvIUnknown iface;
  QvULONG refs;
} CountedObject;

static QvHRESULT Counted_QueryInterface(QvIUnknown* This, QvREFIID riid, void** ppv) {
  if (qv_IsEqualGUID(riid, &QvIID_IUnknown)) {
    *ppv = This;
    This->lpVtbl->AddRef(This);
    return QV_S_OK;
  }
  *ppv = NULL;
  return QV_E_NOINTERFACE;
}
static QvULONG Counted_AddRef(QvIUnknown* This) { return ++((CountedObject*)This)->refs; }
static QvULONG Counted_Release(QvIUnknown* This) { return --((CountedObject*)This)->refs; }
static const QvIUnknownVtbl countedVtbl = {Counted_QueryInterface, Counted_AddRef, Counted_Release};

int main(void) {
  static const QvOLECHAR hello[] = {'h', 'e', 'l', 'l', 'o', 0};
  static const QvOLECHAR number[] = {'4', '2', 0};
  CountedObject obj = {{&countedVtbl}, 1};
  QvVARIANT v, copy, converted;
  QvSAFEARRAY* bytes;
  QvICreateErrorInfo* create = NULL;
  QvIErrorInfo* info = NULL;
  QvIErrorInfo* taken = NULL;
  QvBSTR text;
  QvBSTR description = NULL;

  CHECK(sizeof(QvVARIANT) == 24);

  text = qv_SysAllocStringLen(hello, 5);
  CHECK(qv_SysStringLen(text) == 5 && qv_SysStringByteLen(text) == 10 && text[5] == 0);
  qv_SysFreeString(text);

  qv_VariantInit(&v);
  qv_VariantInit(&copy);
  v.vt = QV_VT_UNKNOWN;
  v.punkVal = &obj.iface;
  obj.iface.lpVtbl->AddRef(&obj.iface);
  CHECK(qv_VariantCopy(&copy, &v) == QV_S_OK && obj.refs == 3);
  CHECK(qv_VariantClear(&copy) == QV_S_OK && obj.refs == 2);
  CHECK(qv_VariantClear(&v) == QV_S_OK && obj.refs == 1 && v.vt == QV_VT_EMPTY);

  v.vt = QV_VT_BSTR;
  v.bstrVal = qv_SysAllocString(number);
  qv_VariantInit(&converted);
  CHECK(qv_VariantChangeType(&converted, &v, 0, QV_VT_I4) == QV_S_OK);
  CHECK(converted.vt == QV_VT_I4 && converted.lVal == 42);
  qv_VariantClear(&v);

  bytes = qv_SafeArrayCreateVector(QV_VT_UI1, 0, 3);
  CHECK(bytes && bytes->cDims == 1 && bytes->cbElements == 1 && bytes->rgsabound[0].cElements == 3);
  v.vt = QV_VT_ARRAY | QV_VT_UI1;
  v.parray = bytes;
  CHECK(qv_VariantClear(&v) == QV_S_OK);

  CHECK(qv_CreateErrorInfo(&create) == QV_S_OK);
  CHECK(create->lpVtbl->SetDescription(create, (QvLPOLESTR)hello) == QV_S_OK);
  CHECK(create->lpVtbl->SetGUID(create, &QvIID_IDispatch) == QV_S_OK);
  CHECK(create->lpVtbl->QueryInterface(create, &QvIID_IErrorInfo, (void**)&info) == QV_S_OK);
  CHECK(qv_SetErrorInfo(0, info) == QV_S_OK);
  info->lpVtbl->Release(info);
  create->lpVtbl->Release(create);
  CHECK(qv_GetErrorInfo(0, &taken) == QV_S_OK && taken != NULL);
  if (taken) {
    CHECK(taken->lpVtbl->GetDescription(taken, &description) == QV_S_OK);
    CHECK(qv_SysStringLen(description) == 5 && memcmp(description, hello, 10) == 0);
    qv_SysFreeString(description);
    CHECK(taken->lpVtbl->Release(taken) == 0);
  }
  CHECK(qv_GetErrorInfo(0, &taken) == QV_S_FALSE && taken == NULL);

  if (failures == 0) printf("C host check passed\n");
  return failures == 0 ? 0 : 1;
}
