// A C++ host that knows only the public headers and links the shared library, as an
// application would: it creates a handle by class and by ProgID, calls members through the
// interface, and reads a failure's error information.
#include <cstdio>
#include <string>

#include "quorvel/quorvel_xml.hpp"

using namespace quorvel;

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "failed: %s\n", what);
        ++failures;
    }
}

std::u16string take(BSTR s) {
    std::u16string text(s ? s : u"", SysStringLen(s));
    SysFreeString(s);
    return text;
}

}  // namespace

int main() {
    CLSID clsid{};
    check(CLSIDFromProgID(u"QuorvelXml.QuorvelXml", &clsid) == S_OK && clsid == CLSID_QuorvelXml, "ProgID");
    IQuorvelXml* xml = nullptr;
    check(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IQuorvelXml, reinterpret_cast<void**>(&xml)) ==
              S_OK,
          "create");
    if (!xml) return 1;

    BSTR text = nullptr;
    check(xml->get_Version(&text) == S_OK && take(text) == u"4.0.2", "Version");
    BSTR tag = SysAllocString(u"catalog");
    check(xml->put_Tag(tag) == S_OK, "Tag put");
    SysFreeString(tag);
    check(xml->get_Tag(&text) == S_OK && take(text) == u"catalog", "Tag get");
    LONG id = 0;
    check(xml->get_TreeId(&id) == S_OK && id >= 100, "TreeId");

    check(xml->SaveXmlLog(nullptr) == E_FAIL, "failed call");
    IErrorInfo* info = nullptr;
    check(GetErrorInfo(0, &info) == S_OK && info, "error information");
    if (info) {
        check(info->GetDescription(&text) == S_OK && take(text) == u"(SaveXmlLog)\nParameter is NULL", "summary");
        info->Release();
    }

    IXmlFactory* factory = nullptr;
    check(CoCreateInstance(CLSID_XmlFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IXmlFactory,
                           reinterpret_cast<void**>(&factory)) == S_OK,
          "factory");
    IQuorvelXml* other = nullptr;
    if (factory) {
        check(factory->NewXml(&other) == S_OK && other, "NewXml");
        factory->Release();
    }
    LONG otherId = 0;
    if (other) {
        check(other->get_TreeId(&otherId) == S_OK && otherId != id, "separate documents");
        other->Release();
    }
    xml->Release();
    check(DllCanUnloadNow() == S_OK, "unloadable at the end");
    return failures ? 1 : 0;
}
