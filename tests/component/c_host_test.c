/* A host written in plain C: loads libquorvelxml.so with dlopen, creates a
 * node handle through the class factory, calls members at low and high slots
 * of the virtual table, reaches IQuorvelXml2 by QueryInterface and calls one of
 * its members, reads the error information of a failed call, and sees
 * the module become unloadable only once everything is released. Calls by name
 * from C are in tests/install/c_host.c. Exits 0 when every check holds. */
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "quorvel/quorvel_xml.h"

#ifndef QV_LIBRARY_PATH
#error "QV_LIBRARY_PATH must name the built libquorvelxml.so"
#endif

static int failures = 0;
#define CHECK(cond)                                              \
  do {                                                           \
    if (!(cond)) {                                               \
      fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
      ++failures;                                                \
    }                                                            \
  } while (0)

typedef QvBSTR (*SysAllocStringFn)(const QvOLECHAR*);
typedef void (*SysFreeStringFn)(QvBSTR);
typedef QvUINT (*SysStringLenFn)(QvBSTR);
typedef QvHRESULT (*GetErrorInfoFn)(QvULONG, QvIErrorInfo**);

static SysAllocStringFn SysAllocString_;
static SysFreeStringFn SysFreeString_;
static SysStringLenFn SysStringLen_;
static GetErrorInfoFn GetErrorInfo_;

/* Whether a string result holds exactly the ASCII text; frees it. */
static int take_bstr_is(QvBSTR s, const char* ascii) {
  size_t n = strlen(ascii), i;
  int same = s && SysStringLen_(s) == n;
  for (i = 0; same && i < n; ++i) same = s[i] == (QvOLECHAR)(unsigned char)ascii[i];
  SysFreeString_(s);
  return same;
}

int main(void) {
  static const QvOLECHAR rootTag[] = {'r', 'o', 'o', 't', 0};
  void* library;
  QvDllGetClassObjectFn getClassObject;
  QvDllCanUnloadNowFn canUnloadNow;
  QvIClassFactory* factory = NULL;
  QvIQuorvelXml* handle = NULL;
  QvIQuorvelXml* second = NULL;
  QvIQuorvelXml2* handle2 = NULL;
  QvIQuorvelXml* found = NULL;
  QvBSTR compact = NULL;
  QvBSTR indent;
  QvIErrorInfo* info = NULL;
  QvBSTR text = NULL;
  QvBSTR tag;

  library = dlopen(QV_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    fprintf(stderr, "dlopen: %s\n", dlerror());
    return 1;
  }
  /* Through an object pointer, as POSIX suggests, since ISO C has no cast from one to a function pointer. */
#define LOAD(var, name) (*(void**)(&(var)) = dlsym(library, name))
  LOAD(getClassObject, "DllGetClassObject");
  LOAD(canUnloadNow, "DllCanUnloadNow");
  LOAD(SysAllocString_, "qv_SysAllocString");
  LOAD(SysFreeString_, "qv_SysFreeString");
  LOAD(SysStringLen_, "qv_SysStringLen");
  LOAD(GetErrorInfo_, "qv_GetErrorInfo");
  if (!getClassObject || !canUnloadNow || !SysAllocString_ || !SysFreeString_ || !SysStringLen_ || !GetErrorInfo_) {
    fprintf(stderr, "missing export\n");
    return 1;
  }
  CHECK(canUnloadNow() == QV_S_OK);
  CHECK(getClassObject(&QvCLSID_QuorvelXml, &QvIID_IClassFactory, (void**)&factory) == QV_S_OK && factory);
  if (!factory) return 1;
  CHECK(canUnloadNow() == QV_S_FALSE);
  CHECK(factory->lpVtbl->CreateInstance(factory, NULL, &QvIID_IQuorvelXml, (void**)&handle) == QV_S_OK && handle);
  if (!handle) return 1;

  /* Members through the virtual table, at low and high slots. */
  tag = SysAllocString_(rootTag);
  CHECK(handle->lpVtbl->put_Tag(handle, tag) == QV_S_OK);
  SysFreeString_(tag);
  CHECK(handle->lpVtbl->get_Tag(handle, &text) == QV_S_OK && take_bstr_is(text, "root"));

  /* A failed call: a null file name. */
  CHECK(handle->lpVtbl->SaveXmlLog(handle, NULL) == QV_E_FAIL);
  CHECK(GetErrorInfo_(0, &info) == QV_S_OK && info);
  if (info) {
    CHECK(info->lpVtbl->GetDescription(info, &text) == QV_S_OK &&
          take_bstr_is(text, "(SaveXmlLog)\nParameter is NULL"));
    CHECK(info->lpVtbl->GetSource(info, &text) == QV_S_OK && take_bstr_is(text, "QuorvelXml.QuorvelXml"));
    info->lpVtbl->Release(info);
  }
  CHECK(handle->lpVtbl->get_ErrorLogText(handle, &text) == QV_S_OK && take_bstr_is(text, "Parameter is NULL\r\n"));

  /* IQuorvelXml2: the same object and pointer; IQuorvelXml's slots unchanged through its table. */
  CHECK(handle->lpVtbl->QueryInterface(handle, &QvIID_IQuorvelXml2, (void**)&handle2) == QV_S_OK &&
        (void*)handle2 == (void*)handle);
  if (handle2) {
    CHECK(handle2->lpVtbl->get_Tag(handle2, &text) == QV_S_OK && take_bstr_is(text, "root"));
    /* GetXmlIndented with no indent unit is GetXml's compact text. */
    CHECK(handle2->lpVtbl->GetXml(handle2, &compact) == QV_S_OK && compact);
    indent = SysAllocString_(rootTag + 4);
    text = NULL;
    CHECK(handle2->lpVtbl->GetXmlIndented(handle2, indent, &text) == QV_S_OK && text &&
          SysStringLen_(text) == SysStringLen_(compact) &&
          memcmp(text, compact, SysStringLen_(text) * sizeof(QvOLECHAR)) == 0);
    SysFreeString_(indent);
    SysFreeString_(text);
    SysFreeString_(compact);
    /* A selection that finds nothing succeeds and gives no node. */
    found = (QvIQuorvelXml*)handle;  /* must be overwritten */
    tag = SysAllocString_(rootTag);
    CHECK(handle2->lpVtbl->SelectSingleNode(handle2, tag, &found) == QV_S_OK && found == NULL);
    SysFreeString_(tag);
    CHECK(handle2->lpVtbl->Release(handle2) >= 1);
  }

  /* Unloading waits for the last object and the factory. */
  CHECK(factory->lpVtbl->CreateInstance(factory, NULL, &QvIID_IQuorvelXml, (void**)&second) == QV_S_OK && second);
  CHECK(factory->lpVtbl->Release(factory) == 1);
  CHECK(canUnloadNow() == QV_S_FALSE);
  handle->lpVtbl->Release(handle);
  CHECK(canUnloadNow() == QV_S_FALSE);
  if (second) second->lpVtbl->Release(second);
  CHECK(canUnloadNow() == QV_S_OK);

  dlclose(library);
  if (failures) fprintf(stderr, "%d check(s) failed\n", failures);
  return failures ? 1 : 0;
}
