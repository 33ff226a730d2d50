/*
 * The QuorvelXml component as hosts see it: the node handle interfaces
 * IQuorvelXml and IQuorvelXml2 (which extends it), the factory interface
 * IXmlFactory, the event interface _IQuorvelXmlEvents, the identifiers of the classes, interfaces and type
 * library, and the module's entry points. Plain C hosts use the vtable
 * structs below; C++ hosts include "quorvel/quorvel_xml.hpp".
 *
 * Every member returns an HRESULT. Strings are BSTRs (a null BSTR is the
 * absent string); a string a member returns belongs to the caller. long is
 * QvLONG, 32 bits. Variants go in by value and come out through a pointer.
 */
#ifndef QUORVEL_QUORVEL_XML_H
#define QUORVEL_QUORVEL_XML_H

#include "quorvel/automation.h"

/* ---- Identifiers ------------------------------------------------------ */

/* {0401FBD5-7529-4F1C-A4A9-BC7CE05B4935}, ProgID "QuorvelXml.QuorvelXml" */
QV_DEFINE_GUID(QvCLSID_QuorvelXml, 0x0401FBD5, 0x7529, 0x4F1C, 0xA4, 0xA9, 0xBC, 0x7C, 0xE0, 0x5B, 0x49, 0x35);
/* {6D03D6EE-1E3F-41CF-B200-FF0B28ADD70E}, ProgID "QuorvelXml.XmlFactory" */
QV_DEFINE_GUID(QvCLSID_XmlFactory, 0x6D03D6EE, 0x1E3F, 0x41CF, 0xB2, 0x00, 0xFF, 0x0B, 0x28, 0xAD, 0xD7, 0x0E);
/* {1F36C244-E5A6-4777-9E91-02B98F0AE7C8} */
QV_DEFINE_GUID(QvIID_IQuorvelXml, 0x1F36C244, 0xE5A6, 0x4777, 0x9E, 0x91, 0x02, 0xB9, 0x8F, 0x0A, 0xE7, 0xC8);
/* {5294CEEB-7915-4EDA-A89E-4F3046661415}, IQuorvelXml2: IQuorvelXml and the members after slot 92 */
QV_DEFINE_GUID(QvIID_IQuorvelXml2, 0x5294CEEB, 0x7915, 0x4EDA, 0xA8, 0x9E, 0x4F, 0x30, 0x46, 0x66, 0x14, 0x15);
/* {C1336F3F-40BE-402A-A7C6-D1EFB8804B72} */
QV_DEFINE_GUID(QvIID_IXmlFactory, 0xC1336F3F, 0x40BE, 0x402A, 0xA7, 0xC6, 0xD1, 0xEF, 0xB8, 0x80, 0x4B, 0x72);
/* {DE5DAFC8-DA34-434B-9686-75E1506F76BE}, the event interface _IQuorvelXmlEvents */
QV_DEFINE_GUID(QvDIID_IQuorvelXmlEvents, 0xDE5DAFC8, 0xDA34, 0x434B, 0x96, 0x86, 0x75, 0xE1, 0x50, 0x6F, 0x76,
               0xBE);
/* {3BC207BE-E695-4F0F-84C5-6BE7B85EEAB7}, version 1.0 */
QV_DEFINE_GUID(QvLIBID_QuorvelXml, 0x3BC207BE, 0xE695, 0x4F0F, 0x84, 0xC5, 0x6B, 0xE7, 0xB8, 0x5E, 0xEA, 0xB7);

/* DISPID of ParsePercentDone(percentDone) on _IQuorvelXmlEvents, and of NewXml on IXmlFactory. */
#define QV_DISPID_PARSEPERCENTDONE 1
#define QV_DISPID_NEWXML 1

/* ---- Types of IQuorvelXml2's virtual-table-only members --------------- */

/* UTF-8 text in the component's own storage: size bytes from data, not
 * terminated. What it stays valid for is given with each member. */
typedef struct QvUtf8View {
  const char* data;
  size_t size;
} QvUtf8View;

/* A source of bytes the component pulls from: copies at most size bytes into
 * buffer and returns how many (> 0), 0 at the end, < 0 on an error. */
typedef ptrdiff_t (*QvReadCallback)(void* context, void* buffer, size_t size);

/* ---- Interfaces ------------------------------------------------------- */

#ifdef __cplusplus
namespace quorvel {
struct IQuorvelXml;
struct IQuorvelXml2;
struct IXmlFactory;
struct _IQuorvelXmlEvents;
}  // namespace quorvel
typedef quorvel::IQuorvelXml QvIQuorvelXml;
typedef quorvel::IQuorvelXml2 QvIQuorvelXml2;
typedef quorvel::IXmlFactory QvIXmlFactory;
typedef quorvel::_IQuorvelXmlEvents Qv_IQuorvelXmlEvents;
#else
typedef struct QvIQuorvelXml QvIQuorvelXml;
typedef struct QvIQuorvelXml2 QvIQuorvelXml2;
typedef struct QvIXmlFactory QvIXmlFactory;
typedef struct Qv_IQuorvelXmlEvents Qv_IQuorvelXmlEvents;

/* Slots 0-2 IUnknown, 3-6 IDispatch, 7-92 the members (slot, DISPID). */
typedef struct QvIQuorvelXmlVtbl {
  QvHRESULT (*QueryInterface)(QvIQuorvelXml* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIQuorvelXml* This);
  QvULONG (*Release)(QvIQuorvelXml* This);
  QvHRESULT (*GetTypeInfoCount)(QvIQuorvelXml* This, QvUINT* pctinfo);
  QvHRESULT (*GetTypeInfo)(QvIQuorvelXml* This, QvUINT iTInfo, QvLCID lcid, QvITypeInfo** ppTInfo);
  QvHRESULT (*GetIDsOfNames)(QvIQuorvelXml* This, QvREFIID riid, QvLPOLESTR* rgszNames, QvUINT cNames,
                             QvLCID lcid, QvDISPID* rgDispId);
  QvHRESULT (*Invoke)(QvIQuorvelXml* This, QvDISPID dispIdMember, QvREFIID riid, QvLCID lcid, QvWORD wFlags,
                      QvDISPPARAMS* pDispParams, QvVARIANT* pVarResult, QvEXCEPINFO* pExcepInfo,
                      QvUINT* puArgErr);
  QvHRESULT (*get_Version)(QvIQuorvelXml* This, QvBSTR* pVal); /* 7, DISPID 1 */
  QvHRESULT (*get_NumAttributes)(QvIQuorvelXml* This, QvLONG* pVal); /* 8, DISPID 4 */
  QvHRESULT (*get_Tag)(QvIQuorvelXml* This, QvBSTR* pVal); /* 9, DISPID 5 */
  QvHRESULT (*put_Tag)(QvIQuorvelXml* This, QvBSTR newVal); /* 10, DISPID 5 */
  QvHRESULT (*get_Content)(QvIQuorvelXml* This, QvBSTR* pVal); /* 11, DISPID 6 */
  QvHRESULT (*put_Content)(QvIQuorvelXml* This, QvBSTR newVal); /* 12, DISPID 6 */
  QvHRESULT (*get_NumChildren)(QvIQuorvelXml* This, QvLONG* pVal); /* 13, DISPID 7 */
  QvHRESULT (*GetChildContent)(QvIQuorvelXml* This, QvBSTR Tag, QvBSTR* node); /* 14, DISPID 8 */
  QvHRESULT (*get_Cdata)(QvIQuorvelXml* This, QvLONG* pVal); /* 15, DISPID 9 */
  QvHRESULT (*put_Cdata)(QvIQuorvelXml* This, QvLONG newVal); /* 16, DISPID 9 */
  QvHRESULT (*LoadXml)(QvIQuorvelXml* This, QvBSTR xmlData, QvLONG* success); /* 17, DISPID 10 */
  QvHRESULT (*LoadXmlFile)(QvIQuorvelXml* This, QvBSTR fileName, QvLONG* success); /* 18, DISPID 11 */
  QvHRESULT (*SaveXml)(QvIQuorvelXml* This, QvBSTR fileName); /* 19, DISPID 12 */
  QvHRESULT (*GetXml)(QvIQuorvelXml* This, QvBSTR* xmlData); /* 20, DISPID 13 */
  QvHRESULT (*AppendToContent)(QvIQuorvelXml* This, QvBSTR str); /* 21, DISPID 14 */
  QvHRESULT (*AddAttribute)(QvIQuorvelXml* This, QvBSTR name, QvBSTR value); /* 22, DISPID 15 */
  QvHRESULT (*RemoveAttribute)(QvIQuorvelXml* This, QvBSTR name); /* 23, DISPID 16 */
  QvHRESULT (*RemoveAllAttributes)(QvIQuorvelXml* This); /* 24, DISPID 17 */
  QvHRESULT (*GetAttributeName)(QvIQuorvelXml* This, QvLONG index, QvBSTR* name); /* 25, DISPID 18 */
  QvHRESULT (*GetAttributeValue)(QvIQuorvelXml* This, QvLONG index, QvBSTR* value); /* 26, DISPID 19 */
  QvHRESULT (*GetAttrValue)(QvIQuorvelXml* This, QvBSTR name, QvBSTR* value); /* 27, DISPID 20 */
  QvHRESULT (*HasAttrWithValue)(QvIQuorvelXml* This, QvBSTR name, QvBSTR value, QvLONG* retval); /* 28, DISPID 21 */
  QvHRESULT (*SwapNode)(QvIQuorvelXml* This, QvIQuorvelXml* node); /* 29, DISPID 22 */
  QvHRESULT (*SwapTree)(QvIQuorvelXml* This, QvIQuorvelXml* tree); /* 30, DISPID 23 */
  QvHRESULT (*AddChildTree)(QvIQuorvelXml* This, QvIQuorvelXml* tree); /* 31, DISPID 24 */
  QvHRESULT (*GetChild)(QvIQuorvelXml* This, QvLONG index, QvIQuorvelXml** child); /* 32, DISPID 25 */
  QvHRESULT (*ExtractChildByIndex)(QvIQuorvelXml* This, QvLONG index, QvIQuorvelXml** child); /* 33, DISPID 26 */
  QvHRESULT (*ExtractChildByName)(QvIQuorvelXml* This, QvBSTR Tag, QvBSTR attrName, QvBSTR attrValue, QvIQuorvelXml** child); /* 34, DISPID 27 */
  QvHRESULT (*NumChildrenHavingTag)(QvIQuorvelXml* This, QvBSTR Tag, QvLONG* retval); /* 35, DISPID 28 */
  QvHRESULT (*GetNthChildWithTag)(QvIQuorvelXml* This, QvBSTR Tag, QvLONG n, QvIQuorvelXml** child); /* 36, DISPID 29 */
  QvHRESULT (*NewChild)(QvIQuorvelXml* This, QvBSTR Tag, QvBSTR Content, QvIQuorvelXml** child); /* 37, DISPID 30 */
  QvHRESULT (*FindOrAddNewChild)(QvIQuorvelXml* This, QvBSTR Tag, QvIQuorvelXml** child); /* 38, DISPID 31 */
  QvHRESULT (*SearchForTag)(QvIQuorvelXml* This, QvIQuorvelXml* after, QvBSTR Tag, QvIQuorvelXml** node); /* 39, DISPID 32 */
  QvHRESULT (*SearchForContent)(QvIQuorvelXml* This, QvIQuorvelXml* after, QvBSTR Tag, QvBSTR contentPattern, QvIQuorvelXml** node); /* 40, DISPID 33 */
  QvHRESULT (*SearchAllForContent)(QvIQuorvelXml* This, QvIQuorvelXml* after, QvBSTR contentPattern, QvIQuorvelXml** node); /* 41, DISPID 34 */
  QvHRESULT (*SearchForAttribute)(QvIQuorvelXml* This, QvIQuorvelXml* after, QvBSTR Tag, QvBSTR attr, QvBSTR valuePattern, QvIQuorvelXml** node); /* 42, DISPID 35 */
  QvHRESULT (*GetParent)(QvIQuorvelXml* This, QvIQuorvelXml** parent); /* 43, DISPID 36 */
  QvHRESULT (*GetURL)(QvIQuorvelXml* This, QvBSTR url, QvBSTR proxy, QvBSTR username, QvBSTR password, QvVARIANT* anyData); /* 44, DISPID 37 */
  QvHRESULT (*Clear)(QvIQuorvelXml* This); /* 45, DISPID 38 */
  QvHRESULT (*FirstChild)(QvIQuorvelXml* This, QvIQuorvelXml** child); /* 46, DISPID 39 */
  QvHRESULT (*LastChild)(QvIQuorvelXml* This, QvIQuorvelXml** child); /* 47, DISPID 40 */
  QvHRESULT (*NextSibling)(QvIQuorvelXml* This, QvIQuorvelXml** sibling); /* 48, DISPID 41 */
  QvHRESULT (*PreviousSibling)(QvIQuorvelXml* This, QvIQuorvelXml** sibling); /* 49, DISPID 42 */
  QvHRESULT (*get_TreeId)(QvIQuorvelXml* This, QvLONG* pVal); /* 50, DISPID 43 */
  QvHRESULT (*GetChildWithTag)(QvIQuorvelXml* This, QvBSTR Tag, QvIQuorvelXml** child); /* 51, DISPID 44 */
  QvHRESULT (*get_Standalone)(QvIQuorvelXml* This, QvBSTR* pVal); /* 52, DISPID 45 */
  QvHRESULT (*put_Standalone)(QvIQuorvelXml* This, QvBSTR newVal); /* 53, DISPID 45 */
  QvHRESULT (*get_Encoding)(QvIQuorvelXml* This, QvBSTR* pVal); /* 54, DISPID 46 */
  QvHRESULT (*put_Encoding)(QvIQuorvelXml* This, QvBSTR newVal); /* 55, DISPID 46 */
  QvHRESULT (*GetRoot)(QvIQuorvelXml* This, QvIQuorvelXml** root); /* 56, DISPID 47 */
  QvHRESULT (*SaveXmlLog)(QvIQuorvelXml* This, QvBSTR fileName); /* 57, DISPID 48 */
  QvHRESULT (*FindNextRecord)(QvIQuorvelXml* This, QvBSTR Tag, QvBSTR contentPattern, QvIQuorvelXml** node); /* 58, DISPID 49 */
  QvHRESULT (*HttpPost)(QvIQuorvelXml* This, QvBSTR url, QvIQuorvelXml** response); /* 59, DISPID 50 */
  QvHRESULT (*CompressSubtree)(QvIQuorvelXml* This); /* 60, DISPID 51 */
  QvHRESULT (*CompressNode)(QvIQuorvelXml* This); /* 61, DISPID 52 */
  QvHRESULT (*DecompressSubtree)(QvIQuorvelXml* This); /* 62, DISPID 53 */
  QvHRESULT (*DecompressNode)(QvIQuorvelXml* This); /* 63, DISPID 54 */
  QvHRESULT (*EncryptNode)(QvIQuorvelXml* This, QvBSTR password); /* 64, DISPID 55 */
  QvHRESULT (*DecryptNode)(QvIQuorvelXml* This, QvBSTR password); /* 65, DISPID 56 */
  QvHRESULT (*get_ErrorLogHtml)(QvIQuorvelXml* This, QvBSTR* pVal); /* 66, DISPID 60 */
  QvHRESULT (*get_ErrorLogXml)(QvIQuorvelXml* This, QvBSTR* pVal); /* 67, DISPID 61 */
  QvHRESULT (*get_ErrorLogText)(QvIQuorvelXml* This, QvBSTR* pVal); /* 68, DISPID 62 */
  QvHRESULT (*ErrorLogClear)(QvIQuorvelXml* This); /* 69, DISPID 63 */
  QvHRESULT (*GetChild2)(QvIQuorvelXml* This, QvLONG index, QvLONG* found); /* 70, DISPID 64 */
  QvHRESULT (*FindChild2)(QvIQuorvelXml* This, QvBSTR Tag, QvLONG* found); /* 71, DISPID 65 */
  QvHRESULT (*RemoveFromTree)(QvIQuorvelXml* This); /* 72, DISPID 66 */
  QvHRESULT (*GetParent2)(QvIQuorvelXml* This, QvLONG* found); /* 73, DISPID 67 */
  QvHRESULT (*FirstChild2)(QvIQuorvelXml* This, QvLONG* found); /* 74, DISPID 68 */
  QvHRESULT (*LastChild2)(QvIQuorvelXml* This, QvLONG* found); /* 75, DISPID 69 */
  QvHRESULT (*NextSibling2)(QvIQuorvelXml* This, QvLONG* found); /* 76, DISPID 70 */
  QvHRESULT (*PreviousSibling2)(QvIQuorvelXml* This, QvLONG* found); /* 77, DISPID 71 */
  QvHRESULT (*GetRoot2)(QvIQuorvelXml* This); /* 78, DISPID 72 */
  QvHRESULT (*QEncodeContent)(QvIQuorvelXml* This, QvBSTR charset, QvVARIANT Content); /* 79, DISPID 73 */
  QvHRESULT (*BEncodeContent)(QvIQuorvelXml* This, QvBSTR charset, QvVARIANT Content); /* 80, DISPID 74 */
  QvHRESULT (*UpdateAttribute)(QvIQuorvelXml* This, QvBSTR name, QvBSTR value); /* 81, DISPID 75 */
  QvHRESULT (*DecodeContent)(QvIQuorvelXml* This, QvVARIANT* Content); /* 82, DISPID 76 */
  QvHRESULT (*SetBinaryContent)(QvIQuorvelXml* This, QvLONG zipFlag, QvLONG encryptFlag, QvBSTR password, QvVARIANT Content); /* 83, DISPID 77 */
  QvHRESULT (*GetBinaryContent)(QvIQuorvelXml* This, QvLONG unzipFlag, QvLONG decryptFlag, QvBSTR password, QvVARIANT* Content); /* 84, DISPID 78 */
  QvHRESULT (*FindChild)(QvIQuorvelXml* This, QvBSTR Tag, QvIQuorvelXml** child); /* 85, DISPID 79 */
  QvHRESULT (*NewChild2)(QvIQuorvelXml* This, QvBSTR Tag, QvBSTR Content); /* 86, DISPID 80 */
  QvHRESULT (*SortByTag)(QvIQuorvelXml* This, QvLONG ascending); /* 87, DISPID 81 */
  QvHRESULT (*SortByContent)(QvIQuorvelXml* This, QvLONG ascending); /* 88, DISPID 82 */
  QvHRESULT (*SortByAttribute)(QvIQuorvelXml* This, QvBSTR attrName, QvLONG ascending); /* 89, DISPID 83 */
  QvHRESULT (*SortRecordsByContent)(QvIQuorvelXml* This, QvBSTR sortTag, QvLONG ascending); /* 90, DISPID 84 */
  QvHRESULT (*SortRecordsByAttribute)(QvIQuorvelXml* This, QvBSTR sortTag, QvBSTR attrName, QvLONG ascending); /* 91, DISPID 85 */
  QvHRESULT (*LoadXmlV)(QvIQuorvelXml* This, QvVARIANT xmlData, QvLONG* success); /* 92, DISPID 86 */
} QvIQuorvelXmlVtbl;
struct QvIQuorvelXml {
  const QvIQuorvelXmlVtbl* lpVtbl;
};
_Static_assert(sizeof(QvIQuorvelXmlVtbl) == 93 * sizeof(QvHRESULT (*)(void)),
               "IQuorvelXml has 93 slots: 3 of IUnknown, 4 of IDispatch, 86 members");

/* IQuorvelXml2: IQuorvelXml's slots 0-92 unchanged, then its own members
 * (slot, DISPID), then members reached only through this table (slot). A
 * QvIQuorvelXml2* is also a valid QvIQuorvelXml*. */
typedef struct QvIQuorvelXml2Vtbl {
  QvHRESULT (*QueryInterface)(QvIQuorvelXml2* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIQuorvelXml2* This);
  QvULONG (*Release)(QvIQuorvelXml2* This);
  QvHRESULT (*GetTypeInfoCount)(QvIQuorvelXml2* This, QvUINT* pctinfo);
  QvHRESULT (*GetTypeInfo)(QvIQuorvelXml2* This, QvUINT iTInfo, QvLCID lcid, QvITypeInfo** ppTInfo);
  QvHRESULT (*GetIDsOfNames)(QvIQuorvelXml2* This, QvREFIID riid, QvLPOLESTR* rgszNames, QvUINT cNames,
                             QvLCID lcid, QvDISPID* rgDispId);
  QvHRESULT (*Invoke)(QvIQuorvelXml2* This, QvDISPID dispIdMember, QvREFIID riid, QvLCID lcid, QvWORD wFlags,
                      QvDISPPARAMS* pDispParams, QvVARIANT* pVarResult, QvEXCEPINFO* pExcepInfo,
                      QvUINT* puArgErr);
  QvHRESULT (*get_Version)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 7, DISPID 1 */
  QvHRESULT (*get_NumAttributes)(QvIQuorvelXml2* This, QvLONG* pVal); /* 8, DISPID 4 */
  QvHRESULT (*get_Tag)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 9, DISPID 5 */
  QvHRESULT (*put_Tag)(QvIQuorvelXml2* This, QvBSTR newVal); /* 10, DISPID 5 */
  QvHRESULT (*get_Content)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 11, DISPID 6 */
  QvHRESULT (*put_Content)(QvIQuorvelXml2* This, QvBSTR newVal); /* 12, DISPID 6 */
  QvHRESULT (*get_NumChildren)(QvIQuorvelXml2* This, QvLONG* pVal); /* 13, DISPID 7 */
  QvHRESULT (*GetChildContent)(QvIQuorvelXml2* This, QvBSTR Tag, QvBSTR* node); /* 14, DISPID 8 */
  QvHRESULT (*get_Cdata)(QvIQuorvelXml2* This, QvLONG* pVal); /* 15, DISPID 9 */
  QvHRESULT (*put_Cdata)(QvIQuorvelXml2* This, QvLONG newVal); /* 16, DISPID 9 */
  QvHRESULT (*LoadXml)(QvIQuorvelXml2* This, QvBSTR xmlData, QvLONG* success); /* 17, DISPID 10 */
  QvHRESULT (*LoadXmlFile)(QvIQuorvelXml2* This, QvBSTR fileName, QvLONG* success); /* 18, DISPID 11 */
  QvHRESULT (*SaveXml)(QvIQuorvelXml2* This, QvBSTR fileName); /* 19, DISPID 12 */
  QvHRESULT (*GetXml)(QvIQuorvelXml2* This, QvBSTR* xmlData); /* 20, DISPID 13 */
  QvHRESULT (*AppendToContent)(QvIQuorvelXml2* This, QvBSTR str); /* 21, DISPID 14 */
  QvHRESULT (*AddAttribute)(QvIQuorvelXml2* This, QvBSTR name, QvBSTR value); /* 22, DISPID 15 */
  QvHRESULT (*RemoveAttribute)(QvIQuorvelXml2* This, QvBSTR name); /* 23, DISPID 16 */
  QvHRESULT (*RemoveAllAttributes)(QvIQuorvelXml2* This); /* 24, DISPID 17 */
  QvHRESULT (*GetAttributeName)(QvIQuorvelXml2* This, QvLONG index, QvBSTR* name); /* 25, DISPID 18 */
  QvHRESULT (*GetAttributeValue)(QvIQuorvelXml2* This, QvLONG index, QvBSTR* value); /* 26, DISPID 19 */
  QvHRESULT (*GetAttrValue)(QvIQuorvelXml2* This, QvBSTR name, QvBSTR* value); /* 27, DISPID 20 */
  QvHRESULT (*HasAttrWithValue)(QvIQuorvelXml2* This, QvBSTR name, QvBSTR value, QvLONG* retval); /* 28, DISPID 21 */
  QvHRESULT (*SwapNode)(QvIQuorvelXml2* This, QvIQuorvelXml* node); /* 29, DISPID 22 */
  QvHRESULT (*SwapTree)(QvIQuorvelXml2* This, QvIQuorvelXml* tree); /* 30, DISPID 23 */
  QvHRESULT (*AddChildTree)(QvIQuorvelXml2* This, QvIQuorvelXml* tree); /* 31, DISPID 24 */
  QvHRESULT (*GetChild)(QvIQuorvelXml2* This, QvLONG index, QvIQuorvelXml** child); /* 32, DISPID 25 */
  QvHRESULT (*ExtractChildByIndex)(QvIQuorvelXml2* This, QvLONG index, QvIQuorvelXml** child); /* 33, DISPID 26 */
  QvHRESULT (*ExtractChildByName)(QvIQuorvelXml2* This, QvBSTR Tag, QvBSTR attrName, QvBSTR attrValue, QvIQuorvelXml** child); /* 34, DISPID 27 */
  QvHRESULT (*NumChildrenHavingTag)(QvIQuorvelXml2* This, QvBSTR Tag, QvLONG* retval); /* 35, DISPID 28 */
  QvHRESULT (*GetNthChildWithTag)(QvIQuorvelXml2* This, QvBSTR Tag, QvLONG n, QvIQuorvelXml** child); /* 36, DISPID 29 */
  QvHRESULT (*NewChild)(QvIQuorvelXml2* This, QvBSTR Tag, QvBSTR Content, QvIQuorvelXml** child); /* 37, DISPID 30 */
  QvHRESULT (*FindOrAddNewChild)(QvIQuorvelXml2* This, QvBSTR Tag, QvIQuorvelXml** child); /* 38, DISPID 31 */
  QvHRESULT (*SearchForTag)(QvIQuorvelXml2* This, QvIQuorvelXml* after, QvBSTR Tag, QvIQuorvelXml** node); /* 39, DISPID 32 */
  QvHRESULT (*SearchForContent)(QvIQuorvelXml2* This, QvIQuorvelXml* after, QvBSTR Tag, QvBSTR contentPattern, QvIQuorvelXml** node); /* 40, DISPID 33 */
  QvHRESULT (*SearchAllForContent)(QvIQuorvelXml2* This, QvIQuorvelXml* after, QvBSTR contentPattern, QvIQuorvelXml** node); /* 41, DISPID 34 */
  QvHRESULT (*SearchForAttribute)(QvIQuorvelXml2* This, QvIQuorvelXml* after, QvBSTR Tag, QvBSTR attr, QvBSTR valuePattern, QvIQuorvelXml** node); /* 42, DISPID 35 */
  QvHRESULT (*GetParent)(QvIQuorvelXml2* This, QvIQuorvelXml** parent); /* 43, DISPID 36 */
  QvHRESULT (*GetURL)(QvIQuorvelXml2* This, QvBSTR url, QvBSTR proxy, QvBSTR username, QvBSTR password, QvVARIANT* anyData); /* 44, DISPID 37 */
  QvHRESULT (*Clear)(QvIQuorvelXml2* This); /* 45, DISPID 38 */
  QvHRESULT (*FirstChild)(QvIQuorvelXml2* This, QvIQuorvelXml** child); /* 46, DISPID 39 */
  QvHRESULT (*LastChild)(QvIQuorvelXml2* This, QvIQuorvelXml** child); /* 47, DISPID 40 */
  QvHRESULT (*NextSibling)(QvIQuorvelXml2* This, QvIQuorvelXml** sibling); /* 48, DISPID 41 */
  QvHRESULT (*PreviousSibling)(QvIQuorvelXml2* This, QvIQuorvelXml** sibling); /* 49, DISPID 42 */
  QvHRESULT (*get_TreeId)(QvIQuorvelXml2* This, QvLONG* pVal); /* 50, DISPID 43 */
  QvHRESULT (*GetChildWithTag)(QvIQuorvelXml2* This, QvBSTR Tag, QvIQuorvelXml** child); /* 51, DISPID 44 */
  QvHRESULT (*get_Standalone)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 52, DISPID 45 */
  QvHRESULT (*put_Standalone)(QvIQuorvelXml2* This, QvBSTR newVal); /* 53, DISPID 45 */
  QvHRESULT (*get_Encoding)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 54, DISPID 46 */
  QvHRESULT (*put_Encoding)(QvIQuorvelXml2* This, QvBSTR newVal); /* 55, DISPID 46 */
  QvHRESULT (*GetRoot)(QvIQuorvelXml2* This, QvIQuorvelXml** root); /* 56, DISPID 47 */
  QvHRESULT (*SaveXmlLog)(QvIQuorvelXml2* This, QvBSTR fileName); /* 57, DISPID 48 */
  QvHRESULT (*FindNextRecord)(QvIQuorvelXml2* This, QvBSTR Tag, QvBSTR contentPattern, QvIQuorvelXml** node); /* 58, DISPID 49 */
  QvHRESULT (*HttpPost)(QvIQuorvelXml2* This, QvBSTR url, QvIQuorvelXml** response); /* 59, DISPID 50 */
  QvHRESULT (*CompressSubtree)(QvIQuorvelXml2* This); /* 60, DISPID 51 */
  QvHRESULT (*CompressNode)(QvIQuorvelXml2* This); /* 61, DISPID 52 */
  QvHRESULT (*DecompressSubtree)(QvIQuorvelXml2* This); /* 62, DISPID 53 */
  QvHRESULT (*DecompressNode)(QvIQuorvelXml2* This); /* 63, DISPID 54 */
  QvHRESULT (*EncryptNode)(QvIQuorvelXml2* This, QvBSTR password); /* 64, DISPID 55 */
  QvHRESULT (*DecryptNode)(QvIQuorvelXml2* This, QvBSTR password); /* 65, DISPID 56 */
  QvHRESULT (*get_ErrorLogHtml)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 66, DISPID 60 */
  QvHRESULT (*get_ErrorLogXml)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 67, DISPID 61 */
  QvHRESULT (*get_ErrorLogText)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 68, DISPID 62 */
  QvHRESULT (*ErrorLogClear)(QvIQuorvelXml2* This); /* 69, DISPID 63 */
  QvHRESULT (*GetChild2)(QvIQuorvelXml2* This, QvLONG index, QvLONG* found); /* 70, DISPID 64 */
  QvHRESULT (*FindChild2)(QvIQuorvelXml2* This, QvBSTR Tag, QvLONG* found); /* 71, DISPID 65 */
  QvHRESULT (*RemoveFromTree)(QvIQuorvelXml2* This); /* 72, DISPID 66 */
  QvHRESULT (*GetParent2)(QvIQuorvelXml2* This, QvLONG* found); /* 73, DISPID 67 */
  QvHRESULT (*FirstChild2)(QvIQuorvelXml2* This, QvLONG* found); /* 74, DISPID 68 */
  QvHRESULT (*LastChild2)(QvIQuorvelXml2* This, QvLONG* found); /* 75, DISPID 69 */
  QvHRESULT (*NextSibling2)(QvIQuorvelXml2* This, QvLONG* found); /* 76, DISPID 70 */
  QvHRESULT (*PreviousSibling2)(QvIQuorvelXml2* This, QvLONG* found); /* 77, DISPID 71 */
  QvHRESULT (*GetRoot2)(QvIQuorvelXml2* This); /* 78, DISPID 72 */
  QvHRESULT (*QEncodeContent)(QvIQuorvelXml2* This, QvBSTR charset, QvVARIANT Content); /* 79, DISPID 73 */
  QvHRESULT (*BEncodeContent)(QvIQuorvelXml2* This, QvBSTR charset, QvVARIANT Content); /* 80, DISPID 74 */
  QvHRESULT (*UpdateAttribute)(QvIQuorvelXml2* This, QvBSTR name, QvBSTR value); /* 81, DISPID 75 */
  QvHRESULT (*DecodeContent)(QvIQuorvelXml2* This, QvVARIANT* Content); /* 82, DISPID 76 */
  QvHRESULT (*SetBinaryContent)(QvIQuorvelXml2* This, QvLONG zipFlag, QvLONG encryptFlag, QvBSTR password, QvVARIANT Content); /* 83, DISPID 77 */
  QvHRESULT (*GetBinaryContent)(QvIQuorvelXml2* This, QvLONG unzipFlag, QvLONG decryptFlag, QvBSTR password, QvVARIANT* Content); /* 84, DISPID 78 */
  QvHRESULT (*FindChild)(QvIQuorvelXml2* This, QvBSTR Tag, QvIQuorvelXml** child); /* 85, DISPID 79 */
  QvHRESULT (*NewChild2)(QvIQuorvelXml2* This, QvBSTR Tag, QvBSTR Content); /* 86, DISPID 80 */
  QvHRESULT (*SortByTag)(QvIQuorvelXml2* This, QvLONG ascending); /* 87, DISPID 81 */
  QvHRESULT (*SortByContent)(QvIQuorvelXml2* This, QvLONG ascending); /* 88, DISPID 82 */
  QvHRESULT (*SortByAttribute)(QvIQuorvelXml2* This, QvBSTR attrName, QvLONG ascending); /* 89, DISPID 83 */
  QvHRESULT (*SortRecordsByContent)(QvIQuorvelXml2* This, QvBSTR sortTag, QvLONG ascending); /* 90, DISPID 84 */
  QvHRESULT (*SortRecordsByAttribute)(QvIQuorvelXml2* This, QvBSTR sortTag, QvBSTR attrName, QvLONG ascending); /* 91, DISPID 85 */
  QvHRESULT (*LoadXmlV)(QvIQuorvelXml2* This, QvVARIANT xmlData, QvLONG* success); /* 92, DISPID 86 */
  QvHRESULT (*SelectNodes)(QvIQuorvelXml2* This, QvBSTR xpath, QvVARIANT* nodes); /* 93, DISPID 87 */
  QvHRESULT (*SelectSingleNode)(QvIQuorvelXml2* This, QvBSTR xpath, QvIQuorvelXml** node); /* 94, DISPID 88 */
  QvHRESULT (*SelectValues)(QvIQuorvelXml2* This, QvBSTR xpath, QvVARIANT* values); /* 95, DISPID 89 */
  QvHRESULT (*EvaluateXPath)(QvIQuorvelXml2* This, QvBSTR xpath, QvVARIANT* result); /* 96, DISPID 90 */
  QvHRESULT (*SetXPathNamespace)(QvIQuorvelXml2* This, QvBSTR prefix, QvBSTR uri); /* 97, DISPID 91 */
  QvHRESULT (*SetXPathVariable)(QvIQuorvelXml2* This, QvBSTR name, QvVARIANT value); /* 98, DISPID 92 */
  QvHRESULT (*get_NamespaceUri)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 99, DISPID 93 */
  QvHRESULT (*get_LocalName)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 100, DISPID 94 */
  QvHRESULT (*get_Prefix)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 101, DISPID 95 */
  QvHRESULT (*LookupNamespace)(QvIQuorvelXml2* This, QvBSTR prefix, QvBSTR* uri); /* 102, DISPID 96 */
  QvHRESULT (*GetXmlIndented)(QvIQuorvelXml2* This, QvBSTR indent, QvBSTR* xmlData); /* 103, DISPID 97 */
  QvHRESULT (*SaveXmlIndented)(QvIQuorvelXml2* This, QvBSTR fileName, QvBSTR indent); /* 104, DISPID 98 */
  QvHRESULT (*OpenRecords)(QvIQuorvelXml2* This, QvBSTR source, QvBSTR recordPath); /* 105, DISPID 99 */
  QvHRESULT (*OpenRecordRange)(QvIQuorvelXml2* This, QvBSTR fileName, QvBSTR recordPath, QvVARIANT start, QvVARIANT end); /* 106, DISPID 100 */
  QvHRESULT (*NextRecord)(QvIQuorvelXml2* This, QvIQuorvelXml** record); /* 107, DISPID 101 */
  QvHRESULT (*get_RecordSizeLimit)(QvIQuorvelXml2* This, QvLONG* pVal); /* 108, DISPID 102 */
  QvHRESULT (*put_RecordSizeLimit)(QvIQuorvelXml2* This, QvLONG newVal); /* 109, DISPID 102 */
  QvHRESULT (*get_RecordPath)(QvIQuorvelXml2* This, QvBSTR* pVal); /* 110, DISPID 103 */
  QvHRESULT (*GetRecordAncestor)(QvIQuorvelXml2* This, QvLONG level, QvIQuorvelXml** ancestor); /* 111, DISPID 104 */
  /* Virtual-table-only members: no DISPID, not callable by name.
   * The UTF-8 views (112-115) give the node's texts as well-formed UTF-8 that
   * reads exactly as the host string of get_Tag, get_Content,
   * GetAttributeName/GetAttributeValue or GetAttrValue does, without making
   * one: the stored bytes themselves, or, for text that is not well-formed
   * UTF-8, a repaired copy kept with the tree. A view stays valid until the
   * node's tag, content or attributes change (through any handle), the node
   * is removed from its tree and destroyed, or the tree ends; moving a handle
   * or changing another node leaves it alone. Cost: one check of the text
   * (eight ASCII bytes a step); nothing is allocated unless a repair is
   * needed. They log nothing unless they fail (E_FAIL with the error summary).
   * GetAttributeUtf8: REQUIRES 0 <= index < NumAttributes, else it fails; name
   * or value may be null when only the other is wanted.
   * FindAttributeUtf8: the first attribute named exactly name[0, nameLength)
   * (no trimming, unlike GetAttrValue): *found 1 and its value, else *found 0
   * and an empty view; name may be null only when nameLength is 0. */
  QvHRESULT (*GetTagUtf8)(QvIQuorvelXml2* This, QvUtf8View* tag); /* 112 */
  QvHRESULT (*GetContentUtf8)(QvIQuorvelXml2* This, QvUtf8View* content); /* 113 */
  QvHRESULT (*GetAttributeUtf8)(QvIQuorvelXml2* This, QvLONG index, QvUtf8View* name, QvUtf8View* value); /* 114 */
  QvHRESULT (*FindAttributeUtf8)(QvIQuorvelXml2* This, const char* name, size_t nameLength, QvUtf8View* value, QvLONG* found); /* 115 */
  QvHRESULT (*OpenRecordStream)(QvIQuorvelXml2* This, QvReadCallback read, void* context, QvBSTR recordPath); /* 116 */
} QvIQuorvelXml2Vtbl;
struct QvIQuorvelXml2 {
  const QvIQuorvelXml2Vtbl* lpVtbl;
};
_Static_assert(sizeof(QvIQuorvelXml2Vtbl) == 117 * sizeof(QvHRESULT (*)(void)),
               "IQuorvelXml2 has 117 slots: IQuorvelXml's 93, 19 dispatchable members, 5 reached only here");

typedef struct QvIXmlFactoryVtbl {
  QvHRESULT (*QueryInterface)(QvIXmlFactory* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIXmlFactory* This);
  QvULONG (*Release)(QvIXmlFactory* This);
  QvHRESULT (*GetTypeInfoCount)(QvIXmlFactory* This, QvUINT* pctinfo);
  QvHRESULT (*GetTypeInfo)(QvIXmlFactory* This, QvUINT iTInfo, QvLCID lcid, QvITypeInfo** ppTInfo);
  QvHRESULT (*GetIDsOfNames)(QvIXmlFactory* This, QvREFIID riid, QvLPOLESTR* rgszNames, QvUINT cNames,
                             QvLCID lcid, QvDISPID* rgDispId);
  QvHRESULT (*Invoke)(QvIXmlFactory* This, QvDISPID dispIdMember, QvREFIID riid, QvLCID lcid, QvWORD wFlags,
                      QvDISPPARAMS* pDispParams, QvVARIANT* pVarResult, QvEXCEPINFO* pExcepInfo,
                      QvUINT* puArgErr);
  QvHRESULT (*NewXml)(QvIXmlFactory* This, QvIQuorvelXml** root); /* 7, DISPID 1 */
} QvIXmlFactoryVtbl;
struct QvIXmlFactory {
  const QvIXmlFactoryVtbl* lpVtbl;
};

/* An event sink is reached only through IDispatch::Invoke; its vtable is IDispatch's. */
struct Qv_IQuorvelXmlEvents {
  const QvIDispatchVtbl* lpVtbl;
};
#endif

/* ---- Module entry points ---------------------------------------------- */

QV_EXTERN_C_BEGIN

/* The class factory (IClassFactory) of QuorvelXml or XmlFactory. */
QV_API QvHRESULT DllGetClassObject(QvREFCLSID rclsid, QvREFIID riid, void** ppv);
/* S_OK when no object and no server lock is left, else S_FALSE. */
QV_API QvHRESULT DllCanUnloadNow(void);
/* Write or remove the classes' registry entries in the registry file under
 * $XDG_DATA_HOME/quorvel (else ~/.local/share/quorvel). */
QV_API QvHRESULT DllRegisterServer(void);
QV_API QvHRESULT DllUnregisterServer(void);

/* Creates a class of this module (the module is already loaded, so no
 * registry is read); REGDB_E_CLASSNOTREG for any other class. */
QV_API QvHRESULT qv_CoCreateInstance(QvREFCLSID rclsid, QvIUnknown* pUnkOuter, QvDWORD dwClsContext,
                                     QvREFIID riid, void** ppv);
/* The class of a ProgID: the module's own ProgIDs always (names compare
 * without case), others through the registry file. CO_E_CLASSSTRING when the
 * name is unknown. */
QV_API QvHRESULT qv_CLSIDFromProgID(QvLPCOLESTR lpszProgID, QvCLSID* lpclsid);

QV_EXTERN_C_END

/* For hosts that look the entry points up with dlsym. */
typedef QvHRESULT (*QvDllGetClassObjectFn)(QvREFCLSID rclsid, QvREFIID riid, void** ppv);
typedef QvHRESULT (*QvDllCanUnloadNowFn)(void);
typedef QvHRESULT (*QvDllRegisterServerFn)(void);
typedef QvHRESULT (*QvDllUnregisterServerFn)(void);

#endif /* QUORVEL_QUORVEL_XML_H */
