// Reading documents larger than memory one record at a time: OpenRecords, OpenRecordRange,
// OpenRecordStream, NextRecord, RecordSizeLimit, RecordPath and GetRecordAncestor. The handle
// that opens records becomes a reader; each record comes as a handle on a tree of its own, freed
// when the host releases it. The engine is the stream layer's (stream/record_reader.h).
#include <algorithm>
#include <string>

#include "component/node_handle.h"
#include "component/record_state.h"
#include "core/automation/variant_holder.h"
#include "stream/url_source.h"
#include "tree/tree_node.h"
#if __has_include("xpath/xpath_cache.h")
#include "xpath/xpath_cache.h"
#endif

namespace quorvel {
namespace {

// The namespace bindings queries on the handle's document use (SetXPathNamespace): a record
// path's prefixes resolve through them as an XPath's do.
RecordPath::Bindings queryBindings([[maybe_unused]] const TreeNode* node) {
#if __has_include("xpath/xpath_cache.h")
    if (xpath::DocumentXPath* state = xpath::DocumentXPath::find(node)) return state->bindings()->namespaces;
#endif
    return {};
}

// A byte offset from a host's number: any integer or numeric type it converts from.
bool offsetOf(const VARIANT& v, uint64_t& out) {
    VARIANT converted;
    VariantInit(&converted);
    if (FAILED(VariantChangeType(&converted, &v, 0, VT_I8)) || converted.llVal < 0) return false;
    out = static_cast<uint64_t>(converted.llVal);
    return true;
}

}  // namespace

RecordState& CQuorvelXml::recordState() {
    if (!records_) records_ = std::make_unique<RecordState>();
    return *records_;
}

namespace {

// Makes the handle a reader of the records at recordPath in source; false, logged, for a path
// that is not one.
bool openRecordSource(CQuorvelXml& h, std::unique_ptr<ByteSource> source, BSTR recordPath,
                      const RecordReader::Options& base) {
    Logger& log = h.log();
    StringBuffer pathText;
    h.toUtf8(recordPath, pathText);
    RecordPath path;
    std::string message;
    if (!path.parse(pathText.view(), queryBindings(h.node()), message)) {
        log.LogError(message.c_str());
        log.LogData("recordPath", pathText.data());
        return false;
    }
    RecordState& state = h.recordState();
    RecordReader::Options options = base;
    options.sizeLimit = state.sizeLimit;
    state.reader = std::make_unique<RecordReader>(std::move(source), std::move(path), options);
    state.monitor.reset();
    return true;
}

}  // namespace

HRESULT CQuorvelXml::OpenRecords(BSTR source, BSTR recordPath) {
    return loggedThroughout("OpenRecords", [&] {
        if (!source || !recordPath) {
            log().LogError("Parameter is NULL");
            return false;
        }
        StringBuffer name;
        toUtf8(source, name);
        name.trim();
        std::string error;
        std::unique_ptr<ByteSource> bytes = openSource(std::string(name.view()), error);
        if (!bytes) {
            log().LogError("Failed to open the record source");
            log().LogData("source", name.data());
            log().LogData("error", error.c_str());
            return false;
        }
        return openRecordSource(*this, std::move(bytes), recordPath, {});
    });
}

HRESULT CQuorvelXml::OpenRecordRange(BSTR fileName, BSTR recordPath, VARIANT start, VARIANT end) {
    return loggedThroughout("OpenRecordRange", [&] {
        if (!fileName || !recordPath) {
            log().LogError("Parameter is NULL");
            return false;
        }
        RecordReader::Options options;
        options.ranged = true;
        if (!offsetOf(start, options.start) || !offsetOf(end, options.end)) {
            log().LogError("Byte offsets must be numbers from 0 on");
            return false;
        }
        StringBuffer name;
        toUtf8(fileName, name);
        name.trim();
        std::string error;
        std::unique_ptr<ByteSource> bytes = FileSource::open(std::string(name.view()), error);
        if (!bytes) {
            log().LogError("Failed to open the record source");
            log().LogData("source", name.data());
            log().LogData("error", error.c_str());
            return false;
        }
        return openRecordSource(*this, std::move(bytes), recordPath, options);
    });
}

HRESULT CQuorvelXml::OpenRecordStream(ReadCallback read, void* context, BSTR recordPath) {
    return loggedThroughout("OpenRecordStream", [&] {
        if (!read || !recordPath) {
            log().LogError("Parameter is NULL");
            return false;
        }
        auto bytes = std::make_unique<CallbackSource>(
            [read, context](void* buffer, size_t n) -> ptrdiff_t { return read(context, buffer, n); });
        return openRecordSource(*this, std::move(bytes), recordPath, {});
    });
}

HRESULT CQuorvelXml::NextRecord(IQuorvelXml** record) {
    KeepAlive alive(this);  // a host may release its last reference from a progress handler
    return loggedThroughout("NextRecord", [&] {
        if (!record) {
            log().LogError("Parameter is NULL");
            return false;
        }
        *record = nullptr;
        RecordState* state = recordStateIfAny();
        if (!state || !state->reader) {
            log().LogError("No records are open");
            return false;
        }
        if (state->reader->failed()) {
            log().LogError("Reading records failed earlier");  // the failure was the call before
            return false;
        }
        if (!state->monitor) state->monitor = std::make_unique<ProgressMonitor>(kParseEventId, 0, this, 100);
        TreeNode* root = state->reader->next(&log(), state->monitor.get());
        if (!root) return !state->reader->failed();  // the end is not a failure
        IQuorvelXml* handle = wrapNode(root);
        if (!handle) {
            TreeNode::destroyTree(root);
            log().LogError("Out of memory");
            return false;
        }
        fromInterface(handle)->recordState().ancestry = state->reader->ancestry();
        *record = handle;
        return true;
    });
}

HRESULT CQuorvelXml::get_RecordSizeLimit(LONG* pVal) {
    if (!pVal) return E_POINTER;
    const uint64_t limit = recordStateIfAny() ? recordStateIfAny()->sizeLimit : RecordState::kDefaultSizeLimit;
    *pVal = static_cast<LONG>(std::min<uint64_t>(limit, INT32_MAX));
    return S_OK;
}

HRESULT CQuorvelXml::put_RecordSizeLimit(LONG newVal) {
    return loggedThroughout("RecordSizeLimit", [&] {
        if (newVal <= 0) {
            log().LogError("RecordSizeLimit must be positive");
            return false;
        }
        RecordState& state = recordState();
        state.sizeLimit = static_cast<uint64_t>(newVal);
        if (state.reader) state.reader->setSizeLimit(state.sizeLimit);
        return true;
    });
}

HRESULT CQuorvelXml::get_RecordPath(BSTR* pVal) {
    return loggedThroughout("RecordPath", [&] {
        if (!pVal) {
            log().LogError("Parameter is NULL");
            return false;
        }
        const RecordAncestry* ancestry = recordStateIfAny() ? recordStateIfAny()->ancestry.get() : nullptr;
        *pVal = toHost(ancestry ? ancestry->path() : std::string());
        return *pVal != nullptr;
    });
}

HRESULT CQuorvelXml::GetRecordAncestor(LONG level, IQuorvelXml** ancestor) {
    return loggedThroughout("GetRecordAncestor", [&] {
        if (!ancestor) {
            log().LogError("Parameter is NULL");
            return false;
        }
        *ancestor = nullptr;
        const RecordAncestry* ancestry = recordStateIfAny() ? recordStateIfAny()->ancestry.get() : nullptr;
        if (!ancestry) {
            log().LogError("Not a record");
            return false;
        }
        if (level < 0 || static_cast<size_t>(level) >= ancestry->names.size()) return true;  // none there
        TreeNode* copy = ancestry->copy(static_cast<size_t>(level));
        if (!copy) return true;
        *ancestor = wrapNode(copy);
        if (!*ancestor) {
            TreeNode::destroyTree(copy);
            log().LogError("Out of memory");
            return false;
        }
        return true;
    });
}

}  // namespace quorvel
