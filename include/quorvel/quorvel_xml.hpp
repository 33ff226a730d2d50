// C++ face of the QuorvelXml component: IQuorvelXml, IQuorvelXml2, IXmlFactory and
// _IQuorvelXmlEvents as abstract classes whose virtual tables are the ones C
// hosts see, and the identifiers under their usual names.
#ifndef QUORVEL_QUORVEL_XML_HPP
#define QUORVEL_QUORVEL_XML_HPP

#include "quorvel/automation.hpp"
#include "quorvel/quorvel_xml.h"

namespace quorvel {

inline constexpr const CLSID& CLSID_QuorvelXml = QvCLSID_QuorvelXml;
inline constexpr const CLSID& CLSID_XmlFactory = QvCLSID_XmlFactory;
inline constexpr const IID& IID_IQuorvelXml = QvIID_IQuorvelXml;
inline constexpr const IID& IID_IQuorvelXml2 = QvIID_IQuorvelXml2;
inline constexpr const IID& IID_IXmlFactory = QvIID_IXmlFactory;
inline constexpr const IID& DIID_IQuorvelXmlEvents = QvDIID_IQuorvelXmlEvents;
inline constexpr const GUID& LIBID_QuorvelXml = QvLIBID_QuorvelXml;
inline constexpr DISPID DISPID_PARSEPERCENTDONE = QV_DISPID_PARSEPERCENTDONE;
inline constexpr DISPID DISPID_NEWXML = QV_DISPID_NEWXML;
using Utf8View = QvUtf8View;
using ReadCallback = QvReadCallback;

// Members in slot order from slot 7; properties as get_X / put_X.
struct IQuorvelXml : IDispatch {
  virtual HRESULT get_Version(BSTR* pVal) = 0;
  virtual HRESULT get_NumAttributes(LONG* pVal) = 0;
  virtual HRESULT get_Tag(BSTR* pVal) = 0;
  virtual HRESULT put_Tag(BSTR newVal) = 0;
  virtual HRESULT get_Content(BSTR* pVal) = 0;
  virtual HRESULT put_Content(BSTR newVal) = 0;
  virtual HRESULT get_NumChildren(LONG* pVal) = 0;
  virtual HRESULT GetChildContent(BSTR Tag, BSTR* node) = 0;
  virtual HRESULT get_Cdata(LONG* pVal) = 0;
  virtual HRESULT put_Cdata(LONG newVal) = 0;
  virtual HRESULT LoadXml(BSTR xmlData, LONG* success) = 0;
  virtual HRESULT LoadXmlFile(BSTR fileName, LONG* success) = 0;
  virtual HRESULT SaveXml(BSTR fileName) = 0;
  virtual HRESULT GetXml(BSTR* xmlData) = 0;
  virtual HRESULT AppendToContent(BSTR str) = 0;
  virtual HRESULT AddAttribute(BSTR name, BSTR value) = 0;
  virtual HRESULT RemoveAttribute(BSTR name) = 0;
  virtual HRESULT RemoveAllAttributes() = 0;
  virtual HRESULT GetAttributeName(LONG index, BSTR* name) = 0;
  virtual HRESULT GetAttributeValue(LONG index, BSTR* value) = 0;
  virtual HRESULT GetAttrValue(BSTR name, BSTR* value) = 0;
  virtual HRESULT HasAttrWithValue(BSTR name, BSTR value, LONG* retval) = 0;
  virtual HRESULT SwapNode(IQuorvelXml* node) = 0;
  virtual HRESULT SwapTree(IQuorvelXml* tree) = 0;
  virtual HRESULT AddChildTree(IQuorvelXml* tree) = 0;
  virtual HRESULT GetChild(LONG index, IQuorvelXml** child) = 0;
  virtual HRESULT ExtractChildByIndex(LONG index, IQuorvelXml** child) = 0;
  virtual HRESULT ExtractChildByName(BSTR Tag, BSTR attrName, BSTR attrValue, IQuorvelXml** child) = 0;
  virtual HRESULT NumChildrenHavingTag(BSTR Tag, LONG* retval) = 0;
  virtual HRESULT GetNthChildWithTag(BSTR Tag, LONG n, IQuorvelXml** child) = 0;
  virtual HRESULT NewChild(BSTR Tag, BSTR Content, IQuorvelXml** child) = 0;
  virtual HRESULT FindOrAddNewChild(BSTR Tag, IQuorvelXml** child) = 0;
  virtual HRESULT SearchForTag(IQuorvelXml* after, BSTR Tag, IQuorvelXml** node) = 0;
  virtual HRESULT SearchForContent(IQuorvelXml* after, BSTR Tag, BSTR contentPattern, IQuorvelXml** node) = 0;
  virtual HRESULT SearchAllForContent(IQuorvelXml* after, BSTR contentPattern, IQuorvelXml** node) = 0;
  virtual HRESULT SearchForAttribute(IQuorvelXml* after, BSTR Tag, BSTR attr, BSTR valuePattern, IQuorvelXml** node) = 0;
  virtual HRESULT GetParent(IQuorvelXml** parent) = 0;
  virtual HRESULT GetURL(BSTR url, BSTR proxy, BSTR username, BSTR password, VARIANT* anyData) = 0;
  virtual HRESULT Clear() = 0;
  virtual HRESULT FirstChild(IQuorvelXml** child) = 0;
  virtual HRESULT LastChild(IQuorvelXml** child) = 0;
  virtual HRESULT NextSibling(IQuorvelXml** sibling) = 0;
  virtual HRESULT PreviousSibling(IQuorvelXml** sibling) = 0;
  virtual HRESULT get_TreeId(LONG* pVal) = 0;
  virtual HRESULT GetChildWithTag(BSTR Tag, IQuorvelXml** child) = 0;
  virtual HRESULT get_Standalone(BSTR* pVal) = 0;
  virtual HRESULT put_Standalone(BSTR newVal) = 0;
  virtual HRESULT get_Encoding(BSTR* pVal) = 0;
  virtual HRESULT put_Encoding(BSTR newVal) = 0;
  virtual HRESULT GetRoot(IQuorvelXml** root) = 0;
  virtual HRESULT SaveXmlLog(BSTR fileName) = 0;
  virtual HRESULT FindNextRecord(BSTR Tag, BSTR contentPattern, IQuorvelXml** node) = 0;
  virtual HRESULT HttpPost(BSTR url, IQuorvelXml** response) = 0;
  virtual HRESULT CompressSubtree() = 0;
  virtual HRESULT CompressNode() = 0;
  virtual HRESULT DecompressSubtree() = 0;
  virtual HRESULT DecompressNode() = 0;
  virtual HRESULT EncryptNode(BSTR password) = 0;
  virtual HRESULT DecryptNode(BSTR password) = 0;
  virtual HRESULT get_ErrorLogHtml(BSTR* pVal) = 0;
  virtual HRESULT get_ErrorLogXml(BSTR* pVal) = 0;
  virtual HRESULT get_ErrorLogText(BSTR* pVal) = 0;
  virtual HRESULT ErrorLogClear() = 0;
  virtual HRESULT GetChild2(LONG index, LONG* found) = 0;
  virtual HRESULT FindChild2(BSTR Tag, LONG* found) = 0;
  virtual HRESULT RemoveFromTree() = 0;
  virtual HRESULT GetParent2(LONG* found) = 0;
  virtual HRESULT FirstChild2(LONG* found) = 0;
  virtual HRESULT LastChild2(LONG* found) = 0;
  virtual HRESULT NextSibling2(LONG* found) = 0;
  virtual HRESULT PreviousSibling2(LONG* found) = 0;
  virtual HRESULT GetRoot2() = 0;
  virtual HRESULT QEncodeContent(BSTR charset, VARIANT Content) = 0;
  virtual HRESULT BEncodeContent(BSTR charset, VARIANT Content) = 0;
  virtual HRESULT UpdateAttribute(BSTR name, BSTR value) = 0;
  virtual HRESULT DecodeContent(VARIANT* Content) = 0;
  virtual HRESULT SetBinaryContent(LONG zipFlag, LONG encryptFlag, BSTR password, VARIANT Content) = 0;
  virtual HRESULT GetBinaryContent(LONG unzipFlag, LONG decryptFlag, BSTR password, VARIANT* Content) = 0;
  virtual HRESULT FindChild(BSTR Tag, IQuorvelXml** child) = 0;
  virtual HRESULT NewChild2(BSTR Tag, BSTR Content) = 0;
  virtual HRESULT SortByTag(LONG ascending) = 0;
  virtual HRESULT SortByContent(LONG ascending) = 0;
  virtual HRESULT SortByAttribute(BSTR attrName, LONG ascending) = 0;
  virtual HRESULT SortRecordsByContent(BSTR sortTag, LONG ascending) = 0;
  virtual HRESULT SortRecordsByAttribute(BSTR sortTag, BSTR attrName, LONG ascending) = 0;
  virtual HRESULT LoadXmlV(VARIANT xmlData, LONG* success) = 0;

 protected:
  ~IQuorvelXml() = default;
};

// The second node handle interface: IQuorvelXml's members unchanged (slots 7-92), then XPath,
// namespaces, indented output and record reading (slots 93-111, DISPIDs 87-104, reached by
// name too), then members only this virtual table reaches (slots 112-116). The node handle
// answers QueryInterface for IID_IQuorvelXml2 with the same pointer as for IID_IQuorvelXml.
// quorvel/quorvel_members.hpp lists every member with its DISPID, slot and parameters.
struct IQuorvelXml2 : IQuorvelXml {
  // ---- XPath ----
  // The element nodes selected, in document order: VT_ARRAY|VT_DISPATCH, one handle each.
  virtual HRESULT SelectNodes(BSTR xpath, VARIANT* nodes) = 0;
  // The first selected node in document order; null (and S_OK) when none is.
  virtual HRESULT SelectSingleNode(BSTR xpath, IQuorvelXml** node) = 0;
  // The string-values of the selected nodes in document order: VT_ARRAY|VT_BSTR.
  virtual HRESULT SelectValues(BSTR xpath, VARIANT* values) = 0;
  // VT_R8, VT_BSTR or VT_BOOL; a node-set gives its string().
  virtual HRESULT EvaluateXPath(BSTR xpath, VARIANT* result) = 0;
  // Kept with the document; the "" prefix is the default namespace of name tests.
  virtual HRESULT SetXPathNamespace(BSTR prefix, BSTR uri) = 0;
  virtual HRESULT SetXPathVariable(BSTR name, VARIANT value) = 0;
  // ---- Namespaces ----
  virtual HRESULT get_NamespaceUri(BSTR* pVal) = 0;
  virtual HRESULT get_LocalName(BSTR* pVal) = 0;
  virtual HRESULT get_Prefix(BSTR* pVal) = 0;
  virtual HRESULT LookupNamespace(BSTR prefix, BSTR* uri) = 0;
  // ---- Indented output: indent "" is GetXml's compact form, else the unit per level ----
  virtual HRESULT GetXmlIndented(BSTR indent, BSTR* xmlData) = 0;
  virtual HRESULT SaveXmlIndented(BSTR fileName, BSTR indent) = 0;
  // ---- Records: the handle becomes a reader of the elements at recordPath ----
  // source: a file path or an http(s) URL.
  virtual HRESULT OpenRecords(BSTR source, BSTR recordPath) = 0;
  // Only the byte range [start, end) of the file (64-bit offsets).
  virtual HRESULT OpenRecordRange(BSTR fileName, BSTR recordPath, VARIANT start, VARIANT end) = 0;
  // The next record; null at the end; E_FAIL on an error.
  virtual HRESULT NextRecord(IQuorvelXml** record) = 0;
  // In bytes.
  virtual HRESULT get_RecordSizeLimit(LONG* pVal) = 0;
  virtual HRESULT put_RecordSizeLimit(LONG newVal) = 0;
  // On a record: its ancestors' path, e.g. "/mime-info".
  virtual HRESULT get_RecordPath(BSTR* pVal) = 0;
  // Level 0 is the document's root element: a childless read-only copy with the ancestor's tag
  // and attributes.
  virtual HRESULT GetRecordAncestor(LONG level, IQuorvelXml** ancestor) = 0;

  // ---- Virtual-table-only members (no DISPID; not callable by name) ----
  // Views of the node's texts as well-formed UTF-8 that reads exactly as the host string of the
  // owning member (get_Tag, get_Content, GetAttributeName/Value, GetAttrValue), without making
  // one: the stored bytes, or a repaired copy kept with the tree for text that is not
  // well-formed. A view stays valid until the node's tag, content or attributes change (through
  // any handle), the node is destroyed, or its tree ends; moving a handle or changing another
  // node leaves it alone. Cost: one check of the text, no allocation unless a repair is needed.
  // They log nothing unless they fail.
  virtual HRESULT GetTagUtf8(Utf8View* tag) = 0;
  virtual HRESULT GetContentUtf8(Utf8View* content) = 0;
  // REQUIRES: 0 <= index < NumAttributes, else E_FAIL. name or value may be null.
  virtual HRESULT GetAttributeUtf8(LONG index, Utf8View* name, Utf8View* value) = 0;
  // *found is 1 and *value the first attribute named exactly name[0, nameLength) (no trimming,
  // unlike GetAttrValue), else *found is 0 and *value empty.
  virtual HRESULT FindAttributeUtf8(const char* name, size_t nameLength, Utf8View* value, LONG* found) = 0;
  // As OpenRecords, reading the document from read(context, ...).
  virtual HRESULT OpenRecordStream(ReadCallback read, void* context, BSTR recordPath) = 0;

 protected:
  ~IQuorvelXml2() = default;
};

struct IXmlFactory : IDispatch {
  virtual HRESULT NewXml(IQuorvelXml** root) = 0;

 protected:
  ~IXmlFactory() = default;
};

// Outgoing interface: the component calls ParsePercentDone (DISPID 1, one
// VT_I4 argument percentDone) through the sink's IDispatch::Invoke.
struct _IQuorvelXmlEvents : IDispatch {
 protected:
  ~_IQuorvelXmlEvents() = default;
};

inline HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* outer, DWORD context, REFIID riid, void** ppv) {
  return qv_CoCreateInstance(rclsid, outer, context, riid, ppv);
}
inline HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) { return qv_CLSIDFromProgID(progId, clsid); }

}  // namespace quorvel

#endif  // QUORVEL_QUORVEL_XML_HPP
