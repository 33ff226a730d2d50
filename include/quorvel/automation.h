/*
 * Automation types of the QuorvelXml component: host strings, variants, safe
 * arrays, dispatch parameters, error information and the base interfaces, in a
 * form that plain C hosts and C++ hosts share. Layouts and values are those
 * that automation hosts already know, so a host written against them works
 * unchanged. C++ code includes "quorvel/automation.hpp" for the interface
 * classes and the unprefixed names in namespace quorvel.
 */
#ifndef QUORVEL_AUTOMATION_H
#define QUORVEL_AUTOMATION_H

#include <stddef.h>
#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#if defined(__GNUC__) || defined(__clang__)
#define QV_API __attribute__((visibility("default")))
#else
#define QV_API
#endif

/* Anonymous structs inside the variant are standard C11; C++ compilers accept
 * them as an extension, which this keeps quiet under pedantic warnings. */
#if defined(__GNUC__) || defined(__clang__)
#define QV_ANONYMOUS __extension__
#else
#define QV_ANONYMOUS
#endif

#ifdef __cplusplus
#define QV_EXTERN_C_BEGIN extern "C" {
#define QV_EXTERN_C_END }
#else
#define QV_EXTERN_C_BEGIN
#define QV_EXTERN_C_END
#endif

/* ---- Scalar types ---------------------------------------------------- */

typedef int32_t QvHRESULT;
typedef int32_t QvSCODE;
typedef int32_t QvLONG;
typedef uint32_t QvULONG;
typedef uint32_t QvDWORD;
typedef uint16_t QvWORD;
typedef uint16_t QvUSHORT;
typedef int16_t QvSHORT;
typedef uint8_t QvBYTE;
typedef int32_t QvINT;
typedef uint32_t QvUINT;
typedef int32_t QvBOOL;
typedef int64_t QvLONGLONG;
typedef uint64_t QvULONGLONG;
typedef char16_t QvOLECHAR;
typedef QvOLECHAR* QvLPOLESTR;
typedef const QvOLECHAR* QvLPCOLESTR;
/* Pointer to the first code unit; a 4-byte byte count precedes it and a zero
 * unit follows the text. Null is the absent string. */
typedef QvOLECHAR* QvBSTR;
typedef uint16_t QvVARTYPE;
typedef int16_t QvVARIANT_BOOL;
typedef double QvDATE;
typedef int32_t QvDISPID;
typedef int32_t QvMEMBERID;
typedef uint32_t QvLCID;

typedef struct QvGUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} QvGUID;
typedef QvGUID QvIID;
typedef QvGUID QvCLSID;
#ifdef __cplusplus
typedef const QvGUID& QvREFGUID;
typedef const QvIID& QvREFIID;
typedef const QvCLSID& QvREFCLSID;
#else
typedef const QvGUID* QvREFGUID;
typedef const QvIID* QvREFIID;
typedef const QvCLSID* QvREFCLSID;
#endif

typedef union QvCY {
  struct {
    QvULONG Lo;
    QvLONG Hi;
  } s;
  QvLONGLONG int64; /* value times 10000 */
} QvCY;

typedef struct QvDECIMAL {
  QvUSHORT wReserved;
  QvBYTE scale; /* power of ten dividing the 96-bit integer */
  QvBYTE sign;  /* 0x80 when negative */
  QvULONG Hi32;
  QvULONGLONG Lo64;
} QvDECIMAL;

/* ---- Result codes ---------------------------------------------------- */

#define QV_HR(x) ((QvHRESULT)(x))
#define QV_SUCCEEDED(hr) (((QvHRESULT)(hr)) >= 0)
#define QV_FAILED(hr) (((QvHRESULT)(hr)) < 0)

#define QV_S_OK QV_HR(0)
#define QV_S_FALSE QV_HR(1)
#define QV_E_NOTIMPL QV_HR(0x80004001u)
#define QV_E_NOINTERFACE QV_HR(0x80004002u)
#define QV_E_POINTER QV_HR(0x80004003u)
#define QV_E_ABORT QV_HR(0x80004004u)
#define QV_E_FAIL QV_HR(0x80004005u)
#define QV_E_UNEXPECTED QV_HR(0x8000FFFFu)
#define QV_E_ACCESSDENIED QV_HR(0x80070005u)
#define QV_E_HANDLE QV_HR(0x80070006u)
#define QV_E_OUTOFMEMORY QV_HR(0x8007000Eu)
#define QV_E_INVALIDARG QV_HR(0x80070057u)
#define QV_CLASS_E_NOAGGREGATION QV_HR(0x80040110u)
#define QV_CLASS_E_CLASSNOTAVAILABLE QV_HR(0x80040111u)
#define QV_CONNECT_E_NOCONNECTION QV_HR(0x80040200u)
#define QV_CONNECT_E_ADVISELIMIT QV_HR(0x80040201u)
#define QV_CONNECT_E_CANNOTCONNECT QV_HR(0x80040202u)
#define QV_CONNECT_E_OVERRIDDEN QV_HR(0x80040203u)
#define QV_DISP_E_UNKNOWNINTERFACE QV_HR(0x80020001u)
#define QV_DISP_E_MEMBERNOTFOUND QV_HR(0x80020003u)
#define QV_DISP_E_PARAMNOTFOUND QV_HR(0x80020004u)
#define QV_DISP_E_TYPEMISMATCH QV_HR(0x80020005u)
#define QV_DISP_E_UNKNOWNNAME QV_HR(0x80020006u)
#define QV_DISP_E_NONAMEDARGS QV_HR(0x80020007u)
#define QV_DISP_E_BADVARTYPE QV_HR(0x80020008u)
#define QV_DISP_E_EXCEPTION QV_HR(0x80020009u)
#define QV_DISP_E_OVERFLOW QV_HR(0x8002000Au)
#define QV_DISP_E_BADINDEX QV_HR(0x8002000Bu)
#define QV_DISP_E_UNKNOWNLCID QV_HR(0x8002000Cu)
#define QV_DISP_E_ARRAYISLOCKED QV_HR(0x8002000Du)
#define QV_DISP_E_BADPARAMCOUNT QV_HR(0x8002000Eu)
#define QV_DISP_E_PARAMNOTOPTIONAL QV_HR(0x8002000Fu)
#define QV_DISP_E_BADCALLEE QV_HR(0x80020010u)
#define QV_DISP_E_NOTACOLLECTION QV_HR(0x80020011u)
#define QV_DISP_E_DIVBYZERO QV_HR(0x80020012u)
#define QV_DISP_E_BUFFERTOOSMALL QV_HR(0x80020013u)
#define QV_TYPE_E_ELEMENTNOTFOUND QV_HR(0x8002802Bu)
#define QV_REGDB_E_CLASSNOTREG QV_HR(0x80040154u)
#define QV_CO_E_CLASSSTRING QV_HR(0x800401F3u)

/* ---- Variant type codes ---------------------------------------------- */

#define QV_VT_EMPTY 0
#define QV_VT_NULL 1
#define QV_VT_I2 2
#define QV_VT_I4 3
#define QV_VT_R4 4
#define QV_VT_R8 5
#define QV_VT_CY 6
#define QV_VT_DATE 7
#define QV_VT_BSTR 8
#define QV_VT_DISPATCH 9
#define QV_VT_ERROR 10
#define QV_VT_BOOL 11
#define QV_VT_VARIANT 12
#define QV_VT_UNKNOWN 13
#define QV_VT_DECIMAL 14
#define QV_VT_I1 16
#define QV_VT_UI1 17
#define QV_VT_UI2 18
#define QV_VT_UI4 19
#define QV_VT_I8 20
#define QV_VT_UI8 21
#define QV_VT_INT 22
#define QV_VT_UINT 23
#define QV_VT_VOID 24
#define QV_VT_HRESULT 25
#define QV_VT_PTR 26
#define QV_VT_SAFEARRAY 27
#define QV_VT_CARRAY 28
#define QV_VT_USERDEFINED 29
#define QV_VT_LPSTR 30
#define QV_VT_LPWSTR 31
#define QV_VT_RECORD 36
#define QV_VT_INT_PTR 37
#define QV_VT_UINT_PTR 38
#define QV_VT_VECTOR 0x1000
#define QV_VT_ARRAY 0x2000
#define QV_VT_BYREF 0x4000
#define QV_VT_RESERVED 0x8000
#define QV_VT_ILLEGAL 0xffff
#define QV_VT_ILLEGALMASKED 0x0fff
#define QV_VT_TYPEMASK 0x0fff

#define QV_VARIANT_TRUE ((QvVARIANT_BOOL)-1)
#define QV_VARIANT_FALSE ((QvVARIANT_BOOL)0)

/* Flags of qv_VariantChangeType. */
#define QV_VARIANT_NOVALUEPROP 0x01
#define QV_VARIANT_ALPHABOOL 0x02
#define QV_VARIANT_NOUSEROVERRIDE 0x04
#define QV_VARIANT_LOCALBOOL 0x10

/* ---- Dispatch constants ---------------------------------------------- */

#define QV_DISPATCH_METHOD 0x1
#define QV_DISPATCH_PROPERTYGET 0x2
#define QV_DISPATCH_PROPERTYPUT 0x4
#define QV_DISPATCH_PROPERTYPUTREF 0x8

#define QV_DISPID_UNKNOWN (-1)
#define QV_DISPID_VALUE 0
#define QV_DISPID_PROPERTYPUT (-3)
#define QV_DISPID_NEWENUM (-4)
#define QV_DISPID_EVALUATE (-5)
#define QV_DISPID_CONSTRUCTOR (-6)
#define QV_DISPID_DESTRUCTOR (-7)
#define QV_DISPID_COLLECT (-8)

#define QV_LOCALE_NEUTRAL 0x0000
#define QV_LOCALE_USER_DEFAULT 0x0400
#define QV_LOCALE_SYSTEM_DEFAULT 0x0800

/* ---- Safe array feature flags ---------------------------------------- */

#define QV_FADF_AUTO 0x0001
#define QV_FADF_STATIC 0x0002
#define QV_FADF_EMBEDDED 0x0004
#define QV_FADF_FIXEDSIZE 0x0010
#define QV_FADF_RECORD 0x0020
#define QV_FADF_HAVEIID 0x0040
#define QV_FADF_HAVEVARTYPE 0x0080
#define QV_FADF_BSTR 0x0100
#define QV_FADF_UNKNOWN 0x0200
#define QV_FADF_DISPATCH 0x0400
#define QV_FADF_VARIANT 0x0800

/* ---- Interfaces (incomplete here; C++ defines them in automation.hpp) - */

#ifdef __cplusplus
namespace quorvel {
struct IUnknown;
struct IDispatch;
struct IErrorInfo;
struct ICreateErrorInfo;
struct ITypeInfo;
struct ITypeLib;
struct ITypeComp;
struct IClassFactory;
struct ISupportErrorInfo;
struct IConnectionPointContainer;
struct IConnectionPoint;
struct IEnumConnectionPoints;
struct IEnumConnections;
struct IProvideClassInfo;
struct IProvideClassInfo2;
struct IPropertyNotifySink;
}  // namespace quorvel
typedef quorvel::IUnknown QvIUnknown;
typedef quorvel::IDispatch QvIDispatch;
typedef quorvel::IErrorInfo QvIErrorInfo;
typedef quorvel::ICreateErrorInfo QvICreateErrorInfo;
typedef quorvel::ITypeInfo QvITypeInfo;
typedef quorvel::ITypeLib QvITypeLib;
typedef quorvel::ITypeComp QvITypeComp;
typedef quorvel::IClassFactory QvIClassFactory;
typedef quorvel::ISupportErrorInfo QvISupportErrorInfo;
typedef quorvel::IConnectionPointContainer QvIConnectionPointContainer;
typedef quorvel::IConnectionPoint QvIConnectionPoint;
typedef quorvel::IEnumConnectionPoints QvIEnumConnectionPoints;
typedef quorvel::IEnumConnections QvIEnumConnections;
typedef quorvel::IProvideClassInfo QvIProvideClassInfo;
typedef quorvel::IProvideClassInfo2 QvIProvideClassInfo2;
typedef quorvel::IPropertyNotifySink QvIPropertyNotifySink;
#else
typedef struct QvIUnknown QvIUnknown;
typedef struct QvIDispatch QvIDispatch;
typedef struct QvIErrorInfo QvIErrorInfo;
typedef struct QvICreateErrorInfo QvICreateErrorInfo;
typedef struct QvITypeInfo QvITypeInfo;
/* Type libraries and type binding are not provided; their pointers stay opaque. */
typedef struct QvITypeLib QvITypeLib;
typedef struct QvITypeComp QvITypeComp;
typedef struct QvIClassFactory QvIClassFactory;
typedef struct QvISupportErrorInfo QvISupportErrorInfo;
typedef struct QvIConnectionPointContainer QvIConnectionPointContainer;
typedef struct QvIConnectionPoint QvIConnectionPoint;
typedef struct QvIEnumConnectionPoints QvIEnumConnectionPoints;
typedef struct QvIEnumConnections QvIEnumConnections;
typedef struct QvIProvideClassInfo QvIProvideClassInfo;
typedef struct QvIProvideClassInfo2 QvIProvideClassInfo2;
typedef struct QvIPropertyNotifySink QvIPropertyNotifySink;
#endif

/* ---- Safe arrays, variants, dispatch parameters ----------------------- */

typedef struct QvSAFEARRAYBOUND {
  QvULONG cElements;
  QvLONG lLbound;
} QvSAFEARRAYBOUND;

/* rgsabound holds cDims entries, the last dimension first. */
typedef struct QvSAFEARRAY {
  QvUSHORT cDims;
  QvUSHORT fFeatures;
  QvULONG cbElements;
  QvULONG cLocks;
  void* pvData;
  QvSAFEARRAYBOUND rgsabound[1];
} QvSAFEARRAY;

typedef struct QvVARIANT QvVARIANT;
typedef QvVARIANT QvVARIANTARG;

struct QvVARIANT {
  QV_ANONYMOUS union {
    QV_ANONYMOUS struct {
      QvVARTYPE vt;
      QvWORD wReserved1;
      QvWORD wReserved2;
      QvWORD wReserved3;
      QV_ANONYMOUS union {
        QvLONGLONG llVal;
        QvLONG lVal;
        QvBYTE bVal;
        QvSHORT iVal;
        float fltVal;
        double dblVal;
        QvVARIANT_BOOL boolVal;
        QvSCODE scode;
        QvCY cyVal;
        QvDATE date;
        QvBSTR bstrVal;
        QvIUnknown* punkVal;
        QvIDispatch* pdispVal;
        QvSAFEARRAY* parray;
        QvBYTE* pbVal;
        QvSHORT* piVal;
        QvLONG* plVal;
        QvLONGLONG* pllVal;
        float* pfltVal;
        double* pdblVal;
        QvVARIANT_BOOL* pboolVal;
        QvSCODE* pscode;
        QvCY* pcyVal;
        QvDATE* pdate;
        QvBSTR* pbstrVal;
        QvIUnknown** ppunkVal;
        QvIDispatch** ppdispVal;
        QvSAFEARRAY** pparray;
        QvVARIANT* pvarVal;
        void* byref;
        char cVal;
        QvUSHORT uiVal;
        QvULONG ulVal;
        QvULONGLONG ullVal;
        QvINT intVal;
        QvUINT uintVal;
        QvDECIMAL* pdecVal;
        char* pcVal;
        QvUSHORT* puiVal;
        QvULONG* pulVal;
        QvULONGLONG* pullVal;
        QvINT* pintVal;
        QvUINT* puintVal;
        struct {
          void* pvRecord;
          void* pRecInfo;
        } brecVal;
      };
    };
    QvDECIMAL decVal; /* overlays the whole variant; its wReserved is vt */
  };
};

typedef struct QvDISPPARAMS {
  QvVARIANTARG* rgvarg; /* arguments in reverse order */
  QvDISPID* rgdispidNamedArgs;
  QvUINT cArgs;
  QvUINT cNamedArgs;
} QvDISPPARAMS;

typedef struct QvEXCEPINFO {
  QvWORD wCode;
  QvWORD wReserved;
  QvBSTR bstrSource;
  QvBSTR bstrDescription;
  QvBSTR bstrHelpFile;
  QvDWORD dwHelpContext;
  void* pvReserved;
  QvHRESULT (*pfnDeferredFillIn)(struct QvEXCEPINFO*);
  QvSCODE scode;
} QvEXCEPINFO;

/* ---- Type descriptions ------------------------------------------------ */

typedef QvDWORD QvHREFTYPE;
typedef QvINT QvTYPEKIND;
typedef QvINT QvFUNCKIND;
typedef QvINT QvINVOKEKIND;
typedef QvINT QvCALLCONV;
typedef QvINT QvVARKIND;

#define QV_TKIND_ENUM 0
#define QV_TKIND_RECORD 1
#define QV_TKIND_MODULE 2
#define QV_TKIND_INTERFACE 3
#define QV_TKIND_DISPATCH 4
#define QV_TKIND_COCLASS 5
#define QV_TKIND_ALIAS 6
#define QV_TKIND_UNION 7

#define QV_FUNC_VIRTUAL 0
#define QV_FUNC_PUREVIRTUAL 1
#define QV_FUNC_NONVIRTUAL 2
#define QV_FUNC_STATIC 3
#define QV_FUNC_DISPATCH 4

#define QV_INVOKE_FUNC 1
#define QV_INVOKE_PROPERTYGET 2
#define QV_INVOKE_PROPERTYPUT 4
#define QV_INVOKE_PROPERTYPUTREF 8

#define QV_CC_CDECL 1
#define QV_CC_STDCALL 4

#define QV_VAR_PERINSTANCE 0
#define QV_VAR_STATIC 1
#define QV_VAR_CONST 2
#define QV_VAR_DISPATCH 3

#define QV_PARAMFLAG_NONE 0x00
#define QV_PARAMFLAG_FIN 0x01
#define QV_PARAMFLAG_FOUT 0x02
#define QV_PARAMFLAG_FLCID 0x04
#define QV_PARAMFLAG_FRETVAL 0x08
#define QV_PARAMFLAG_FOPT 0x10
#define QV_PARAMFLAG_FHASDEFAULT 0x20

#define QV_TYPEFLAG_FAPPOBJECT 0x0001
#define QV_TYPEFLAG_FCANCREATE 0x0002
#define QV_TYPEFLAG_FLICENSED 0x0004
#define QV_TYPEFLAG_FPREDECLID 0x0008
#define QV_TYPEFLAG_FHIDDEN 0x0010
#define QV_TYPEFLAG_FCONTROL 0x0020
#define QV_TYPEFLAG_FDUAL 0x0040
#define QV_TYPEFLAG_FNONEXTENSIBLE 0x0080
#define QV_TYPEFLAG_FOLEAUTOMATION 0x0100
#define QV_TYPEFLAG_FRESTRICTED 0x0200
#define QV_TYPEFLAG_FAGGREGATABLE 0x0400
#define QV_TYPEFLAG_FREPLACEABLE 0x0800
#define QV_TYPEFLAG_FDISPATCHABLE 0x1000

#define QV_IMPLTYPEFLAG_FDEFAULT 0x1
#define QV_IMPLTYPEFLAG_FSOURCE 0x2
#define QV_IMPLTYPEFLAG_FRESTRICTED 0x4

#define QV_MEMBERID_NIL QV_DISPID_UNKNOWN

/* vt VT_PTR, VT_SAFEARRAY: lptdesc; VT_CARRAY: lpadesc; VT_USERDEFINED: hreftype. */
typedef struct QvTYPEDESC {
  QV_ANONYMOUS union {
    struct QvTYPEDESC* lptdesc;
    struct QvARRAYDESC* lpadesc;
    QvHREFTYPE hreftype;
  };
  QvVARTYPE vt;
} QvTYPEDESC;

typedef struct QvARRAYDESC {
  QvTYPEDESC tdescElem;
  QvUSHORT cDims;
  QvSAFEARRAYBOUND rgbounds[1];
} QvARRAYDESC;

typedef struct QvIDLDESC {
  uintptr_t dwReserved;
  QvUSHORT wIDLFlags;
} QvIDLDESC;

typedef struct QvPARAMDESCEX {
  QvULONG cBytes;
  QvVARIANTARG varDefaultValue;
} QvPARAMDESCEX;

typedef struct QvPARAMDESC {
  QvPARAMDESCEX* pparamdescex;
  QvUSHORT wParamFlags;
} QvPARAMDESC;

typedef struct QvELEMDESC {
  QvTYPEDESC tdesc;
  QV_ANONYMOUS union {
    QvIDLDESC idldesc;
    QvPARAMDESC paramdesc;
  };
} QvELEMDESC;

typedef struct QvTYPEATTR {
  QvGUID guid;
  QvLCID lcid;
  QvDWORD dwReserved;
  QvMEMBERID memidConstructor;
  QvMEMBERID memidDestructor;
  QvLPOLESTR lpstrSchema;
  QvULONG cbSizeInstance;
  QvTYPEKIND typekind;
  QvWORD cFuncs;
  QvWORD cVars;
  QvWORD cImplTypes;
  QvWORD cbSizeVft;
  QvWORD cbAlignment;
  QvWORD wTypeFlags;
  QvWORD wMajorVerNum;
  QvWORD wMinorVerNum;
  QvTYPEDESC tdescAlias;
  QvIDLDESC idldescType;
} QvTYPEATTR;

/* lprgelemdescParam holds cParams entries; oVft is the byte offset of the
 * function in the virtual table. */
typedef struct QvFUNCDESC {
  QvMEMBERID memid;
  QvSCODE* lprgscode;
  QvELEMDESC* lprgelemdescParam;
  QvFUNCKIND funckind;
  QvINVOKEKIND invkind;
  QvCALLCONV callconv;
  QvSHORT cParams;
  QvSHORT cParamsOpt;
  QvSHORT oVft;
  QvSHORT cScodes;
  QvELEMDESC elemdescFunc;
  QvWORD wFuncFlags;
} QvFUNCDESC;

typedef struct QvVARDESC {
  QvMEMBERID memid;
  QvLPOLESTR lpstrSchema;
  QV_ANONYMOUS union {
    QvULONG oInst;
    QvVARIANT* lpvarValue;
  };
  QvELEMDESC elemdescVar;
  QvWORD wVarFlags;
  QvVARKIND varkind;
} QvVARDESC;

/* ---- Components: creation and connections ----------------------------- */

#define QV_CLSCTX_INPROC_SERVER 0x1
#define QV_CLSCTX_INPROC_HANDLER 0x2
#define QV_CLSCTX_LOCAL_SERVER 0x4
#define QV_CLSCTX_REMOTE_SERVER 0x10
#define QV_CLSCTX_SERVER (QV_CLSCTX_INPROC_SERVER | QV_CLSCTX_LOCAL_SERVER | QV_CLSCTX_REMOTE_SERVER)

#define QV_GUIDKIND_DEFAULT_SOURCE_DISP_IID 1

typedef struct QvCONNECTDATA {
  QvIUnknown* pUnk;
  QvDWORD dwCookie;
} QvCONNECTDATA;

/* ---- Interface identifiers ------------------------------------------- */

#ifdef __cplusplus
#define QV_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  inline constexpr QvGUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#else
#define QV_DEFINE_GUID(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  static const QvGUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#endif

QV_DEFINE_GUID(QvGUID_NULL, 0x00000000, 0x0000, 0x0000, 0, 0, 0, 0, 0, 0, 0, 0);
QV_DEFINE_GUID(QvIID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
QV_DEFINE_GUID(QvIID_IClassFactory, 0x00000001, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
QV_DEFINE_GUID(QvIID_IDispatch, 0x00020400, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
QV_DEFINE_GUID(QvIID_ITypeInfo, 0x00020401, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
QV_DEFINE_GUID(QvIID_IErrorInfo, 0x1CF2B120, 0x547D, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1,
               0x19);
QV_DEFINE_GUID(QvIID_ICreateErrorInfo, 0x22F03340, 0x547D, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B,
               0xD1, 0x19);
QV_DEFINE_GUID(QvIID_ISupportErrorInfo, 0xDF0B3D60, 0x548F, 0x101B, 0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B,
               0xD1, 0x19);
QV_DEFINE_GUID(QvIID_IProvideClassInfo, 0xB196B283, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34,
               0x1D, 0x07);
QV_DEFINE_GUID(QvIID_IConnectionPointContainer, 0xB196B284, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00,
               0x34, 0x1D, 0x07);
QV_DEFINE_GUID(QvIID_IEnumConnectionPoints, 0xB196B285, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00,
               0x34, 0x1D, 0x07);
QV_DEFINE_GUID(QvIID_IConnectionPoint, 0xB196B286, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34,
               0x1D, 0x07);
QV_DEFINE_GUID(QvIID_IEnumConnections, 0xB196B287, 0xBAB4, 0x101A, 0xB6, 0x9C, 0x00, 0xAA, 0x00, 0x34,
               0x1D, 0x07);
QV_DEFINE_GUID(QvIID_IProvideClassInfo2, 0xA6BC3AC0, 0xDBAA, 0x11CE, 0x9D, 0xE3, 0x00, 0xAA, 0x00, 0x4B,
               0xB8, 0x51);
QV_DEFINE_GUID(QvIID_IPropertyNotifySink, 0x9BFBBC02, 0xEFF1, 0x101A, 0x84, 0xED, 0x00, 0xAA, 0x00, 0x34,
               0x1D, 0x07);

static inline int qv_IsEqualGUID(const QvGUID* a, const QvGUID* b) {
  int i;
  if (a->Data1 != b->Data1 || a->Data2 != b->Data2 || a->Data3 != b->Data3) return 0;
  for (i = 0; i < 8; ++i)
    if (a->Data4[i] != b->Data4[i]) return 0;
  return 1;
}

/* ---- Interfaces as C hosts see them: a vtable pointer first ----------- */

#ifndef __cplusplus
typedef struct QvIUnknownVtbl {
  QvHRESULT (*QueryInterface)(QvIUnknown* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIUnknown* This);
  QvULONG (*Release)(QvIUnknown* This);
} QvIUnknownVtbl;
struct QvIUnknown {
  const QvIUnknownVtbl* lpVtbl;
};

typedef struct QvIErrorInfoVtbl {
  QvHRESULT (*QueryInterface)(QvIErrorInfo* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIErrorInfo* This);
  QvULONG (*Release)(QvIErrorInfo* This);
  QvHRESULT (*GetGUID)(QvIErrorInfo* This, QvGUID* pGUID);
  QvHRESULT (*GetSource)(QvIErrorInfo* This, QvBSTR* pBstrSource);
  QvHRESULT (*GetDescription)(QvIErrorInfo* This, QvBSTR* pBstrDescription);
  QvHRESULT (*GetHelpFile)(QvIErrorInfo* This, QvBSTR* pBstrHelpFile);
  QvHRESULT (*GetHelpContext)(QvIErrorInfo* This, QvDWORD* pdwHelpContext);
} QvIErrorInfoVtbl;
struct QvIErrorInfo {
  const QvIErrorInfoVtbl* lpVtbl;
};

typedef struct QvICreateErrorInfoVtbl {
  QvHRESULT (*QueryInterface)(QvICreateErrorInfo* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvICreateErrorInfo* This);
  QvULONG (*Release)(QvICreateErrorInfo* This);
  QvHRESULT (*SetGUID)(QvICreateErrorInfo* This, QvREFGUID rguid);
  QvHRESULT (*SetSource)(QvICreateErrorInfo* This, QvLPOLESTR szSource);
  QvHRESULT (*SetDescription)(QvICreateErrorInfo* This, QvLPOLESTR szDescription);
  QvHRESULT (*SetHelpFile)(QvICreateErrorInfo* This, QvLPOLESTR szHelpFile);
  QvHRESULT (*SetHelpContext)(QvICreateErrorInfo* This, QvDWORD dwHelpContext);
} QvICreateErrorInfoVtbl;
struct QvICreateErrorInfo {
  const QvICreateErrorInfoVtbl* lpVtbl;
};

typedef struct QvIDispatchVtbl {
  QvHRESULT (*QueryInterface)(QvIDispatch* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIDispatch* This);
  QvULONG (*Release)(QvIDispatch* This);
  QvHRESULT (*GetTypeInfoCount)(QvIDispatch* This, QvUINT* pctinfo);
  QvHRESULT (*GetTypeInfo)(QvIDispatch* This, QvUINT iTInfo, QvLCID lcid, QvITypeInfo** ppTInfo);
  QvHRESULT (*GetIDsOfNames)(QvIDispatch* This, QvREFIID riid, QvLPOLESTR* rgszNames, QvUINT cNames,
                             QvLCID lcid, QvDISPID* rgDispId);
  QvHRESULT (*Invoke)(QvIDispatch* This, QvDISPID dispIdMember, QvREFIID riid, QvLCID lcid, QvWORD wFlags,
                      QvDISPPARAMS* pDispParams, QvVARIANT* pVarResult, QvEXCEPINFO* pExcepInfo,
                      QvUINT* puArgErr);
} QvIDispatchVtbl;
struct QvIDispatch {
  const QvIDispatchVtbl* lpVtbl;
};

typedef struct QvITypeInfoVtbl {
  QvHRESULT (*QueryInterface)(QvITypeInfo* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvITypeInfo* This);
  QvULONG (*Release)(QvITypeInfo* This);
  QvHRESULT (*GetTypeAttr)(QvITypeInfo* This, QvTYPEATTR** ppTypeAttr);
  QvHRESULT (*GetTypeComp)(QvITypeInfo* This, QvITypeComp** ppTComp);
  QvHRESULT (*GetFuncDesc)(QvITypeInfo* This, QvUINT index, QvFUNCDESC** ppFuncDesc);
  QvHRESULT (*GetVarDesc)(QvITypeInfo* This, QvUINT index, QvVARDESC** ppVarDesc);
  QvHRESULT (*GetNames)(QvITypeInfo* This, QvMEMBERID memid, QvBSTR* rgBstrNames, QvUINT cMaxNames,
                        QvUINT* pcNames);
  QvHRESULT (*GetRefTypeOfImplType)(QvITypeInfo* This, QvUINT index, QvHREFTYPE* pRefType);
  QvHRESULT (*GetImplTypeFlags)(QvITypeInfo* This, QvUINT index, QvINT* pImplTypeFlags);
  QvHRESULT (*GetIDsOfNames)(QvITypeInfo* This, QvLPOLESTR* rgszNames, QvUINT cNames, QvMEMBERID* pMemId);
  QvHRESULT (*Invoke)(QvITypeInfo* This, void* pvInstance, QvMEMBERID memid, QvWORD wFlags,
                      QvDISPPARAMS* pDispParams, QvVARIANT* pVarResult, QvEXCEPINFO* pExcepInfo,
                      QvUINT* puArgErr);
  QvHRESULT (*GetDocumentation)(QvITypeInfo* This, QvMEMBERID memid, QvBSTR* pBstrName,
                                QvBSTR* pBstrDocString, QvDWORD* pdwHelpContext, QvBSTR* pBstrHelpFile);
  QvHRESULT (*GetDllEntry)(QvITypeInfo* This, QvMEMBERID memid, QvINVOKEKIND invKind, QvBSTR* pBstrDllName,
                           QvBSTR* pBstrName, QvWORD* pwOrdinal);
  QvHRESULT (*GetRefTypeInfo)(QvITypeInfo* This, QvHREFTYPE hRefType, QvITypeInfo** ppTInfo);
  QvHRESULT (*AddressOfMember)(QvITypeInfo* This, QvMEMBERID memid, QvINVOKEKIND invKind, void** ppv);
  QvHRESULT (*CreateInstance)(QvITypeInfo* This, QvIUnknown* pUnkOuter, QvREFIID riid, void** ppvObj);
  QvHRESULT (*GetMops)(QvITypeInfo* This, QvMEMBERID memid, QvBSTR* pBstrMops);
  QvHRESULT (*GetContainingTypeLib)(QvITypeInfo* This, QvITypeLib** ppTLib, QvUINT* pIndex);
  void (*ReleaseTypeAttr)(QvITypeInfo* This, QvTYPEATTR* pTypeAttr);
  void (*ReleaseFuncDesc)(QvITypeInfo* This, QvFUNCDESC* pFuncDesc);
  void (*ReleaseVarDesc)(QvITypeInfo* This, QvVARDESC* pVarDesc);
} QvITypeInfoVtbl;
struct QvITypeInfo {
  const QvITypeInfoVtbl* lpVtbl;
};

typedef struct QvIClassFactoryVtbl {
  QvHRESULT (*QueryInterface)(QvIClassFactory* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIClassFactory* This);
  QvULONG (*Release)(QvIClassFactory* This);
  QvHRESULT (*CreateInstance)(QvIClassFactory* This, QvIUnknown* pUnkOuter, QvREFIID riid, void** ppvObject);
  QvHRESULT (*LockServer)(QvIClassFactory* This, QvBOOL fLock);
} QvIClassFactoryVtbl;
struct QvIClassFactory {
  const QvIClassFactoryVtbl* lpVtbl;
};

typedef struct QvISupportErrorInfoVtbl {
  QvHRESULT (*QueryInterface)(QvISupportErrorInfo* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvISupportErrorInfo* This);
  QvULONG (*Release)(QvISupportErrorInfo* This);
  QvHRESULT (*InterfaceSupportsErrorInfo)(QvISupportErrorInfo* This, QvREFIID riid);
} QvISupportErrorInfoVtbl;
struct QvISupportErrorInfo {
  const QvISupportErrorInfoVtbl* lpVtbl;
};

typedef struct QvIConnectionPointContainerVtbl {
  QvHRESULT (*QueryInterface)(QvIConnectionPointContainer* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIConnectionPointContainer* This);
  QvULONG (*Release)(QvIConnectionPointContainer* This);
  QvHRESULT (*EnumConnectionPoints)(QvIConnectionPointContainer* This, QvIEnumConnectionPoints** ppEnum);
  QvHRESULT (*FindConnectionPoint)(QvIConnectionPointContainer* This, QvREFIID riid, QvIConnectionPoint** ppCP);
} QvIConnectionPointContainerVtbl;
struct QvIConnectionPointContainer {
  const QvIConnectionPointContainerVtbl* lpVtbl;
};

typedef struct QvIConnectionPointVtbl {
  QvHRESULT (*QueryInterface)(QvIConnectionPoint* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIConnectionPoint* This);
  QvULONG (*Release)(QvIConnectionPoint* This);
  QvHRESULT (*GetConnectionInterface)(QvIConnectionPoint* This, QvIID* pIID);
  QvHRESULT (*GetConnectionPointContainer)(QvIConnectionPoint* This, QvIConnectionPointContainer** ppCPC);
  QvHRESULT (*Advise)(QvIConnectionPoint* This, QvIUnknown* pUnkSink, QvDWORD* pdwCookie);
  QvHRESULT (*Unadvise)(QvIConnectionPoint* This, QvDWORD dwCookie);
  QvHRESULT (*EnumConnections)(QvIConnectionPoint* This, QvIEnumConnections** ppEnum);
} QvIConnectionPointVtbl;
struct QvIConnectionPoint {
  const QvIConnectionPointVtbl* lpVtbl;
};

typedef struct QvIEnumConnectionPointsVtbl {
  QvHRESULT (*QueryInterface)(QvIEnumConnectionPoints* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIEnumConnectionPoints* This);
  QvULONG (*Release)(QvIEnumConnectionPoints* This);
  QvHRESULT (*Next)(QvIEnumConnectionPoints* This, QvULONG cConnections, QvIConnectionPoint** ppCP,
                    QvULONG* pcFetched);
  QvHRESULT (*Skip)(QvIEnumConnectionPoints* This, QvULONG cConnections);
  QvHRESULT (*Reset)(QvIEnumConnectionPoints* This);
  QvHRESULT (*Clone)(QvIEnumConnectionPoints* This, QvIEnumConnectionPoints** ppEnum);
} QvIEnumConnectionPointsVtbl;
struct QvIEnumConnectionPoints {
  const QvIEnumConnectionPointsVtbl* lpVtbl;
};

typedef struct QvIEnumConnectionsVtbl {
  QvHRESULT (*QueryInterface)(QvIEnumConnections* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIEnumConnections* This);
  QvULONG (*Release)(QvIEnumConnections* This);
  QvHRESULT (*Next)(QvIEnumConnections* This, QvULONG cConnections, QvCONNECTDATA* rgcd, QvULONG* pcFetched);
  QvHRESULT (*Skip)(QvIEnumConnections* This, QvULONG cConnections);
  QvHRESULT (*Reset)(QvIEnumConnections* This);
  QvHRESULT (*Clone)(QvIEnumConnections* This, QvIEnumConnections** ppEnum);
} QvIEnumConnectionsVtbl;
struct QvIEnumConnections {
  const QvIEnumConnectionsVtbl* lpVtbl;
};

typedef struct QvIProvideClassInfoVtbl {
  QvHRESULT (*QueryInterface)(QvIProvideClassInfo* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIProvideClassInfo* This);
  QvULONG (*Release)(QvIProvideClassInfo* This);
  QvHRESULT (*GetClassInfo)(QvIProvideClassInfo* This, QvITypeInfo** ppTI);
} QvIProvideClassInfoVtbl;
struct QvIProvideClassInfo {
  const QvIProvideClassInfoVtbl* lpVtbl;
};

typedef struct QvIProvideClassInfo2Vtbl {
  QvHRESULT (*QueryInterface)(QvIProvideClassInfo2* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIProvideClassInfo2* This);
  QvULONG (*Release)(QvIProvideClassInfo2* This);
  QvHRESULT (*GetClassInfo)(QvIProvideClassInfo2* This, QvITypeInfo** ppTI);
  QvHRESULT (*GetGUID)(QvIProvideClassInfo2* This, QvDWORD dwGuidKind, QvGUID* pGUID);
} QvIProvideClassInfo2Vtbl;
struct QvIProvideClassInfo2 {
  const QvIProvideClassInfo2Vtbl* lpVtbl;
};

typedef struct QvIPropertyNotifySinkVtbl {
  QvHRESULT (*QueryInterface)(QvIPropertyNotifySink* This, QvREFIID riid, void** ppvObject);
  QvULONG (*AddRef)(QvIPropertyNotifySink* This);
  QvULONG (*Release)(QvIPropertyNotifySink* This);
  QvHRESULT (*OnChanged)(QvIPropertyNotifySink* This, QvDISPID dispID);
  QvHRESULT (*OnRequestEdit)(QvIPropertyNotifySink* This, QvDISPID dispID);
} QvIPropertyNotifySinkVtbl;
struct QvIPropertyNotifySink {
  const QvIPropertyNotifySinkVtbl* lpVtbl;
};
#endif

/* ---- Functions ------------------------------------------------------- */

QV_EXTERN_C_BEGIN

/* Host strings. Lengths are in code units unless the name says bytes. */
QV_API QvBSTR qv_SysAllocString(const QvOLECHAR* psz);
QV_API QvBSTR qv_SysAllocStringLen(const QvOLECHAR* pch, QvUINT cch);
QV_API QvBSTR qv_SysAllocStringByteLen(const char* psz, QvUINT len);
QV_API QvINT qv_SysReAllocString(QvBSTR* pbstr, const QvOLECHAR* psz);
QV_API QvINT qv_SysReAllocStringLen(QvBSTR* pbstr, const QvOLECHAR* pch, QvUINT cch);
QV_API QvUINT qv_SysStringLen(QvBSTR bstr);
QV_API QvUINT qv_SysStringByteLen(QvBSTR bstr);
QV_API void qv_SysFreeString(QvBSTR bstr);
/* Host strings to and from UTF-8 by the rules every member applies to its
 * arguments and results: each ill-formed part of the UTF-8 becomes one U+FFFD,
 * and so does an unpaired surrogate. qv_SysAllocStringUtf8 gives null only when
 * memory runs out; utf8 may be null when bytes is 0. qv_SysStringToUtf8 returns
 * the length of the UTF-8 form in bytes and writes it to out only when capacity
 * is at least that. */
QV_API QvBSTR qv_SysAllocStringUtf8(const char* utf8, QvUINT bytes);
QV_API QvUINT qv_SysStringToUtf8(QvBSTR bstr, char* out, QvUINT capacity);

/* Variants. */
QV_API void qv_VariantInit(QvVARIANTARG* pvarg);
QV_API QvHRESULT qv_VariantClear(QvVARIANTARG* pvarg);
QV_API QvHRESULT qv_VariantCopy(QvVARIANTARG* pvargDest, const QvVARIANTARG* pvargSrc);
QV_API QvHRESULT qv_VariantCopyInd(QvVARIANTARG* pvargDest, const QvVARIANTARG* pvargSrc);
QV_API QvHRESULT qv_VariantChangeType(QvVARIANTARG* pvargDest, const QvVARIANTARG* pvargSrc,
                                      QvUSHORT wFlags, QvVARTYPE vt);
QV_API QvHRESULT qv_VariantChangeTypeEx(QvVARIANTARG* pvargDest, const QvVARIANTARG* pvargSrc,
                                        QvLCID lcid, QvUSHORT wFlags, QvVARTYPE vt);

/* Safe arrays. */
QV_API QvSAFEARRAY* qv_SafeArrayCreate(QvVARTYPE vt, QvUINT cDims, const QvSAFEARRAYBOUND* rgsabound);
QV_API QvSAFEARRAY* qv_SafeArrayCreateVector(QvVARTYPE vt, QvLONG lLbound, QvULONG cElements);
QV_API QvHRESULT qv_SafeArrayDestroy(QvSAFEARRAY* psa);
QV_API QvUINT qv_SafeArrayGetDim(QvSAFEARRAY* psa);
QV_API QvUINT qv_SafeArrayGetElemsize(QvSAFEARRAY* psa);
QV_API QvHRESULT qv_SafeArrayGetLBound(QvSAFEARRAY* psa, QvUINT nDim, QvLONG* plLbound);
QV_API QvHRESULT qv_SafeArrayGetUBound(QvSAFEARRAY* psa, QvUINT nDim, QvLONG* plUbound);
QV_API QvHRESULT qv_SafeArrayGetVartype(QvSAFEARRAY* psa, QvVARTYPE* pvt);
QV_API QvHRESULT qv_SafeArrayLock(QvSAFEARRAY* psa);
QV_API QvHRESULT qv_SafeArrayUnlock(QvSAFEARRAY* psa);
QV_API QvHRESULT qv_SafeArrayAccessData(QvSAFEARRAY* psa, void** ppvData);
QV_API QvHRESULT qv_SafeArrayUnaccessData(QvSAFEARRAY* psa);
QV_API QvHRESULT qv_SafeArrayPtrOfIndex(QvSAFEARRAY* psa, const QvLONG* rgIndices, void** ppvData);
QV_API QvHRESULT qv_SafeArrayCopy(QvSAFEARRAY* psa, QvSAFEARRAY** ppsaOut);

/* Identifiers as text: "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper case.
 * qv_StringFromGUID2 writes 39 units including the terminating zero and
 * returns that count, or 0 when cchMax is smaller. qv_CLSIDFromString also
 * accepts lower-case digits; anything else is CO_E_CLASSSTRING. */
QV_API QvINT qv_StringFromGUID2(QvREFGUID rguid, QvLPOLESTR lpsz, QvINT cchMax);
QV_API QvHRESULT qv_CLSIDFromString(QvLPCOLESTR lpsz, QvCLSID* pclsid);

/* Error information of the calling thread. */
QV_API QvHRESULT qv_CreateErrorInfo(QvICreateErrorInfo** pperrinfo);
QV_API QvHRESULT qv_SetErrorInfo(QvULONG dwReserved, QvIErrorInfo* perrinfo);
QV_API QvHRESULT qv_GetErrorInfo(QvULONG dwReserved, QvIErrorInfo** pperrinfo);

QV_EXTERN_C_END

#endif /* QUORVEL_AUTOMATION_H */
