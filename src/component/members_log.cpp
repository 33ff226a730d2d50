// The error-log members: the three renderings, clearing, and writing the XML log to a file.
#include <string>
#include <string_view>

#include "component/member_frames.h"
#include "core/system/utf8.h"

namespace quorvel {

namespace {

template <class Render>
HRESULT renderLog(CQuorvelXml& handle, BSTR* pVal, Render&& render) {
    if (!pVal) return E_POINTER;
    try {
        StringBuffer text;
        render(handle.log(), text);
        *pVal = handle.toHost(text);
    } catch (...) {
        *pVal = nullptr;
    }
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

}  // namespace

HRESULT CQuorvelXml::get_ErrorLogHtml(BSTR* pVal) {
    return renderLog(*this, pVal, [](Logger& log, StringBuffer& out) { log.ErrorLogHtml(out); });
}

HRESULT CQuorvelXml::get_ErrorLogXml(BSTR* pVal) {
    return renderLog(*this, pVal, [](Logger& log, StringBuffer& out) { log.ErrorLogXml(out); });
}

HRESULT CQuorvelXml::get_ErrorLogText(BSTR* pVal) {
    return renderLog(*this, pVal, [](Logger& log, StringBuffer& out) { log.ErrorLogText(out); });
}

HRESULT CQuorvelXml::ErrorLogClear() {
    log_.ClearLog();
    return S_OK;
}

// Does not clear the log, so the file shows the previous call's record with this call's own
// context still open at its end.
HRESULT CQuorvelXml::SaveXmlLog(BSTR fileName) {
    return loggedWithoutClearing("SaveXmlLog", [&] {
        if (!fileName) {
            log_.LogError(members::kNullParameter);
            return false;
        }
        try {
            // File names are narrowed to UTF-8, the file system's own form.
            const std::string narrow = sys::toUtf8(std::u16string_view(fileName, SysStringLen(fileName)));
            StringBuffer path(narrow.c_str());
            path.trim();
            log_.SaveXmlLog(path.data());
        } catch (...) {
            log_.LogError("Unexpected error in SaveXmlLog.");  // and the call still succeeds
        }
        return true;
    });
}

}  // namespace quorvel
