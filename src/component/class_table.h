// The module's class table: QuorvelXml and XmlFactory, in that order, with their ProgIDs and
// class factories. No other class is served.
#pragma once

#include "quorvel/automation.hpp"

namespace quorvel {

// DllGetClassObject: the class's factory, made on first request under the module's lock and
// kept for the life of the module. E_POINTER without a result place; CLASS_E_CLASSNOTAVAILABLE
// for any other class.
HRESULT getClassObject(REFCLSID clsid, REFIID riid, void** ppv);

// The creation stand-in: a new object of one of the module's classes through its factory.
// REGDB_E_CLASSNOTREG for any other class or a context without in-process servers.
HRESULT createClassInstance(REFCLSID clsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv);

// The module's own ProgIDs (with or without version) always; others through the registry file,
// from the default value of the ProgID's CLSID subkey. CO_E_CLASSSTRING when unknown.
HRESULT classIdFromProgId(LPCOLESTR progId, CLSID* clsid);

}  // namespace quorvel
