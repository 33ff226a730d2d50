// A C++ host: creates a handle, sets and reads properties through the virtual table, reads the
// error of a failed call, and releases everything.
#include <cstdio>
#include <string>

#include "quorvel/quorvel_xml.hpp"

using namespace quorvel;

namespace {

std::u16string take(BSTR s) {
    std::u16string text(s ? s : u"", SysStringLen(s));
    SysFreeString(s);
    return text;
}

int fail(const char* what) {
    std::fprintf(stderr, "cxx_host: %s\n", what);
    return 1;
}

}  // namespace

int main() {
    IQuorvelXml* xml = nullptr;
    if (FAILED(CoCreateInstance(CLSID_QuorvelXml, nullptr, CLSCTX_INPROC_SERVER, IID_IQuorvelXml,
                                reinterpret_cast<void**>(&xml))))
        return fail("no handle");
    BSTR text = nullptr;
    xml->get_Version(&text);
    if (take(text) != u"4.0.2") return fail("Version");
    BSTR tag = SysAllocString(u"catalog");
    xml->put_Tag(tag);
    SysFreeString(tag);
    xml->get_Tag(&text);
    if (take(text) != u"catalog") return fail("Tag");
    LONG id = 0;
    xml->get_TreeId(&id);
    if (id < 100) return fail("TreeId");
    // A null string where one is required: the call fails and says why.
    if (xml->SaveXmlLog(nullptr) != E_FAIL) return fail("SaveXmlLog(null)");
    IErrorInfo* error = nullptr;
    if (GetErrorInfo(0, &error) != S_OK || !error) return fail("no error information");
    error->GetDescription(&text);
    error->Release();
    if (take(text) != u"(SaveXmlLog)\nParameter is NULL") return fail("error description");
    xml->Release();
    if (DllCanUnloadNow() != S_OK) return fail("objects left");
    std::puts("cxx_host: ok");
    return 0;
}
