#include "component/registration.h"

#include <mutex>
#include <optional>
#include <vector>

#include "component/registry_store.h"
#include "quorvel/quorvel_xml.hpp"

namespace quorvel {

namespace {

enum class KeyRule { Normal, NoRemove, ForceRemove };

struct ScriptValue {
    std::string name;
    std::string value;
};

// One key of a registry script: its rule, default value, named values and subkeys.
struct ScriptKey {
    std::string name;
    KeyRule rule = KeyRule::Normal;
    std::optional<std::string> defaultValue;
    std::vector<ScriptValue> values;
    std::vector<ScriptKey> subkeys;
};

ScriptKey key(std::string name, std::optional<std::string> defaultValue = std::nullopt,
              std::vector<ScriptKey> subkeys = {}, KeyRule rule = KeyRule::Normal,
              std::vector<ScriptValue> values = {}) {
    return ScriptKey{std::move(name), rule, std::move(defaultValue), std::move(values), std::move(subkeys)};
}

ScriptKey emptyKey(std::string name, KeyRule rule = KeyRule::Normal) { return key(std::move(name), {}, {}, rule); }

constexpr const char* kClassesRoot = "HKEY_CLASSES_ROOT";
constexpr const char* kAutomationProxy = "{00020424-0000-0000-C000-000000000046}";

// The script of the node handle class.
ScriptKey quorvelXmlScript(const std::string& module) {
    const std::string clsid = guidText(CLSID_QuorvelXml);
    const std::string libid = guidText(LIBID_QuorvelXml);
    return key(kClassesRoot, {},
               {
                   key("QuorvelXml.QuorvelXml.1", "QuorvelXml Class", {key("CLSID", clsid)}),
                   key("QuorvelXml.QuorvelXml", "QuorvelXml Class",
                       {key("CLSID", clsid), key("CurVer", "QuorvelXml.QuorvelXml.1")}),
                   key("CLSID", {},
                       {key(clsid, "QuorvelXml Class",
                            {
                                key("ProgID", "QuorvelXml.QuorvelXml.1"),
                                key("VersionIndependentProgID", "QuorvelXml.QuorvelXml"),
                                emptyKey("Programmable", KeyRule::ForceRemove),
                                key("InprocServer32", module, {}, KeyRule::Normal,
                                    {{"ThreadingModel", "Apartment"}}),
                                key("TypeLib", libid),
                            },
                            KeyRule::ForceRemove)},
                       KeyRule::NoRemove),
               },
               KeyRule::NoRemove);
}

// The script of the factory class.
ScriptKey xmlFactoryScript(const std::string& module) {
    const std::string clsid = guidText(CLSID_XmlFactory);
    const std::string libid = guidText(LIBID_QuorvelXml);
    return key(kClassesRoot, {},
               {
                   key("QuorvelXml.XmlFactory.1", "XmlFactory Class", {key("CLSID", clsid), emptyKey("Insertable")}),
                   key("QuorvelXml.XmlFactory", "XmlFactory Class",
                       {key("CLSID", clsid), key("CurVer", "QuorvelXml.XmlFactory.1")}),
                   key("CLSID", {},
                       {key(clsid, "XmlFactory Class",
                            {
                                key("ProgID", "QuorvelXml.XmlFactory.1"),
                                key("VersionIndependentProgID", "QuorvelXml.XmlFactory"),
                                emptyKey("Programmable", KeyRule::ForceRemove),
                                emptyKey("Control", KeyRule::ForceRemove),
                                emptyKey("Insertable", KeyRule::ForceRemove),
                                key("InprocServer32", module, {}, KeyRule::Normal,
                                    {{"ThreadingModel", "Apartment"}}),
                                key("ToolboxBitmap32", module + ", 101", {}, KeyRule::ForceRemove),
                                key("MiscStatus", "0", {key("1", "132497")}),
                                key("TypeLib", libid),
                                key("Version", "1.0"),
                            },
                            KeyRule::ForceRemove)},
                       KeyRule::NoRemove),
               },
               KeyRule::NoRemove);
}

ScriptKey interfaceKey(const GUID& iid, const char* name, const std::string& libid) {
    return key(guidText(iid), name,
               {key("ProxyStubClsid32", kAutomationProxy),
                key("TypeLib", libid, {}, KeyRule::Normal, {{"Version", "1.0"}})},
               KeyRule::ForceRemove);
}

// What registering the type library writes: the library's version key with its flags, help
// directory and module, and a key per interface pointing back to the library.
ScriptKey typeLibraryScript(const std::string& module) {
    const std::string libid = guidText(LIBID_QuorvelXml);
    return key(kClassesRoot, {},
               {
                   key("TypeLib", {},
                       {key(libid, {},
                            {key("1.0", "QuorvelXml 1.0 Type Library",
                                 {key("FLAGS", "0"), key("HELPDIR", moduleDirectory(module)),
                                  key("0", {}, {key("linux64", module)})},
                                 KeyRule::ForceRemove)})},
                       KeyRule::NoRemove),
                   key("Interface", {},
                       {interfaceKey(IID_IQuorvelXml, "IQuorvelXml", libid),
                        interfaceKey(IID_IQuorvelXml2, "IQuorvelXml2", libid),
                        interfaceKey(IID_IXmlFactory, "IXmlFactory", libid),
                        interfaceKey(DIID_IQuorvelXmlEvents, "_IQuorvelXmlEvents", libid)},
                       KeyRule::NoRemove),
               },
               KeyRule::NoRemove);
}

std::string childPath(const std::string& parent, const std::string& name) {
    return parent.empty() ? name : parent + "\\" + name;
}

// Script depth is fixed by the scripts above, so recursion here is bounded.
void applyRegister(RegistryStore& store, const std::string& parent, const ScriptKey& k) {
    const std::string path = childPath(parent, k.name);
    if (k.rule == KeyRule::ForceRemove) store.deleteTree(path);
    store.createKey(path);
    if (k.defaultValue) store.setValue(path, "", *k.defaultValue);
    for (const ScriptValue& v : k.values) store.setValue(path, v.name, v.value);
    for (const ScriptKey& sub : k.subkeys) applyRegister(store, path, sub);
}

void applyUnregister(RegistryStore& store, const std::string& parent, const ScriptKey& k) {
    const std::string path = childPath(parent, k.name);
    if (!store.keyExists(path)) return;
    if (k.rule == KeyRule::ForceRemove) {
        store.deleteTree(path);
        return;
    }
    for (const ScriptKey& sub : k.subkeys) applyUnregister(store, path, sub);
    for (const ScriptValue& v : k.values) store.deleteValue(path, v.name);
    if (k.rule == KeyRule::Normal && !store.hasSubkeys(path)) store.deleteTree(path);
}

std::mutex& registryMutex() {
    static std::mutex m;
    return m;
}

}  // namespace

std::string guidText(const GUID& guid) {
    OLECHAR wide[39];
    StringFromGUID2(guid, wide, 39);
    std::string text(38, '\0');
    for (size_t i = 0; i < 38; ++i) text[i] = static_cast<char>(wide[i]);
    return text;
}

std::string moduleDirectory(const std::string& modulePath) {
    const size_t cut = modulePath.find_last_of("/\\:");
    return cut == std::string::npos ? std::string() : modulePath.substr(0, cut);
}

void registerModule(RegistryStore& store, const std::string& modulePath) {
    applyRegister(store, "", quorvelXmlScript(modulePath));
    applyRegister(store, "", xmlFactoryScript(modulePath));
    applyRegister(store, "", typeLibraryScript(modulePath));
    // Where the class was registered, read back from what the script wrote.
    const auto clsid = store.value("HKEY_CLASSES_ROOT\\QuorvelXml.QuorvelXml\\CLSID");
    if (!clsid) return;
    const auto server = store.value("HKEY_CLASSES_ROOT\\CLSID\\" + *clsid + "\\InprocServer32");
    if (!server) return;
    store.setValue(kRegisteredDllKey, kRegisteredDllValue, *server);
}

void unregisterModule(RegistryStore& store, const std::string& modulePath) {
    applyUnregister(store, "", quorvelXmlScript(modulePath));
    applyUnregister(store, "", xmlFactoryScript(modulePath));
    applyUnregister(store, "", typeLibraryScript(modulePath));
}

bool registerModuleInFile(const std::string& registryPath, const std::string& modulePath) {
    std::lock_guard<std::mutex> lock(registryMutex());
    RegistryStore store;
    if (!store.load(registryPath)) return false;
    registerModule(store, modulePath);
    return store.save(registryPath);
}

bool unregisterModuleInFile(const std::string& registryPath, const std::string& modulePath) {
    std::lock_guard<std::mutex> lock(registryMutex());
    RegistryStore store;
    if (!store.load(registryPath)) return false;
    unregisterModule(store, modulePath);
    return store.save(registryPath);
}

}  // namespace quorvel
