// The module: class objects, the lock count and unloading, creation by class and ProgID,
// identifiers as text, and registration in the registry file. The factory class's NewXml, called
// by name as hosts call it, is in python/tests/test_dispatch.py.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "component/module_lock.h"
#include "component/module_path.h"
#include "component/registration.h"
#include "component/registry_store.h"
#include "component_test_support.h"
#include "core/string_buffer.h"
#include "scratch_dir.h"

namespace quorvel {
namespace {

using namespace test;

TEST(Module, ClassObjectsAndTheLockCount) {
    ASSERT_EQ(moduleLockCount(), 0);
    void* p = reinterpret_cast<void*>(1);
    EXPECT_EQ(DllGetClassObject(IID_IQuorvelXml, IID_IClassFactory, &p), CLASS_E_CLASSNOTAVAILABLE);
    ComPtr<IClassFactory> a, b;
    ASSERT_EQ(DllGetClassObject(CLSID_QuorvelXml, IID_IClassFactory, a.putVoid()), S_OK);
    ASSERT_EQ(DllGetClassObject(CLSID_XmlFactory, IID_IUnknown, b.putVoid()), S_OK);
    EXPECT_EQ(moduleLockCount(), 2);
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);

    ComPtr<IQuorvelXml> handle;
    EXPECT_EQ(a->CreateInstance(nullptr, IID_IClassFactory, handle.putVoid()), E_NOINTERFACE);
    EXPECT_EQ(moduleLockCount(), 2);  // the refused object is gone again
    ASSERT_EQ(a->CreateInstance(nullptr, IID_IQuorvelXml, handle.putVoid()), S_OK);
    EXPECT_EQ(moduleLockCount(), 3);
    EXPECT_EQ(a->LockServer(1), S_OK);
    a.reset();
    b.reset();
    EXPECT_EQ(moduleLockCount(), 2);
    handle.reset();
    EXPECT_EQ(DllCanUnloadNow(), S_FALSE);
    ComPtr<IClassFactory> unlock;
    ASSERT_EQ(DllGetClassObject(CLSID_QuorvelXml, IID_IClassFactory, unlock.putVoid()), S_OK);
    EXPECT_EQ(unlock->LockServer(0), S_OK);
    unlock.reset();

    // Unloading gives back the string block pool.
    { StringBuffer warm; }  // a default buffer takes its block from the pool and gives it back
    EXPECT_GT(StringBuffer::pooledBlockCount(), 0);
    EXPECT_EQ(DllCanUnloadNow(), S_OK);
    EXPECT_EQ(StringBuffer::pooledBlockCount(), 0);
}

TEST(Module, CreationByClassProgIdAndIdentifierText) {
    ComPtr<IUnknown> object;
    GUID other = CLSID_QuorvelXml;
    other.Data1 ^= 1;
    EXPECT_EQ(CoCreateInstance(other, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, object.putVoid()),
              REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_QuorvelXml, nullptr, CLSCTX_SERVER, IID_IUnknown, object.putVoid()), S_OK);
    object.reset();

    CLSID found{};
    EXPECT_EQ(CLSIDFromProgID(u"quorvelxml.xmlfactory.1", &found), S_OK);
    EXPECT_TRUE(found == CLSID_XmlFactory);
    EXPECT_EQ(CLSIDFromProgID(u"QuorvelXml.QuorvelXml.2", &found), CO_E_CLASSSTRING);

    // Identifiers as text, both ways; a malformed one changes nothing.
    OLECHAR text[39];
    ASSERT_EQ(StringFromGUID2(CLSID_QuorvelXml, text, 39), 39);
    EXPECT_EQ(peek(BstrHolder::copyOf(text).get()), "{0401FBD5-7529-4F1C-A4A9-BC7CE05B4935}");
    EXPECT_EQ(CLSIDFromString(u"{de5dafc8-da34-434b-9686-75e1506f76be}", &found), S_OK);
    EXPECT_TRUE(found == DIID_IQuorvelXmlEvents);
    EXPECT_EQ(CLSIDFromString(u"{0401FBD5-7529-4F1C-A4A9BC7CE05B49355}", &found), CO_E_CLASSSTRING);
    EXPECT_TRUE(found == DIID_IQuorvelXmlEvents);
}

TEST(Module, RegistryFileFormat) {
    RegistryStore store;
    store.parse(
        "; comment\n"
        "[HKEY_CLASSES_ROOT\\A\\B]\r\n"
        "@=\"quote \\\" and \\\\ backslash\"\n"
        "garbage line\n"
        "\"unterminated=\"x\n"
        "[HKEY_CLASSES_ROOT\\A\\BC]\n");
    EXPECT_EQ(store.keys(), (std::vector<std::string>{"HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT\\A",
                                                      "HKEY_CLASSES_ROOT\\A\\B", "HKEY_CLASSES_ROOT\\A\\BC"}));
    EXPECT_EQ(store.value("hkey_classes_root\\a\\b"), "quote \" and \\ backslash");
    EXPECT_FALSE(store.value("HKEY_CLASSES_ROOT\\A\\B", "unterminated"));
    store.deleteTree("HKEY_CLASSES_ROOT\\a\\b");
    EXPECT_TRUE(store.keyExists("HKEY_CLASSES_ROOT\\A\\BC"));  // a sibling sharing the prefix stays
    EXPECT_FALSE(store.keyExists("HKEY_CLASSES_ROOT\\A\\B"));
}

TEST(Module, RegistrationRoundTrip) {
    const ScratchDir home;
    const char* previous = std::getenv("XDG_DATA_HOME");
    const std::string saved = previous ? previous : "";
    ASSERT_EQ(::setenv("XDG_DATA_HOME", home.dir.c_str(), 1), 0);
    const std::string file = home.path("quorvel/registry.txt");

    const std::string module = modulePath();
    ASSERT_FALSE(module.empty());
    const std::string hkcr = "HKEY_CLASSES_ROOT\\";
    const std::string clsid = hkcr + "CLSID\\{0401FBD5-7529-4F1C-A4A9-BC7CE05B4935}";
    const std::string factory = hkcr + "CLSID\\{6D03D6EE-1E3F-41CF-B200-FF0B28ADD70E}";
    const std::string libid = "{3BC207BE-E695-4F0F-84C5-6BE7B85EEAB7}";
    const std::string lib = hkcr + "TypeLib\\" + libid + "\\1.0";
    const std::string dll = "HKEY_LOCAL_MACHINE\\Software\\Quorvel\\QuorvelXml.QuorvelXml";
    const std::string foreign = hkcr + "CLSID\\{11111111-2222-3333-4444-555555555555}";

    // What was there before: another class, a stale key inside ours, a key a user added to ours.
    {
        RegistryStore before;
        before.setValue(foreign, "", "Other Class");
        before.setValue(hkcr + "Other.Thing\\CLSID", "", "{11111111-2222-3333-4444-555555555555}");
        before.createKey(clsid + "\\Stale");
        before.setValue(hkcr + "QuorvelXml.QuorvelXml\\Extra", "", "kept");
        ASSERT_TRUE(before.save(file));
    }
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(DllRegisterServer(), S_OK);  // twice is the same as once
    RegistryStore after;
    ASSERT_TRUE(after.load(file));

    using Value = std::tuple<std::string, std::string, std::string>;  // key, name ("" default), value
    // What a host needs to find and load the classes.
    const std::vector<Value> written = {
        {clsid + "\\InprocServer32", "", module},
        {clsid + "\\InprocServer32", "ThreadingModel", "Apartment"},
        {clsid + "\\ProgID", "", "QuorvelXml.QuorvelXml.1"},
        {hkcr + "QuorvelXml.XmlFactory\\CurVer", "", "QuorvelXml.XmlFactory.1"},
        {factory + "\\TypeLib", "", libid},
        {lib + "\\0\\linux64", "", module},
        {dll, "registered_dll", module},
    };
    for (const auto& [key, name, value] : written) {
        EXPECT_EQ(after.value(key, name), value) << key << " " << name;
    }
    EXPECT_FALSE(after.keyExists(clsid + "\\Stale"));  // ForceRemove cleared it before writing
    EXPECT_EQ(after.value(foreign), "Other Class");
    EXPECT_EQ(after.value(hkcr + "QuorvelXml.QuorvelXml\\Extra"), "kept");

    // Other classes are found through the file once it knows them.
    CLSID found{};
    EXPECT_EQ(CLSIDFromProgID(u"other.thing", &found), S_OK);
    EXPECT_EQ(guidText(found), "{11111111-2222-3333-4444-555555555555}");

    EXPECT_EQ(DllUnregisterServer(), S_OK);
    RegistryStore left;
    ASSERT_TRUE(left.load(file));
    std::vector<std::string> keys = left.keys();
    std::sort(keys.begin(), keys.end());
    // Our class's ProgID key stays for the key the user added under it.
    std::vector<std::string> expected = {"HKEY_CLASSES_ROOT", hkcr + "CLSID", foreign, hkcr + "Interface",
                                         hkcr + "Other.Thing", hkcr + "Other.Thing\\CLSID", hkcr + "QuorvelXml.QuorvelXml",
                                         hkcr + "QuorvelXml.QuorvelXml\\Extra", hkcr + "TypeLib", "HKEY_LOCAL_MACHINE",
                                         "HKEY_LOCAL_MACHINE\\Software", "HKEY_LOCAL_MACHINE\\Software\\Quorvel", dll};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(left.value(dll, "registered_dll"), module);

    if (previous) {
        ::setenv("XDG_DATA_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_DATA_HOME");
    }
}

}  // namespace
}  // namespace quorvel
