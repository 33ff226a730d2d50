// C++ face of the automation types: the base interfaces as abstract classes
// whose virtual tables have the layout C hosts and other automation clients
// expect, and the unprefixed names of types, constants and functions in
// namespace quorvel.
#ifndef QUORVEL_AUTOMATION_HPP
#define QUORVEL_AUTOMATION_HPP

#include "quorvel/automation.h"

namespace quorvel {

using HRESULT = QvHRESULT;
using SCODE = QvSCODE;
using LONG = QvLONG;
using ULONG = QvULONG;
using DWORD = QvDWORD;
using WORD = QvWORD;
using USHORT = QvUSHORT;
using SHORT = QvSHORT;
using BYTE = QvBYTE;
using INT = QvINT;
using UINT = QvUINT;
using LONGLONG = QvLONGLONG;
using ULONGLONG = QvULONGLONG;
using OLECHAR = QvOLECHAR;
using LPOLESTR = QvLPOLESTR;
using LPCOLESTR = QvLPCOLESTR;
using BSTR = QvBSTR;
using VARTYPE = QvVARTYPE;
using VARIANT_BOOL = QvVARIANT_BOOL;
using DATE = QvDATE;
using DISPID = QvDISPID;
using MEMBERID = QvMEMBERID;
using LCID = QvLCID;
using GUID = QvGUID;
using IID = QvIID;
using CLSID = QvCLSID;
using REFGUID = QvREFGUID;
using REFIID = QvREFIID;
using REFCLSID = QvREFCLSID;
using CY = QvCY;
using DECIMAL = QvDECIMAL;
using SAFEARRAYBOUND = QvSAFEARRAYBOUND;
using SAFEARRAY = QvSAFEARRAY;
using VARIANT = QvVARIANT;
using VARIANTARG = QvVARIANTARG;
using DISPPARAMS = QvDISPPARAMS;
using EXCEPINFO = QvEXCEPINFO;
using BOOL = QvBOOL;
using HREFTYPE = QvHREFTYPE;
using TYPEKIND = QvTYPEKIND;
using FUNCKIND = QvFUNCKIND;
using INVOKEKIND = QvINVOKEKIND;
using CALLCONV = QvCALLCONV;
using VARKIND = QvVARKIND;
using TYPEDESC = QvTYPEDESC;
using ARRAYDESC = QvARRAYDESC;
using IDLDESC = QvIDLDESC;
using PARAMDESCEX = QvPARAMDESCEX;
using PARAMDESC = QvPARAMDESC;
using ELEMDESC = QvELEMDESC;
using TYPEATTR = QvTYPEATTR;
using FUNCDESC = QvFUNCDESC;
using VARDESC = QvVARDESC;
using CONNECTDATA = QvCONNECTDATA;

inline constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
inline constexpr bool FAILED(HRESULT hr) { return hr < 0; }

inline constexpr HRESULT S_OK = QV_S_OK;
inline constexpr HRESULT S_FALSE = QV_S_FALSE;
inline constexpr HRESULT E_NOTIMPL = QV_E_NOTIMPL;
inline constexpr HRESULT E_NOINTERFACE = QV_E_NOINTERFACE;
inline constexpr HRESULT E_POINTER = QV_E_POINTER;
inline constexpr HRESULT E_ABORT = QV_E_ABORT;
inline constexpr HRESULT E_FAIL = QV_E_FAIL;
inline constexpr HRESULT E_UNEXPECTED = QV_E_UNEXPECTED;
inline constexpr HRESULT E_ACCESSDENIED = QV_E_ACCESSDENIED;
inline constexpr HRESULT E_HANDLE = QV_E_HANDLE;
inline constexpr HRESULT E_OUTOFMEMORY = QV_E_OUTOFMEMORY;
inline constexpr HRESULT E_INVALIDARG = QV_E_INVALIDARG;
inline constexpr HRESULT CLASS_E_NOAGGREGATION = QV_CLASS_E_NOAGGREGATION;
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = QV_CLASS_E_CLASSNOTAVAILABLE;
inline constexpr HRESULT CONNECT_E_NOCONNECTION = QV_CONNECT_E_NOCONNECTION;
inline constexpr HRESULT CONNECT_E_ADVISELIMIT = QV_CONNECT_E_ADVISELIMIT;
inline constexpr HRESULT CONNECT_E_CANNOTCONNECT = QV_CONNECT_E_CANNOTCONNECT;
inline constexpr HRESULT CONNECT_E_OVERRIDDEN = QV_CONNECT_E_OVERRIDDEN;
inline constexpr HRESULT DISP_E_UNKNOWNINTERFACE = QV_DISP_E_UNKNOWNINTERFACE;
inline constexpr HRESULT DISP_E_MEMBERNOTFOUND = QV_DISP_E_MEMBERNOTFOUND;
inline constexpr HRESULT DISP_E_PARAMNOTFOUND = QV_DISP_E_PARAMNOTFOUND;
inline constexpr HRESULT DISP_E_TYPEMISMATCH = QV_DISP_E_TYPEMISMATCH;
inline constexpr HRESULT DISP_E_UNKNOWNNAME = QV_DISP_E_UNKNOWNNAME;
inline constexpr HRESULT DISP_E_NONAMEDARGS = QV_DISP_E_NONAMEDARGS;
inline constexpr HRESULT DISP_E_BADVARTYPE = QV_DISP_E_BADVARTYPE;
inline constexpr HRESULT DISP_E_EXCEPTION = QV_DISP_E_EXCEPTION;
inline constexpr HRESULT DISP_E_OVERFLOW = QV_DISP_E_OVERFLOW;
inline constexpr HRESULT DISP_E_BADINDEX = QV_DISP_E_BADINDEX;
inline constexpr HRESULT DISP_E_UNKNOWNLCID = QV_DISP_E_UNKNOWNLCID;
inline constexpr HRESULT DISP_E_ARRAYISLOCKED = QV_DISP_E_ARRAYISLOCKED;
inline constexpr HRESULT DISP_E_BADPARAMCOUNT = QV_DISP_E_BADPARAMCOUNT;
inline constexpr HRESULT DISP_E_PARAMNOTOPTIONAL = QV_DISP_E_PARAMNOTOPTIONAL;
inline constexpr HRESULT DISP_E_BADCALLEE = QV_DISP_E_BADCALLEE;
inline constexpr HRESULT DISP_E_NOTACOLLECTION = QV_DISP_E_NOTACOLLECTION;
inline constexpr HRESULT DISP_E_DIVBYZERO = QV_DISP_E_DIVBYZERO;
inline constexpr HRESULT DISP_E_BUFFERTOOSMALL = QV_DISP_E_BUFFERTOOSMALL;
inline constexpr HRESULT TYPE_E_ELEMENTNOTFOUND = QV_TYPE_E_ELEMENTNOTFOUND;
inline constexpr HRESULT REGDB_E_CLASSNOTREG = QV_REGDB_E_CLASSNOTREG;
inline constexpr HRESULT CO_E_CLASSSTRING = QV_CO_E_CLASSSTRING;

inline constexpr VARTYPE VT_EMPTY = QV_VT_EMPTY;
inline constexpr VARTYPE VT_NULL = QV_VT_NULL;
inline constexpr VARTYPE VT_I2 = QV_VT_I2;
inline constexpr VARTYPE VT_I4 = QV_VT_I4;
inline constexpr VARTYPE VT_R4 = QV_VT_R4;
inline constexpr VARTYPE VT_R8 = QV_VT_R8;
inline constexpr VARTYPE VT_CY = QV_VT_CY;
inline constexpr VARTYPE VT_DATE = QV_VT_DATE;
inline constexpr VARTYPE VT_BSTR = QV_VT_BSTR;
inline constexpr VARTYPE VT_DISPATCH = QV_VT_DISPATCH;
inline constexpr VARTYPE VT_ERROR = QV_VT_ERROR;
inline constexpr VARTYPE VT_BOOL = QV_VT_BOOL;
inline constexpr VARTYPE VT_VARIANT = QV_VT_VARIANT;
inline constexpr VARTYPE VT_UNKNOWN = QV_VT_UNKNOWN;
inline constexpr VARTYPE VT_DECIMAL = QV_VT_DECIMAL;
inline constexpr VARTYPE VT_I1 = QV_VT_I1;
inline constexpr VARTYPE VT_UI1 = QV_VT_UI1;
inline constexpr VARTYPE VT_UI2 = QV_VT_UI2;
inline constexpr VARTYPE VT_UI4 = QV_VT_UI4;
inline constexpr VARTYPE VT_I8 = QV_VT_I8;
inline constexpr VARTYPE VT_UI8 = QV_VT_UI8;
inline constexpr VARTYPE VT_INT = QV_VT_INT;
inline constexpr VARTYPE VT_UINT = QV_VT_UINT;
inline constexpr VARTYPE VT_VOID = QV_VT_VOID;
inline constexpr VARTYPE VT_HRESULT = QV_VT_HRESULT;
inline constexpr VARTYPE VT_PTR = QV_VT_PTR;
inline constexpr VARTYPE VT_SAFEARRAY = QV_VT_SAFEARRAY;
inline constexpr VARTYPE VT_CARRAY = QV_VT_CARRAY;
inline constexpr VARTYPE VT_USERDEFINED = QV_VT_USERDEFINED;
inline constexpr VARTYPE VT_LPSTR = QV_VT_LPSTR;
inline constexpr VARTYPE VT_LPWSTR = QV_VT_LPWSTR;
inline constexpr VARTYPE VT_RECORD = QV_VT_RECORD;
inline constexpr VARTYPE VT_INT_PTR = QV_VT_INT_PTR;
inline constexpr VARTYPE VT_UINT_PTR = QV_VT_UINT_PTR;
inline constexpr VARTYPE VT_VECTOR = QV_VT_VECTOR;
inline constexpr VARTYPE VT_ARRAY = QV_VT_ARRAY;
inline constexpr VARTYPE VT_BYREF = QV_VT_BYREF;
inline constexpr VARTYPE VT_RESERVED = QV_VT_RESERVED;
inline constexpr VARTYPE VT_ILLEGAL = QV_VT_ILLEGAL;
inline constexpr VARTYPE VT_ILLEGALMASKED = QV_VT_ILLEGALMASKED;
inline constexpr VARTYPE VT_TYPEMASK = QV_VT_TYPEMASK;

inline constexpr VARIANT_BOOL VARIANT_TRUE = QV_VARIANT_TRUE;
inline constexpr VARIANT_BOOL VARIANT_FALSE = QV_VARIANT_FALSE;
inline constexpr USHORT VARIANT_NOVALUEPROP = QV_VARIANT_NOVALUEPROP;
inline constexpr USHORT VARIANT_ALPHABOOL = QV_VARIANT_ALPHABOOL;
inline constexpr USHORT VARIANT_NOUSEROVERRIDE = QV_VARIANT_NOUSEROVERRIDE;
inline constexpr USHORT VARIANT_LOCALBOOL = QV_VARIANT_LOCALBOOL;

inline constexpr WORD DISPATCH_METHOD = QV_DISPATCH_METHOD;
inline constexpr WORD DISPATCH_PROPERTYGET = QV_DISPATCH_PROPERTYGET;
inline constexpr WORD DISPATCH_PROPERTYPUT = QV_DISPATCH_PROPERTYPUT;
inline constexpr WORD DISPATCH_PROPERTYPUTREF = QV_DISPATCH_PROPERTYPUTREF;
inline constexpr DISPID DISPID_UNKNOWN = QV_DISPID_UNKNOWN;
inline constexpr DISPID DISPID_VALUE = QV_DISPID_VALUE;
inline constexpr DISPID DISPID_PROPERTYPUT = QV_DISPID_PROPERTYPUT;
inline constexpr DISPID DISPID_NEWENUM = QV_DISPID_NEWENUM;
inline constexpr DISPID DISPID_EVALUATE = QV_DISPID_EVALUATE;
inline constexpr DISPID DISPID_CONSTRUCTOR = QV_DISPID_CONSTRUCTOR;
inline constexpr DISPID DISPID_DESTRUCTOR = QV_DISPID_DESTRUCTOR;
inline constexpr DISPID DISPID_COLLECT = QV_DISPID_COLLECT;
inline constexpr LCID LOCALE_NEUTRAL = QV_LOCALE_NEUTRAL;
inline constexpr LCID LOCALE_USER_DEFAULT = QV_LOCALE_USER_DEFAULT;
inline constexpr LCID LOCALE_SYSTEM_DEFAULT = QV_LOCALE_SYSTEM_DEFAULT;

inline constexpr USHORT FADF_AUTO = QV_FADF_AUTO;
inline constexpr USHORT FADF_STATIC = QV_FADF_STATIC;
inline constexpr USHORT FADF_EMBEDDED = QV_FADF_EMBEDDED;
inline constexpr USHORT FADF_FIXEDSIZE = QV_FADF_FIXEDSIZE;
inline constexpr USHORT FADF_RECORD = QV_FADF_RECORD;
inline constexpr USHORT FADF_HAVEIID = QV_FADF_HAVEIID;
inline constexpr USHORT FADF_HAVEVARTYPE = QV_FADF_HAVEVARTYPE;
inline constexpr USHORT FADF_BSTR = QV_FADF_BSTR;
inline constexpr USHORT FADF_UNKNOWN = QV_FADF_UNKNOWN;
inline constexpr USHORT FADF_DISPATCH = QV_FADF_DISPATCH;
inline constexpr USHORT FADF_VARIANT = QV_FADF_VARIANT;

inline constexpr TYPEKIND TKIND_ENUM = QV_TKIND_ENUM;
inline constexpr TYPEKIND TKIND_RECORD = QV_TKIND_RECORD;
inline constexpr TYPEKIND TKIND_MODULE = QV_TKIND_MODULE;
inline constexpr TYPEKIND TKIND_INTERFACE = QV_TKIND_INTERFACE;
inline constexpr TYPEKIND TKIND_DISPATCH = QV_TKIND_DISPATCH;
inline constexpr TYPEKIND TKIND_COCLASS = QV_TKIND_COCLASS;
inline constexpr TYPEKIND TKIND_ALIAS = QV_TKIND_ALIAS;
inline constexpr TYPEKIND TKIND_UNION = QV_TKIND_UNION;
inline constexpr FUNCKIND FUNC_VIRTUAL = QV_FUNC_VIRTUAL;
inline constexpr FUNCKIND FUNC_PUREVIRTUAL = QV_FUNC_PUREVIRTUAL;
inline constexpr FUNCKIND FUNC_NONVIRTUAL = QV_FUNC_NONVIRTUAL;
inline constexpr FUNCKIND FUNC_STATIC = QV_FUNC_STATIC;
inline constexpr FUNCKIND FUNC_DISPATCH = QV_FUNC_DISPATCH;
inline constexpr INVOKEKIND INVOKE_FUNC = QV_INVOKE_FUNC;
inline constexpr INVOKEKIND INVOKE_PROPERTYGET = QV_INVOKE_PROPERTYGET;
inline constexpr INVOKEKIND INVOKE_PROPERTYPUT = QV_INVOKE_PROPERTYPUT;
inline constexpr INVOKEKIND INVOKE_PROPERTYPUTREF = QV_INVOKE_PROPERTYPUTREF;
inline constexpr CALLCONV CC_CDECL = QV_CC_CDECL;
inline constexpr CALLCONV CC_STDCALL = QV_CC_STDCALL;
inline constexpr VARKIND VAR_PERINSTANCE = QV_VAR_PERINSTANCE;
inline constexpr VARKIND VAR_STATIC = QV_VAR_STATIC;
inline constexpr VARKIND VAR_CONST = QV_VAR_CONST;
inline constexpr VARKIND VAR_DISPATCH = QV_VAR_DISPATCH;
inline constexpr USHORT PARAMFLAG_NONE = QV_PARAMFLAG_NONE;
inline constexpr USHORT PARAMFLAG_FIN = QV_PARAMFLAG_FIN;
inline constexpr USHORT PARAMFLAG_FOUT = QV_PARAMFLAG_FOUT;
inline constexpr USHORT PARAMFLAG_FLCID = QV_PARAMFLAG_FLCID;
inline constexpr USHORT PARAMFLAG_FRETVAL = QV_PARAMFLAG_FRETVAL;
inline constexpr USHORT PARAMFLAG_FOPT = QV_PARAMFLAG_FOPT;
inline constexpr USHORT PARAMFLAG_FHASDEFAULT = QV_PARAMFLAG_FHASDEFAULT;
inline constexpr WORD TYPEFLAG_FAPPOBJECT = QV_TYPEFLAG_FAPPOBJECT;
inline constexpr WORD TYPEFLAG_FCANCREATE = QV_TYPEFLAG_FCANCREATE;
inline constexpr WORD TYPEFLAG_FLICENSED = QV_TYPEFLAG_FLICENSED;
inline constexpr WORD TYPEFLAG_FPREDECLID = QV_TYPEFLAG_FPREDECLID;
inline constexpr WORD TYPEFLAG_FHIDDEN = QV_TYPEFLAG_FHIDDEN;
inline constexpr WORD TYPEFLAG_FCONTROL = QV_TYPEFLAG_FCONTROL;
inline constexpr WORD TYPEFLAG_FDUAL = QV_TYPEFLAG_FDUAL;
inline constexpr WORD TYPEFLAG_FNONEXTENSIBLE = QV_TYPEFLAG_FNONEXTENSIBLE;
inline constexpr WORD TYPEFLAG_FOLEAUTOMATION = QV_TYPEFLAG_FOLEAUTOMATION;
inline constexpr WORD TYPEFLAG_FRESTRICTED = QV_TYPEFLAG_FRESTRICTED;
inline constexpr WORD TYPEFLAG_FAGGREGATABLE = QV_TYPEFLAG_FAGGREGATABLE;
inline constexpr WORD TYPEFLAG_FREPLACEABLE = QV_TYPEFLAG_FREPLACEABLE;
inline constexpr WORD TYPEFLAG_FDISPATCHABLE = QV_TYPEFLAG_FDISPATCHABLE;
inline constexpr INT IMPLTYPEFLAG_FDEFAULT = QV_IMPLTYPEFLAG_FDEFAULT;
inline constexpr INT IMPLTYPEFLAG_FSOURCE = QV_IMPLTYPEFLAG_FSOURCE;
inline constexpr INT IMPLTYPEFLAG_FRESTRICTED = QV_IMPLTYPEFLAG_FRESTRICTED;
inline constexpr MEMBERID MEMBERID_NIL = QV_MEMBERID_NIL;

inline constexpr DWORD CLSCTX_INPROC_SERVER = QV_CLSCTX_INPROC_SERVER;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = QV_CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = QV_CLSCTX_LOCAL_SERVER;
inline constexpr DWORD CLSCTX_REMOTE_SERVER = QV_CLSCTX_REMOTE_SERVER;
inline constexpr DWORD CLSCTX_SERVER = QV_CLSCTX_SERVER;
inline constexpr DWORD GUIDKIND_DEFAULT_SOURCE_DISP_IID = QV_GUIDKIND_DEFAULT_SOURCE_DISP_IID;

inline constexpr const GUID& GUID_NULL = QvGUID_NULL;
inline constexpr const IID& IID_NULL = QvGUID_NULL;
inline constexpr const IID& IID_IUnknown = QvIID_IUnknown;
inline constexpr const IID& IID_IClassFactory = QvIID_IClassFactory;
inline constexpr const IID& IID_IDispatch = QvIID_IDispatch;
inline constexpr const IID& IID_ITypeInfo = QvIID_ITypeInfo;
inline constexpr const IID& IID_IErrorInfo = QvIID_IErrorInfo;
inline constexpr const IID& IID_ICreateErrorInfo = QvIID_ICreateErrorInfo;
inline constexpr const IID& IID_ISupportErrorInfo = QvIID_ISupportErrorInfo;
inline constexpr const IID& IID_IProvideClassInfo = QvIID_IProvideClassInfo;
inline constexpr const IID& IID_IProvideClassInfo2 = QvIID_IProvideClassInfo2;
inline constexpr const IID& IID_IConnectionPointContainer = QvIID_IConnectionPointContainer;
inline constexpr const IID& IID_IEnumConnectionPoints = QvIID_IEnumConnectionPoints;
inline constexpr const IID& IID_IConnectionPoint = QvIID_IConnectionPoint;
inline constexpr const IID& IID_IEnumConnections = QvIID_IEnumConnections;
inline constexpr const IID& IID_IPropertyNotifySink = QvIID_IPropertyNotifySink;

inline constexpr bool IsEqualGUID(const GUID& a, const GUID& b) {
  if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
  for (int i = 0; i < 8; ++i)
    if (a.Data4[i] != b.Data4[i]) return false;
  return true;
}
inline constexpr bool IsEqualIID(const IID& a, const IID& b) { return IsEqualGUID(a, b); }

// Interfaces: methods in slot order, no virtual destructor, so the virtual
// table is exactly the array of function pointers a C host calls through.
// The protected destructor keeps anyone from deleting through an interface.
struct IUnknown {
  virtual HRESULT QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG AddRef() = 0;
  virtual ULONG Release() = 0;

 protected:
  ~IUnknown() = default;
};

struct IErrorInfo : IUnknown {
  virtual HRESULT GetGUID(GUID* pGUID) = 0;
  virtual HRESULT GetSource(BSTR* pBstrSource) = 0;
  virtual HRESULT GetDescription(BSTR* pBstrDescription) = 0;
  virtual HRESULT GetHelpFile(BSTR* pBstrHelpFile) = 0;
  virtual HRESULT GetHelpContext(DWORD* pdwHelpContext) = 0;

 protected:
  ~IErrorInfo() = default;
};

struct ICreateErrorInfo : IUnknown {
  virtual HRESULT SetGUID(REFGUID rguid) = 0;
  virtual HRESULT SetSource(LPOLESTR szSource) = 0;
  virtual HRESULT SetDescription(LPOLESTR szDescription) = 0;
  virtual HRESULT SetHelpFile(LPOLESTR szHelpFile) = 0;
  virtual HRESULT SetHelpContext(DWORD dwHelpContext) = 0;

 protected:
  ~ICreateErrorInfo() = default;
};

struct IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;

 protected:
  ~IDispatch() = default;
};

// Type information as far as hosts read it; type binding (GetTypeComp) and
// type libraries are not provided, so those pointers stay opaque.
struct ITypeInfo : IUnknown {
  virtual HRESULT GetTypeAttr(TYPEATTR** ppTypeAttr) = 0;
  virtual HRESULT GetTypeComp(ITypeComp** ppTComp) = 0;
  virtual HRESULT GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) = 0;
  virtual HRESULT GetVarDesc(UINT index, VARDESC** ppVarDesc) = 0;
  virtual HRESULT GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames) = 0;
  virtual HRESULT GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) = 0;
  virtual HRESULT GetImplTypeFlags(UINT index, INT* pImplTypeFlags) = 0;
  virtual HRESULT GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId) = 0;
  virtual HRESULT Invoke(void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
  virtual HRESULT GetDocumentation(MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                   BSTR* pBstrHelpFile) = 0;
  virtual HRESULT GetDllEntry(MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
                              WORD* pwOrdinal) = 0;
  virtual HRESULT GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT AddressOfMember(MEMBERID memid, INVOKEKIND invKind, void** ppv) = 0;
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObj) = 0;
  virtual HRESULT GetMops(MEMBERID memid, BSTR* pBstrMops) = 0;
  virtual HRESULT GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) = 0;
  virtual void ReleaseTypeAttr(TYPEATTR* pTypeAttr) = 0;
  virtual void ReleaseFuncDesc(FUNCDESC* pFuncDesc) = 0;
  virtual void ReleaseVarDesc(VARDESC* pVarDesc) = 0;

 protected:
  ~ITypeInfo() = default;
};

struct IClassFactory : IUnknown {
  virtual HRESULT CreateInstance(IUnknown* pUnkOuter, REFIID riid, void** ppvObject) = 0;
  virtual HRESULT LockServer(BOOL fLock) = 0;

 protected:
  ~IClassFactory() = default;
};

struct ISupportErrorInfo : IUnknown {
  virtual HRESULT InterfaceSupportsErrorInfo(REFIID riid) = 0;

 protected:
  ~ISupportErrorInfo() = default;
};

struct IConnectionPointContainer : IUnknown {
  virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
  virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;

 protected:
  ~IConnectionPointContainer() = default;
};

struct IConnectionPoint : IUnknown {
  virtual HRESULT GetConnectionInterface(IID* pIID) = 0;
  virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
  virtual HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
  virtual HRESULT Unadvise(DWORD dwCookie) = 0;
  virtual HRESULT EnumConnections(IEnumConnections** ppEnum) = 0;

 protected:
  ~IConnectionPoint() = default;
};

struct IEnumConnectionPoints : IUnknown {
  virtual HRESULT Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cConnections) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumConnectionPoints** ppEnum) = 0;

 protected:
  ~IEnumConnectionPoints() = default;
};

struct IEnumConnections : IUnknown {
  virtual HRESULT Next(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) = 0;
  virtual HRESULT Skip(ULONG cConnections) = 0;
  virtual HRESULT Reset() = 0;
  virtual HRESULT Clone(IEnumConnections** ppEnum) = 0;

 protected:
  ~IEnumConnections() = default;
};

struct IProvideClassInfo : IUnknown {
  virtual HRESULT GetClassInfo(ITypeInfo** ppTI) = 0;

 protected:
  ~IProvideClassInfo() = default;
};

struct IProvideClassInfo2 : IProvideClassInfo {
  virtual HRESULT GetGUID(DWORD dwGuidKind, GUID* pGUID) = 0;

 protected:
  ~IProvideClassInfo2() = default;
};

struct IPropertyNotifySink : IUnknown {
  virtual HRESULT OnChanged(DISPID dispID) = 0;
  virtual HRESULT OnRequestEdit(DISPID dispID) = 0;

 protected:
  ~IPropertyNotifySink() = default;
};

// The exported C functions under their usual names.
inline BSTR SysAllocString(const OLECHAR* psz) { return qv_SysAllocString(psz); }
inline BSTR SysAllocStringLen(const OLECHAR* pch, UINT cch) { return qv_SysAllocStringLen(pch, cch); }
inline BSTR SysAllocStringByteLen(const char* psz, UINT len) { return qv_SysAllocStringByteLen(psz, len); }
inline INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) { return qv_SysReAllocString(pbstr, psz); }
inline INT SysReAllocStringLen(BSTR* pbstr, const OLECHAR* pch, UINT cch) {
  return qv_SysReAllocStringLen(pbstr, pch, cch);
}
inline UINT SysStringLen(BSTR bstr) { return qv_SysStringLen(bstr); }
inline UINT SysStringByteLen(BSTR bstr) { return qv_SysStringByteLen(bstr); }
inline void SysFreeString(BSTR bstr) { qv_SysFreeString(bstr); }

inline void VariantInit(VARIANTARG* pvarg) { qv_VariantInit(pvarg); }
inline HRESULT VariantClear(VARIANTARG* pvarg) { return qv_VariantClear(pvarg); }
inline HRESULT VariantCopy(VARIANTARG* dest, const VARIANTARG* src) { return qv_VariantCopy(dest, src); }
inline HRESULT VariantCopyInd(VARIANTARG* dest, const VARIANTARG* src) { return qv_VariantCopyInd(dest, src); }
inline HRESULT VariantChangeType(VARIANTARG* dest, const VARIANTARG* src, USHORT flags, VARTYPE vt) {
  return qv_VariantChangeType(dest, src, flags, vt);
}
inline HRESULT VariantChangeTypeEx(VARIANTARG* dest, const VARIANTARG* src, LCID lcid, USHORT flags,
                                   VARTYPE vt) {
  return qv_VariantChangeTypeEx(dest, src, lcid, flags, vt);
}

inline SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, const SAFEARRAYBOUND* bounds) {
  return qv_SafeArrayCreate(vt, cDims, bounds);
}
inline SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
  return qv_SafeArrayCreateVector(vt, lLbound, cElements);
}
inline HRESULT SafeArrayDestroy(SAFEARRAY* psa) { return qv_SafeArrayDestroy(psa); }
inline UINT SafeArrayGetDim(SAFEARRAY* psa) { return qv_SafeArrayGetDim(psa); }
inline UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return qv_SafeArrayGetElemsize(psa); }
inline HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* pl) { return qv_SafeArrayGetLBound(psa, nDim, pl); }
inline HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* pl) { return qv_SafeArrayGetUBound(psa, nDim, pl); }
inline HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) { return qv_SafeArrayGetVartype(psa, pvt); }
inline HRESULT SafeArrayLock(SAFEARRAY* psa) { return qv_SafeArrayLock(psa); }
inline HRESULT SafeArrayUnlock(SAFEARRAY* psa) { return qv_SafeArrayUnlock(psa); }
inline HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppv) { return qv_SafeArrayAccessData(psa, ppv); }
inline HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return qv_SafeArrayUnaccessData(psa); }
inline HRESULT SafeArrayPtrOfIndex(SAFEARRAY* psa, const LONG* idx, void** ppv) {
  return qv_SafeArrayPtrOfIndex(psa, idx, ppv);
}
inline HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) { return qv_SafeArrayCopy(psa, ppsaOut); }

inline INT StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, INT cchMax) {
  return qv_StringFromGUID2(rguid, lpsz, cchMax);
}
inline HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) { return qv_CLSIDFromString(lpsz, pclsid); }

inline HRESULT CreateErrorInfo(ICreateErrorInfo** pp) { return qv_CreateErrorInfo(pp); }
inline HRESULT SetErrorInfo(ULONG reserved, IErrorInfo* p) { return qv_SetErrorInfo(reserved, p); }
inline HRESULT GetErrorInfo(ULONG reserved, IErrorInfo** pp) { return qv_GetErrorInfo(reserved, pp); }

}  // namespace quorvel

inline constexpr bool operator==(const QvGUID& a, const QvGUID& b) { return quorvel::IsEqualGUID(a, b); }

#endif  // QUORVEL_AUTOMATION_HPP
