#include "component/class_table.h"

#include <mutex>
#include <string>

#include "component/class_factory.h"
#include "component/dispatch_names.h"
#include "component/inner_unknown.h"
#include "component/node_handle.h"
#include "component/registry_store.h"
#include "component/xml_factory.h"
#include "core/system/utf8.h"

namespace quorvel {

namespace {

HRESULT createQuorvelXml(IUnknown* outer, REFIID riid, void** ppv) {
    CQuorvelXml* handle = CQuorvelXml::createHandle(outer);
    if (!handle) return E_OUTOFMEMORY;
    return handOutNewObject(handle, outer, riid, ppv);
}

struct ClassEntry {
    const CLSID& clsid;
    const char* progId;
    const char* versionedProgId;
    CreateInstanceFunction create;
};

const ClassEntry kClasses[] = {
    {CLSID_QuorvelXml, "QuorvelXml.QuorvelXml", "QuorvelXml.QuorvelXml.1", &createQuorvelXml},
    {CLSID_XmlFactory, "QuorvelXml.XmlFactory", "QuorvelXml.XmlFactory.1", &CXmlFactory::create},
};
constexpr size_t kClassCount = sizeof(kClasses) / sizeof(kClasses[0]);

std::mutex factoryMutex;
ClassFactory* factories[kClassCount] = {};

}  // namespace

HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    for (size_t i = 0; i < kClassCount; ++i) {
        if (clsid != kClasses[i].clsid) continue;
        ClassFactory* factory;
        {
            std::lock_guard<std::mutex> lock(factoryMutex);
            if (!factories[i]) {
                factories[i] = new (std::nothrow) ClassFactory(kClasses[i].create);
                if (!factories[i]) return E_OUTOFMEMORY;
            }
            factory = factories[i];
        }
        return factory->QueryInterface(riid, ppv);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT createClassInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!(context & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;
    IClassFactory* factory = nullptr;
    if (FAILED(getClassObject(clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory))) || !factory)
        return REGDB_E_CLASSNOTREG;
    const HRESULT hr = factory->CreateInstance(outer, riid, ppv);
    factory->Release();
    return hr;
}

HRESULT classIdFromProgId(LPCOLESTR progId, CLSID* clsid) {
    if (!progId || !clsid) return E_INVALIDARG;
    const size_t length = nameLength(progId);
    for (const ClassEntry& entry : kClasses) {
        if (namesEqualNoCase(entry.progId, progId, length) || namesEqualNoCase(entry.versionedProgId, progId, length)) {
            *clsid = entry.clsid;
            return S_OK;
        }
    }
    if (length == 0) return CO_E_CLASSSTRING;
    try {
        const std::string name = sys::toUtf8(std::u16string_view(progId, length));
        if (name.find('\\') != std::string::npos) return CO_E_CLASSSTRING;
        RegistryStore store;
        const std::string path = RegistryStore::defaultPath();
        if (path.empty() || !store.load(path)) return CO_E_CLASSSTRING;
        const auto text = store.value("HKEY_CLASSES_ROOT\\" + name + "\\CLSID");
        if (!text) return CO_E_CLASSSTRING;
        const std::u16string wide = sys::fromUtf8(*text);
        return SUCCEEDED(CLSIDFromString(wide.c_str(), clsid)) ? S_OK : CO_E_CLASSSTRING;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace quorvel
