// What a property read costs a host: through the virtual table (early binding), through Invoke
// with a DISPID the host cached, and by name each time as an uncaching script engine does.
#include <benchmark/benchmark.h>

#include "component/class_table.h"
#include "core/automation/com_ptr.h"
#include "quorvel/quorvel_xml.hpp"

using namespace quorvel;

namespace {

ComPtr<IQuorvelXml> makeHandle() {
    ComPtr<IQuorvelXml> h;
    createClassInstance(CLSID_QuorvelXml, nullptr, CLSCTX_INPROC_SERVER, IID_IQuorvelXml, h.putVoid());
    return h;
}

void BM_VtableNumChildren(benchmark::State& state) {
    ComPtr<IQuorvelXml> h = makeHandle();
    LONG n = 0;
    for (auto _ : state) {
        h->get_NumChildren(&n);
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_VtableNumChildren);

void BM_VtableTag(benchmark::State& state) {
    ComPtr<IQuorvelXml> h = makeHandle();
    for (auto _ : state) {
        BSTR tag = nullptr;
        h->get_Tag(&tag);
        benchmark::DoNotOptimize(tag);
        SysFreeString(tag);
    }
}
BENCHMARK(BM_VtableTag);

void BM_InvokeNumChildren(benchmark::State& state) {
    ComPtr<IQuorvelXml> h = makeHandle();
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    for (auto _ : state) {
        h->Invoke(7, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr);
        benchmark::DoNotOptimize(result.lVal);
    }
}
BENCHMARK(BM_InvokeNumChildren);

void BM_InvokeTag(benchmark::State& state) {
    ComPtr<IQuorvelXml> h = makeHandle();
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    for (auto _ : state) {
        h->Invoke(5, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, nullptr,
                  nullptr);
        benchmark::DoNotOptimize(result.bstrVal);
        VariantClear(&result);
    }
}
BENCHMARK(BM_InvokeTag);

void BM_InvokeTagPut(benchmark::State& state) {
    ComPtr<IQuorvelXml> h = makeHandle();
    VARIANT value;
    VariantInit(&value);
    value.vt = VT_BSTR;
    value.bstrVal = SysAllocString(u"record");
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{&value, &named, 1, 1};
    for (auto _ : state) {
        h->Invoke(5, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYPUT, &params, nullptr, nullptr, nullptr);
    }
    VariantClear(&value);
}
BENCHMARK(BM_InvokeTagPut);

void BM_ByNameNumChildren(benchmark::State& state) {
    ComPtr<IQuorvelXml> h = makeHandle();
    LPOLESTR name = const_cast<LPOLESTR>(u"NumChildren");
    DISPPARAMS none{};
    VARIANT result;
    VariantInit(&result);
    for (auto _ : state) {
        DISPID id = 0;
        h->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        h->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, &result, nullptr,
                  nullptr);
        benchmark::DoNotOptimize(result.lVal);
    }
}
BENCHMARK(BM_ByNameNumChildren);

}  // namespace

BENCHMARK_MAIN();
