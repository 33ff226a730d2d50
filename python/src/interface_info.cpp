#include "interface_info.h"

#include <cstring>
#include <map>

#include "com_ref.h"

namespace quorvel::python {

namespace {

struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

// Touched only with the interpreter lock held.
std::map<GUID, std::shared_ptr<InterfaceInfo>, GuidLess>& knownInterfaces() {
    static auto* known = new std::map<GUID, std::shared_ptr<InterfaceInfo>, GuidLess>();
    return *known;
}

std::string nameOf(ITypeInfo* type, MEMBERID id) {
    BSTR name = nullptr;
    UINT count = 0;
    if (FAILED(type->GetNames(id, &name, 1, &count)) || count == 0) return {};
    std::string out = utf8Of(name, SysStringLen(name));
    SysFreeString(name);
    return out;
}

constexpr WORD kFuncRestricted = 0x1;  // FUNCFLAG_FRESTRICTED: not for callers by name
constexpr WORD kVarReadOnly = 0x1;     // VARFLAG_FREADONLY

}  // namespace

std::string lowerKey(const std::string& name) {
    std::string key = name;
    for (char& c : key)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + ('a' - 'A'));
    return key;
}

std::string utf8Of(const char16_t* units, size_t count) {
    std::string out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        char32_t c = units[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < count && units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

std::shared_ptr<InterfaceInfo> InterfaceInfo::of(IDispatch* d) {
    UINT count = 0;
    ComRef<ITypeInfo> type;
    if (FAILED(d->GetTypeInfoCount(&count)) || count == 0 ||
        FAILED(d->GetTypeInfo(0, LOCALE_USER_DEFAULT, type.put())) || !type)
        return std::make_shared<InterfaceInfo>();
    TYPEATTR* attr = nullptr;
    if (FAILED(type->GetTypeAttr(&attr)) || !attr) return std::make_shared<InterfaceInfo>();
    const GUID guid = attr->guid;
    type->ReleaseTypeAttr(attr);
    auto& known = knownInterfaces();
    auto it = known.find(guid);
    if (it != known.end()) return it->second;
    auto info = std::make_shared<InterfaceInfo>();
    info->read(type.get());
    known.emplace(guid, info);
    return info;
}

void InterfaceInfo::read(ITypeInfo* type) {
    TYPEATTR* attr = nullptr;
    if (FAILED(type->GetTypeAttr(&attr)) || !attr) return;
    type->ReleaseTypeAttr(attr);
    typed_ = true;

    BSTR name = nullptr;
    if (SUCCEEDED(type->GetDocumentation(MEMBERID_NIL, &name, nullptr, nullptr, nullptr)) && name)
        typeName_ = utf8Of(name, SysStringLen(name));
    SysFreeString(name);

    // An interface that extends another (IQuorvelXml2 extends IQuorvelXml) describes only its own
    // members and names its base as implemented type 0: the bases' members are read too, the
    // interface's own first. A walk of bounded length, as a cycle in foreign information must
    // not loop.
    ComRef<ITypeInfo> current = ComRef<ITypeInfo>::share(type);
    for (int depth = 0; current && depth < 16; ++depth) {
        readMembers(current.get());
        TYPEATTR* a = nullptr;
        if (FAILED(current->GetTypeAttr(&a)) || !a) break;
        const bool hasBase = a->typekind == TKIND_DISPATCH && a->cImplTypes == 1;
        current->ReleaseTypeAttr(a);
        HREFTYPE base = 0;
        ComRef<ITypeInfo> next;
        if (!hasBase || FAILED(current->GetRefTypeOfImplType(0, &base)) ||
            FAILED(current->GetRefTypeInfo(base, next.put())))
            break;
        current = std::move(next);
    }
}

void InterfaceInfo::readMembers(ITypeInfo* type) {
    TYPEATTR* attr = nullptr;
    if (FAILED(type->GetTypeAttr(&attr)) || !attr) return;
    const WORD functions = attr->cFuncs;
    const WORD variables = attr->cVars;
    type->ReleaseTypeAttr(attr);

    auto shapeFor = [this](const std::string& spelled) -> MemberShape& {
        const std::string key = lowerKey(spelled);
        auto found = byName_.find(key);
        if (found != byName_.end()) return members_[found->second];
        byName_.emplace(key, members_.size());
        MemberShape& shape = members_.emplace_back();
        shape.name = spelled;
        return shape;
    };

    for (UINT i = 0; i < functions; ++i) {
        FUNCDESC* f = nullptr;
        if (FAILED(type->GetFuncDesc(i, &f)) || !f) continue;
        const std::string spelled = nameOf(type, f->memid);
        if (!spelled.empty() && !(f->wFuncFlags & kFuncRestricted)) {
            std::vector<ParamKind> params;
            for (SHORT p = 0; p < f->cParams; ++p) {
                const ELEMDESC& e = f->lprgelemdescParam[p];
                if (e.paramdesc.wParamFlags & (PARAMFLAG_FRETVAL | PARAMFLAG_FLCID)) continue;
                params.push_back(paramKindOf(e.tdesc));
            }
            MemberShape& shape = shapeFor(spelled);
            if (f->invkind == INVOKE_PROPERTYGET) {
                shape.get = true;
            } else if (f->invkind == INVOKE_PROPERTYPUT || f->invkind == INVOKE_PROPERTYPUTREF) {
                shape.put = true;
                if (!params.empty()) shape.putKind = params.back();
            } else {
                shape.method = true;
                shape.params = std::move(params);
            }
        }
        type->ReleaseFuncDesc(f);
    }
    for (UINT i = 0; i < variables; ++i) {
        VARDESC* v = nullptr;
        if (FAILED(type->GetVarDesc(i, &v)) || !v) continue;
        const std::string spelled = nameOf(type, v->memid);
        if (!spelled.empty()) {
            MemberShape& shape = shapeFor(spelled);
            shape.get = true;
            shape.put = !(v->wVarFlags & kVarReadOnly);
            shape.putKind = paramKindOf(v->elemdescVar.tdesc);
        }
        type->ReleaseVarDesc(v);
    }
}

NameEntry* InterfaceInfo::find(const std::string& key) {
    auto it = entries_.find(key);
    return it == entries_.end() ? nullptr : &it->second;
}

NameEntry& InterfaceInfo::add(const std::string& key, std::u16string spelled) {
    NameEntry& e = entries_[key];
    e.shape = shape(key);
    e.spelled = std::move(spelled);
    return e;
}

const MemberShape* InterfaceInfo::shape(const std::string& key) const {
    auto it = byName_.find(key);
    return it == byName_.end() ? nullptr : &members_[it->second];
}

}  // namespace quorvel::python
