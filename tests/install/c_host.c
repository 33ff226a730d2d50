/* A plain C host: takes the class factory from DllGetClassObject, creates a handle, calls members
 * through the vtable and one through Invoke by name, and releases everything. */
#include <stdio.h>

#include "quorvel/quorvel_xml.h"

static int same(QvBSTR s, const QvOLECHAR* expected) {
    QvUINT n = qv_SysStringLen(s), i;
    for (i = 0; i < n; ++i)
        if (!expected[i] || s[i] != expected[i]) return 0;
    return expected[n] == 0;
}

static int fail(const char* what) {
    fprintf(stderr, "c_host: %s\n", what);
    return 1;
}

int main(void) {
    QvIClassFactory* factory = NULL;
    QvIQuorvelXml* xml = NULL;
    QvBSTR text = NULL;
    QvLPOLESTR name = (QvLPOLESTR)u"numchildren";
    QvDISPID id = 0;
    QvDISPPARAMS none = {NULL, NULL, 0, 0};
    QvVARIANT result;
    QvCLSID clsid;
    int ok;

    if (qv_CLSIDFromProgID(u"QuorvelXml.QuorvelXml", &clsid) != QV_S_OK) return fail("ProgID");
    if (DllGetClassObject(&clsid, &QvIID_IClassFactory, (void**)&factory) != QV_S_OK) return fail("factory");
    if (factory->lpVtbl->CreateInstance(factory, NULL, &QvIID_IQuorvelXml, (void**)&xml) != QV_S_OK)
        return fail("handle");
    factory->lpVtbl->Release(factory);

    text = qv_SysAllocString(u"record");
    xml->lpVtbl->put_Tag(xml, text);
    qv_SysFreeString(text);
    xml->lpVtbl->get_Tag(xml, &text);
    ok = same(text, u"record");
    qv_SysFreeString(text);
    if (!ok) return fail("Tag");

    if (xml->lpVtbl->GetIDsOfNames(xml, &QvGUID_NULL, &name, 1, QV_LOCALE_USER_DEFAULT, &id) != QV_S_OK)
        return fail("GetIDsOfNames");
    qv_VariantInit(&result);
    if (xml->lpVtbl->Invoke(xml, id, &QvGUID_NULL, QV_LOCALE_USER_DEFAULT, QV_DISPATCH_PROPERTYGET, &none, &result,
                            NULL, NULL) != QV_S_OK ||
        result.vt != QV_VT_I4 || result.lVal != 0)
        return fail("Invoke");

    if (DllCanUnloadNow() != QV_S_FALSE) return fail("unloadable with a handle alive");
    xml->lpVtbl->Release(xml);
    if (DllCanUnloadNow() != QV_S_OK) return fail("objects left");
    puts("c_host: ok");
    return 0;
}
