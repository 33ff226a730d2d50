#include "error_hints.h"

#include "com_error.h"
#include "quorvel/quorvel_members.hpp"

namespace quorvel::python {

namespace {

struct Hint {
    const char* context;  // the summary's first line, or null for any
    const char* message;  // a line of the summary, as the component logs it
    const char* hint;
};

constexpr Hint kHints[] = {
    {nullptr, "Failed to parse XML data (5)",
     "hint: the text holds no element at all ((5) is the message's fixed number, not a position). The parser "
     "repairs every other fault instead of refusing it; ErrorLogText after a load lists what it noticed."},
    {"(GetBinaryContent)", "Failed to unzip data",
     "hint: the password or the data may be wrong: decryption has no integrity check, so a wrong password gives "
     "other bytes, which then do not inflate."},
    {"(GetBinaryContent)", "Failed append compressed data",
     "hint: the password or the data may be wrong: decryption has no integrity check, so a wrong password gives "
     "other bytes, which then do not inflate."},
    {"(GetBinaryContent)", "Failed to decode base64 data", "hint: the node's content is empty."},
};

bool hasLine(const std::string& text, const char* line) {
    const std::string l(line);
    for (size_t at = text.find(l); at != std::string::npos; at = text.find(l, at + 1)) {
        const bool starts = at == 0 || text[at - 1] == '\n';
        const size_t end = at + l.size();
        if (starts && (end == text.size() || text[end] == '\n' || text[end] == '\r')) return true;
    }
    return false;
}

std::string typeName(ArgType t) {
    switch (t) {
        case ArgType::String: return "str";
        case ArgType::Long: return "int";
        case ArgType::Handle: return "QuorvelXml";
        case ArgType::Variant: return "Any";
        case ArgType::NodeArray: return "list[QuorvelXml]";
        case ArgType::StringArray: return "list[str]";
        case ArgType::Scalar: return "float | str | bool";
        case ArgType::None: break;
    }
    return "None";
}

// "GetChild(index: int)" from the member table for the node handle's members; from the type
// information's parameter count for other objects.
std::string signatureOf(const std::string& member, const MemberShape* shape, size_t* count) {
    const std::string key = lowerKey(member);
    for (const MemberInfo& m : kMembers) {
        if (m.kind == MemberKind::PropertyGet || lowerKey(m.name) != key) continue;
        std::string text = std::string(m.name) + "(";
        for (size_t i = 0; i < m.paramCount; ++i) {
            if (i) text += ", ";
            text += m.params[i].name;
            text += ": " + typeName(m.params[i].type);
        }
        *count = m.paramCount;
        return text + ")";
    }
    *count = shape ? shape->params.size() : 0;
    std::string text = (shape ? shape->name : member) + "(";
    for (size_t i = 0; shape && i < shape->params.size(); ++i) {
        if (i) text += ", ";
        text += "arg" + std::to_string(i + 1);
    }
    return text + ")";
}

std::string givenOf(const py::args& args, const py::kwargs& kwargs) {
    std::string text;
    auto add = [&text](const std::string& item) {
        if (!text.empty()) text += ", ";
        text += item;
    };
    for (auto a : args) add(std::string(py::str(py::type::of(a).attr("__name__"))));
    for (auto kw : kwargs)
        add(std::string(py::str(kw.first)) + "=" + std::string(py::str(py::type::of(kw.second).attr("__name__"))));
    return text;
}

}  // namespace

std::string hintFor(const std::string& description) {
    for (const Hint& h : kHints) {
        if (h.context && description.rfind(h.context, 0) != 0) continue;
        if (hasLine(description, h.message)) return h.hint;
    }
    return "";
}

std::string argumentError(HRESULT hr, const std::string& member, const MemberShape* shape, const py::args& args,
                          const py::kwargs& kwargs) {
    size_t count = 0;
    const std::string signature = signatureOf(member, shape, &count);
    const size_t given = args.size() + kwargs.size();
    const std::string called = "called with (" + givenOf(args, kwargs) + ")";
    switch (hr) {
        case DISP_E_BADPARAMCOUNT:
        case DISP_E_PARAMNOTOPTIONAL:
            return signature + " takes " + std::to_string(count) + (count == 1 ? " argument" : " arguments") + ", " +
                   std::to_string(given) + " given: " + called;
        case DISP_E_TYPEMISMATCH:
            return signature + ": an argument does not convert to its parameter's type; " + called;
        case DISP_E_OVERFLOW:
            return signature + ": a number is out of its parameter's range (32-bit for int); " + called;
        default: return "";
    }
}

void explainArguments(py::error_already_set& e, const std::string& member, const MemberShape* shape,
                      const py::args& args, const py::kwargs& kwargs) {
    py::object value = e.value();
    if (!py::hasattr(value, "hresult") || !py::hasattr(value, "description") ||
        py::len(value.attr("description")) != 0)
        throw;
    const HRESULT hr = static_cast<HRESULT>(value.attr("hresult").cast<uint32_t>());
    const std::string text = argumentError(hr, member, shape, args, kwargs);
    if (text.empty()) throw;
    raiseComError(hr, py::str(""), py::str(text));
}

}  // namespace quorvel::python
