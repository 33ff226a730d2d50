// What a client learns of an interface by name: its members as the type information lists them
// (to tell properties from methods and to pass None the way a parameter wants it), and the
// DISPIDs the object gave for the names a caller used. Shared by all objects whose type
// information names the same interface, so new result objects start with a warm cache.
#pragma once

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "quorvel/automation.hpp"
#include "variant_values.h"

namespace quorvel::python {

struct MemberShape {
    std::string name;  // as the type information spells it
    bool get = false;
    bool put = false;
    bool method = false;
    std::vector<ParamKind> params;  // the method's parameters in order, results left out
    ParamKind putKind = ParamKind::Any;
};

// One member name as callers used it (the key is its lower-case form).
struct NameEntry {
    const MemberShape* shape = nullptr;  // none when the type information does not list it
    std::u16string spelled;              // the name given to GetIDsOfNames
    DISPID dispid = DISPID_UNKNOWN;
    bool resolved = false;
    std::unordered_map<std::string, DISPID> keywords;  // lower-case keyword -> parameter position
};

class InterfaceInfo {
public:
    // The interface of d as its type information describes it; an empty, unshared one for an
    // object that has no type information.
    static std::shared_ptr<InterfaceInfo> of(IDispatch* d);

    bool typed() const { return typed_; }
    const std::string& typeName() const { return typeName_; }
    const std::vector<MemberShape>& members() const { return members_; }

    // The entry of a name (lower-case key), or none yet.
    NameEntry* find(const std::string& key);
    NameEntry& add(const std::string& key, std::u16string spelled);
    const MemberShape* shape(const std::string& key) const;

private:
    // The type's members and its bases'.
    void read(ITypeInfo* type);
    // One type's own members.
    void readMembers(ITypeInfo* type);

    bool typed_ = false;
    std::string typeName_ = "object";
    std::vector<MemberShape> members_;
    std::unordered_map<std::string, size_t> byName_;
    std::unordered_map<std::string, NameEntry> entries_;  // node-based: entries never move
};

// ASCII letters folded to lower case, as the component folds member names.
std::string lowerKey(const std::string& name);
std::string utf8Of(const char16_t* units, size_t count);

}  // namespace quorvel::python
