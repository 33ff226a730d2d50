// C++ face of the QuorvelXml component: IQuorvelXml, IXmlFactory and
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
inline constexpr const IID& IID_IXmlFactory = QvIID_IXmlFactory;
inline constexpr const IID& DIID_IQuorvelXmlEvents = QvDIID_IQuorvelXmlEvents;
inline constexpr const GUID& LIBID_QuorvelXml = QvLIBID_QuorvelXml;
inline constexpr DISPID DISPID_PARSEPERCENTDONE = QV_DISPID_PARSEPERCENTDONE;
inline constexpr DISPID DISPID_NEWXML = QV_DISPID_NEWXML;

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
