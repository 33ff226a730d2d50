#include "component/rich_error_info.h"

#include "core/automation/bstr_holder.h"
#include "core/automation/com_ptr.h"
#include "core/string_buffer.h"

namespace quorvel {

void RichErrorInfo::raise(const StringBuffer& description) const {
    ComPtr<ICreateErrorInfo> create;
    if (FAILED(CreateErrorInfo(create.put())) || !create) return;
    BstrHolder text(description.toBstr());
    BstrHolder source(SysAllocString(source_));
    create->SetDescription(text.get());
    create->SetGUID(iid_);
    create->SetSource(source.get());
    ComPtr<IErrorInfo> info;
    if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, info.putVoid())) && info) SetErrorInfo(0, info.get());
}

}  // namespace quorvel
