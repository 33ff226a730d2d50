// Registration of the module's two classes, their interfaces and type library in the registry
// stand-in (registry_store.h), with the registrar's rules: a NoRemove key is never deleted, a
// ForceRemove key is deleted with its subtree before it is written and on unregistration, and
// any other key is deleted on unregistration once no subkey is left in it.
#pragma once
#include <string>

#include "quorvel/automation.hpp"

namespace quorvel {

class RegistryStore;

// Where registration records the module's path; left in place on unregistration.
inline constexpr const char* kRegisteredDllKey = "HKEY_LOCAL_MACHINE\\Software\\Quorvel\\QuorvelXml.QuorvelXml";
inline constexpr const char* kRegisteredDllValue = "registered_dll";

// Writes the classes' scripts (with "%MODULE%" standing for modulePath), the type library and
// its interfaces, then records the registered path. Returns nothing: registration reports
// success whatever the steps gave.
void registerModule(RegistryStore& store, const std::string& modulePath);
void unregisterModule(RegistryStore& store, const std::string& modulePath);

// The same on the registry file at registryPath (loaded, changed, written back). False when
// the file could not be read or written.
bool registerModuleInFile(const std::string& registryPath, const std::string& modulePath);
bool unregisterModuleInFile(const std::string& registryPath, const std::string& modulePath);

// "{XXXXXXXX-...}" as narrow text.
std::string guidText(const GUID& guid);
// The directory of a module path: everything before its last "/", "\" or ":".
std::string moduleDirectory(const std::string& modulePath);

}  // namespace quorvel
