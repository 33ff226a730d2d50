// The module's exported entry points: class objects, unloading, registration, and the creation
// and ProgID helpers hosts use in place of the platform's.
#include "component/class_table.h"
#include "component/module_lock.h"
#include "component/module_path.h"
#include "component/registration.h"
#include "component/registry_store.h"
#include "core/string_buffer.h"
#include "quorvel/quorvel_xml.hpp"

using namespace quorvel;

extern "C" {

QV_API HRESULT DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv) { return getClassObject(rclsid, riid, ppv); }

QV_API HRESULT DllCanUnloadNow(void) {
    if (moduleLockCount() != 0) return S_FALSE;
    StringBuffer::freeBlockPool();
    return S_OK;
}

// Both report success whatever the steps gave, as registrars expect of them.
QV_API HRESULT DllRegisterServer(void) {
    try {
        const std::string path = RegistryStore::defaultPath();
        if (!path.empty()) registerModuleInFile(path, modulePath());
    } catch (...) {
    }
    return S_OK;
}

QV_API HRESULT DllUnregisterServer(void) {
    try {
        const std::string path = RegistryStore::defaultPath();
        if (!path.empty()) unregisterModuleInFile(path, modulePath());
    } catch (...) {
    }
    return S_OK;
}

QV_API HRESULT qv_CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid,
                                   void** ppv) {
    return createClassInstance(rclsid, pUnkOuter, dwClsContext, riid, ppv);
}

QV_API HRESULT qv_CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
    return classIdFromProgId(lpszProgID, lpclsid);
}

}  // extern "C"
