// CQuorvelXml, the node handle object a host holds: it designates one element of one tree and
// serves the members of IQuorvelXml and IQuorvelXml2 on it (one virtual table: the object's
// IQuorvelXml*, IQuorvelXml2* and IDispatch* are the same pointer). Many handles may designate nodes of one tree; the
// tree lives while any of them does.
//
// The member implementations are split by group over the members_*.cpp files; this header
// gives them what every member needs: the node, the log, host string conversion, new handles
// on found nodes, and the frame that reports failures to the host.
#pragma once
#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string_view>

#include "charset/charset_convert.h"
#include "component/connection_point.h"
#include "component/inner_unknown.h"
#include "component/module_lock.h"
#include "core/data_buffer.h"
#include "core/progress_monitor.h"
#include "core/string_buffer.h"
#include "log/logger.h"
#include "quorvel/quorvel_xml.hpp"

namespace quorvel {

class TreeNode;
struct RecordState;

// Answered only by CQuorvelXml's QueryInterface, with the object itself: how a handle tells that
// an IQuorvelXml argument is one of its own kind without trusting the pointer's type.
// {01C8E401-9C75-4966-AAD1-A5B38F95C88E}
inline constexpr IID IID_CQuorvelXmlObject = {0x01C8E401, 0x9C75, 0x4966,
                                              {0xAA, 0xD1, 0xA5, 0xB3, 0x8F, 0x95, 0xC8, 0x8E}};

// One data item of a failed call's log: a keyword with a text or with a number.
struct LogItem {
    LogItem(const char* keyword, const char* text) : keyword(keyword), text(text ? text : "") {}
    LogItem(const char* keyword, int32_t number) : keyword(keyword), number(number), isNumber(true) {}
    const char* keyword;
    const char* text = nullptr;
    int32_t number = 0;
    bool isNumber = false;
};

class CQuorvelXml final : public IQuorvelXml2,
                          public ISupportErrorInfo,
                          public IConnectionPointContainer,
                          public IProvideClassInfo2,
                          public FireComEvent {
public:
    static constexpr const char* kVersion = "4.0.2";
    static constexpr const char* kLogName = "QuorvelXml4_0_2";
    static constexpr const char16_t* kErrorSource = u"QuorvelXml.QuorvelXml";

    // A new handle on a one-node tree tagged "unnamed", counted as a live object of the module.
    // The caller owns the one reference it comes with, on the inner unknown when `outer`
    // aggregates it. None when memory runs out.
    static CQuorvelXml* createHandle(IUnknown* outer = nullptr);
    // A new handle designating node, as IQuorvelXml with one reference for the caller; none when
    // memory runs out.
    static IQuorvelXml* wrapNode(TreeNode* node);
    // As wrapNode, for one of many handles made in a row on nodes of a large tree: before and
    // after are the nodes of the handles made just before and after it, whose handles a host
    // likely releases right after this one (Python frees a list from its end, C++ a vector from
    // its start). Releasing the handle asks for both into the cache; they may be gone by then,
    // which a prefetch does not mind.
    static IQuorvelXml* wrapNode(TreeNode* node, const TreeNode* before, const TreeNode* after);
    // Asks for what wrapNode(node) will write to be brought into the cache: a caller wrapping many
    // nodes of a large tree, one after another, names the one a few places ahead.
    static void prefetchNode(const TreeNode* node);
    // The handle object behind an interface pointer, or none when p is null or not a handle of
    // this module. Takes no reference: the caller's pointer keeps the object alive.
    static CQuorvelXml* fromInterface(IUnknown* p);
    // Live handle objects in the process (for tests).
    static int64_t liveCount() { return liveCount_.load(std::memory_order_relaxed); }

    CQuorvelXml(const CQuorvelXml&) = delete;
    CQuorvelXml& operator=(const CQuorvelXml&) = delete;

    // ---- For the member implementations ----
    // Holds a reference on the handle for the length of a call that re-enters the host.
    struct KeepAlive {
        explicit KeepAlive(CQuorvelXml* h) : handle(h) { handle->AddRef(); }
        ~KeepAlive() { handle->Release(); }
        KeepAlive(const KeepAlive&) = delete;
        KeepAlive& operator=(const KeepAlive&) = delete;
        CQuorvelXml* handle;
    };
    // Event id of the progress a parse reports through the handle.
    static constexpr uint32_t kParseEventId = 103;
    TreeNode* node() const { return node_; }
    Logger& log() { return log_; }
    // Designates another node of the same tree (the members ending in 2).
    void moveTo(TreeNode* node);
    // Designates root, the root of another tree, after dropping the current node and destroying
    // its tree when nothing else designates it (Clear and the loading members).
    void replaceTree(TreeNode* root);

    // Host strings, through the handle's converter once it is made, else by the route its
    // platform converter takes (UTF-8), without making it. A null host string leaves out as it
    // was (the caller starts from empty). Both may throw std::bad_alloc, which the members'
    // frames catch.
    void toUtf8(BSTR s, StringBuffer& out);
    void toUtf8Bytes(BSTR s, DataBuffer& out);
    // A new host string; an empty text gives an empty, non-null string. None only when memory
    // runs out.
    BSTR toHost(const StringBuffer& text);
    BSTR toHost(std::string_view text);
    // The converter, for members that convert between charsets: made on first use, then kept
    // (with the charsets selected on it). May throw std::bad_alloc, which the members' frames catch.
    CharsetConvert& converter();
    // SaveXml's work, inside the caller's frame: the node's text (indented by `indent` per level,
    // compact when empty) written to the file in the document's declared encoding, which becomes
    // "utf-8" when there is none. False with the writer's messages logged when the write fails.
    bool writeDocument(BSTR fileName, std::string_view indent);
    // What the handle keeps as a record reader or as a record (members_records.cpp); made on
    // first use, absent on every other handle.
    RecordState& recordState();
    RecordState* recordStateIfAny() const { return records_.get(); }

    // The failure sequence: clear the log (unless clearLog is false), open the context, log the
    // message and the items, close it, raise the error summary; returns E_FAIL.
    HRESULT failCall(const char* context, const char* message, std::initializer_list<LogItem> items = {},
                     bool clearLog = true);
    // Raises the log's current error summary as the thread's error information.
    void raiseErrorSummary();

    // Runs body (returning HRESULT) under the catch-all: any exception becomes the failure
    // sequence with message under context.
    template <class Body>
    HRESULT guarded(const char* context, const char* message, Body&& body) {
        try {
            return body();
        } catch (...) {
            return failCall(context, message);
        }
    }
    // A member logged throughout: clears the log and opens context, runs body (returning true
    // on success), closes the context, and on failure raises the summary and returns E_FAIL.
    // An exception adds "Unexpected error." to the open context and fails the call.
    template <class Body>
    HRESULT loggedThroughout(const char* context, Body&& body) {
        return loggedFrame(context, true, body, [this] { log_.LogError("Unexpected error."); });
    }
    // As loggedThroughout, adding to what the log holds instead of clearing it.
    template <class Body>
    HRESULT loggedWithoutClearing(const char* context, Body&& body) {
        return loggedFrame(context, false, body, [this] { log_.LogError("Unexpected error."); });
    }
    // The frame of both: an exception runs onException, which logs into the open context.
    template <class Body, class OnException>
    HRESULT loggedFrame(const char* context, bool clearLog, Body&& body, OnException&& onException) {
        if (clearLog) log_.ClearLog();
        log_.EnterContext(context);
        bool ok;
        try {
            ok = body();
        } catch (...) {
            onException();
            ok = false;
        }
        log_.LeaveContext();
        if (ok) return S_OK;
        raiseErrorSummary();
        return E_FAIL;
    }

    // ---- IUnknown: passed on to the outer object when aggregated ----
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        return aggregation_ ? aggregation_->outer->QueryInterface(riid, ppv) : innerQueryInterface(riid, ppv);
    }
    ULONG AddRef() override { return aggregation_ ? aggregation_->outer->AddRef() : innerAddRef(); }
    ULONG Release() override { return aggregation_ ? aggregation_->outer->Release() : innerRelease(); }
    // The object's own, never passed on.
    HRESULT innerQueryInterface(REFIID riid, void** ppv);
    ULONG innerAddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG innerRelease();
    // The non-delegating unknown; a handle that is not aggregated delegates nothing, so its own
    // IUnknown serves.
    IUnknown* innerUnknown() {
        return aggregation_ ? static_cast<IUnknown*>(&aggregation_->inner) : static_cast<IQuorvelXml2*>(this);
    }

    // ---- IDispatch ----
    HRESULT GetTypeInfoCount(UINT* pctinfo) override;
    HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

    // ---- IQuorvelXml: simple properties (members_properties.cpp) ----
    HRESULT get_Version(BSTR* pVal) override;
    HRESULT get_NumAttributes(LONG* pVal) override;
    HRESULT get_Tag(BSTR* pVal) override;
    HRESULT put_Tag(BSTR newVal) override;
    HRESULT get_Content(BSTR* pVal) override;
    HRESULT put_Content(BSTR newVal) override;
    HRESULT get_NumChildren(LONG* pVal) override;
    HRESULT get_Cdata(LONG* pVal) override;
    HRESULT put_Cdata(LONG newVal) override;
    HRESULT get_TreeId(LONG* pVal) override;

    // ---- Error log (members_log.cpp) ----
    HRESULT get_ErrorLogHtml(BSTR* pVal) override;
    HRESULT get_ErrorLogXml(BSTR* pVal) override;
    HRESULT get_ErrorLogText(BSTR* pVal) override;
    HRESULT ErrorLogClear() override;
    HRESULT SaveXmlLog(BSTR fileName) override;

    // ---- Text: loading, saving, declaration (members_text.cpp) ----
    HRESULT LoadXml(BSTR xmlData, LONG* success) override;
    HRESULT LoadXmlFile(BSTR fileName, LONG* success) override;
    HRESULT LoadXmlV(VARIANT xmlData, LONG* success) override;
    HRESULT SaveXml(BSTR fileName) override;
    HRESULT GetXml(BSTR* xmlData) override;
    HRESULT get_Standalone(BSTR* pVal) override;
    HRESULT put_Standalone(BSTR newVal) override;
    HRESULT get_Encoding(BSTR* pVal) override;
    HRESULT put_Encoding(BSTR newVal) override;

    // ---- Navigation and search (members_navigation.cpp) ----
    HRESULT GetChildContent(BSTR Tag, BSTR* node) override;
    HRESULT GetAttributeName(LONG index, BSTR* name) override;
    HRESULT GetAttributeValue(LONG index, BSTR* value) override;
    HRESULT GetAttrValue(BSTR name, BSTR* value) override;
    HRESULT HasAttrWithValue(BSTR name, BSTR value, LONG* retval) override;
    HRESULT GetChild(LONG index, IQuorvelXml** child) override;
    HRESULT NumChildrenHavingTag(BSTR Tag, LONG* retval) override;
    HRESULT GetNthChildWithTag(BSTR Tag, LONG n, IQuorvelXml** child) override;
    HRESULT FindOrAddNewChild(BSTR Tag, IQuorvelXml** child) override;
    HRESULT SearchForTag(IQuorvelXml* after, BSTR Tag, IQuorvelXml** node) override;
    HRESULT SearchForContent(IQuorvelXml* after, BSTR Tag, BSTR contentPattern, IQuorvelXml** node) override;
    HRESULT SearchAllForContent(IQuorvelXml* after, BSTR contentPattern, IQuorvelXml** node) override;
    HRESULT SearchForAttribute(IQuorvelXml* after, BSTR Tag, BSTR attr, BSTR valuePattern,
                               IQuorvelXml** node) override;
    HRESULT GetParent(IQuorvelXml** parent) override;
    HRESULT FirstChild(IQuorvelXml** child) override;
    HRESULT LastChild(IQuorvelXml** child) override;
    HRESULT NextSibling(IQuorvelXml** sibling) override;
    HRESULT PreviousSibling(IQuorvelXml** sibling) override;
    HRESULT GetChildWithTag(BSTR Tag, IQuorvelXml** child) override;
    HRESULT GetRoot(IQuorvelXml** root) override;
    HRESULT FindNextRecord(BSTR Tag, BSTR contentPattern, IQuorvelXml** node) override;
    HRESULT GetChild2(LONG index, LONG* found) override;
    HRESULT FindChild2(BSTR Tag, LONG* found) override;
    HRESULT GetParent2(LONG* found) override;
    HRESULT FirstChild2(LONG* found) override;
    HRESULT LastChild2(LONG* found) override;
    HRESULT NextSibling2(LONG* found) override;
    HRESULT PreviousSibling2(LONG* found) override;
    HRESULT GetRoot2() override;
    HRESULT FindChild(BSTR Tag, IQuorvelXml** child) override;

    // ---- Editing (members_editing.cpp) ----
    HRESULT AppendToContent(BSTR str) override;
    HRESULT AddAttribute(BSTR name, BSTR value) override;
    HRESULT RemoveAttribute(BSTR name) override;
    HRESULT RemoveAllAttributes() override;
    HRESULT SwapNode(IQuorvelXml* node) override;
    HRESULT SwapTree(IQuorvelXml* tree) override;
    HRESULT AddChildTree(IQuorvelXml* tree) override;
    HRESULT ExtractChildByIndex(LONG index, IQuorvelXml** child) override;
    HRESULT ExtractChildByName(BSTR Tag, BSTR attrName, BSTR attrValue, IQuorvelXml** child) override;
    HRESULT NewChild(BSTR Tag, BSTR Content, IQuorvelXml** child) override;
    HRESULT Clear() override;
    HRESULT RemoveFromTree() override;
    HRESULT UpdateAttribute(BSTR name, BSTR value) override;
    HRESULT NewChild2(BSTR Tag, BSTR Content) override;

    // ---- Sorting (members_sorting.cpp) ----
    HRESULT SortByTag(LONG ascending) override;
    HRESULT SortByContent(LONG ascending) override;
    HRESULT SortByAttribute(BSTR attrName, LONG ascending) override;
    HRESULT SortRecordsByContent(BSTR sortTag, LONG ascending) override;
    HRESULT SortRecordsByAttribute(BSTR sortTag, BSTR attrName, LONG ascending) override;

    // ---- Content coding, compression, encryption and binary content (members_coding.cpp,
    //      members_compression.cpp, members_encryption.cpp) ----
    HRESULT CompressSubtree() override;
    HRESULT CompressNode() override;
    HRESULT DecompressSubtree() override;
    HRESULT DecompressNode() override;
    HRESULT EncryptNode(BSTR password) override;
    HRESULT DecryptNode(BSTR password) override;
    HRESULT QEncodeContent(BSTR charset, VARIANT Content) override;
    HRESULT BEncodeContent(BSTR charset, VARIANT Content) override;
    HRESULT DecodeContent(VARIANT* Content) override;
    HRESULT SetBinaryContent(LONG zipFlag, LONG encryptFlag, BSTR password, VARIANT Content) override;
    HRESULT GetBinaryContent(LONG unzipFlag, LONG decryptFlag, BSTR password, VARIANT* Content) override;

    // ---- HTTP (members_http.cpp) ----
    HRESULT GetURL(BSTR url, BSTR proxy, BSTR username, BSTR password, VARIANT* anyData) override;
    HRESULT HttpPost(BSTR url, IQuorvelXml** response) override;

    // ---- IQuorvelXml2: XPath (members_xpath.cpp) ----
    HRESULT SelectNodes(BSTR xpath, VARIANT* nodes) override;
    HRESULT SelectSingleNode(BSTR xpath, IQuorvelXml** node) override;
    HRESULT SelectValues(BSTR xpath, VARIANT* values) override;
    HRESULT EvaluateXPath(BSTR xpath, VARIANT* result) override;
    HRESULT SetXPathNamespace(BSTR prefix, BSTR uri) override;
    HRESULT SetXPathVariable(BSTR name, VARIANT value) override;

    // ---- Namespaces (members_namespaces.cpp) ----
    HRESULT get_NamespaceUri(BSTR* pVal) override;
    HRESULT get_LocalName(BSTR* pVal) override;
    HRESULT get_Prefix(BSTR* pVal) override;
    HRESULT LookupNamespace(BSTR prefix, BSTR* uri) override;

    // ---- Indented output (members_format.cpp) ----
    HRESULT GetXmlIndented(BSTR indent, BSTR* xmlData) override;
    HRESULT SaveXmlIndented(BSTR fileName, BSTR indent) override;

    // ---- Records (members_records.cpp) ----
    HRESULT OpenRecords(BSTR source, BSTR recordPath) override;
    HRESULT OpenRecordRange(BSTR fileName, BSTR recordPath, VARIANT start, VARIANT end) override;
    HRESULT NextRecord(IQuorvelXml** record) override;
    HRESULT get_RecordSizeLimit(LONG* pVal) override;
    HRESULT put_RecordSizeLimit(LONG newVal) override;
    HRESULT get_RecordPath(BSTR* pVal) override;
    HRESULT GetRecordAncestor(LONG level, IQuorvelXml** ancestor) override;
    HRESULT OpenRecordStream(ReadCallback read, void* context, BSTR recordPath) override;

    // ---- UTF-8 views, virtual table only (members_views.cpp) ----
    HRESULT GetTagUtf8(Utf8View* tag) override;
    HRESULT GetContentUtf8(Utf8View* content) override;
    HRESULT GetAttributeUtf8(LONG index, Utf8View* name, Utf8View* value) override;
    HRESULT FindAttributeUtf8(const char* name, size_t nameLength, Utf8View* value, LONG* found) override;

    // ---- ISupportErrorInfo ----
    HRESULT InterfaceSupportsErrorInfo(REFIID riid) override;

    // ---- IConnectionPointContainer ----
    HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override;
    HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override;

    // ---- IProvideClassInfo2 ----
    HRESULT GetClassInfo(ITypeInfo** ppTI) override;
    HRESULT GetGUID(DWORD dwGuidKind, GUID* pGUID) override;

    // ---- FireComEvent: raises ParsePercentDone with the percent on every connected sink ----
    void FireEvent(uint32_t eventId, uint32_t userValue, uint32_t percent, uint32_t extra) override;

private:
    explicit CQuorvelXml(IUnknown* outer);
    // A handle on node from the start, without a tree of its own to make and destroy first.
    explicit CQuorvelXml(TreeNode* node);
    // Both of the above: on node, or on a new "unnamed" tree when node is null.
    CQuorvelXml(IUnknown* outer, TreeNode* node);
    ~CQuorvelXml() override;
    // Drops the handle reference on the current node, destroying its tree when it was the last.
    void releaseNode();
    // What only an aggregated handle has, made with it: the aggregating object (not counted) and
    // the non-delegating unknown that object holds.
    struct Aggregation {
        Aggregation(CQuorvelXml& owner, IUnknown* outerObject) : outer(outerObject), inner(owner) {}
        IUnknown* const outer;
        InnerUnknown<CQuorvelXml> inner;
    };
    // What few handles use, made together on the first use of either: the object's two
    // connection points and the charset converter (itself made by converter()).
    struct Extras {
        explicit Extras(CQuorvelXml& owner);
        ConnectionPoint events;
        ConnectionPoint propertyNotify;
        std::unique_ptr<CharsetConvert> converter;
    };
    // The extras, made on first use; none when memory runs out. Never throws.
    Extras* extras();

    static std::atomic<int64_t> liveCount_;

    ModuleLockHolder moduleLock_;  // first in, last out: the object counts until it is fully gone
    std::atomic<ULONG> refs_{1};
    const std::unique_ptr<Aggregation> aggregation_;  // none when not aggregated
    TreeNode* node_ = nullptr;
    // Only ever prefetched, never read through: the nodes of the neighbours in a row of handles.
    uintptr_t releaseHints_[2] = {0, 0};
    Logger log_;
    std::unique_ptr<Extras> extras_;  // none: no sink was ever connected, no converter made
    std::unique_ptr<RecordState> records_;
};

}  // namespace quorvel
