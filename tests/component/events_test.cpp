// Connection points and the progress event: sinks connect and disconnect, and ParsePercentDone
// reaches each connected sink through IDispatch::Invoke exactly as automation sinks expect.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "component/node_handle.h"
#include "component_test_support.h"
#include "core/progress_monitor.h"

namespace quorvel {
namespace {

using namespace test;

// An event sink as a script host would make one: it answers IDispatch and, when asked to, the
// event interface; it records the arguments of each call.
class Sink final : public IDispatch {
public:
    explicit Sink(bool answersEventInterface = true) : answersEvents_(answersEventInterface) {}
    std::vector<LONG> percents;
    bool callShapeOk = true;
    ULONG refs = 1;
    // Run inside Invoke, to let a sink disconnect itself.
    std::function<void()> onEvent;
    HRESULT invokeResult = S_OK;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch || (answersEvents_ && riid == DIID_IQuorvelXmlEvents)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs; }
    ULONG Release() override { return --refs; }
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excep, UINT* argErr) override {
        callShapeOk = callShapeOk && id == 1 && riid == IID_NULL && lcid == 0x400 && flags == DISPATCH_METHOD &&
                      params && params->cArgs == 1 && params->cNamedArgs == 0 && params->rgvarg[0].vt == VT_I4 &&
                      result && !excep && !argErr && refs >= 2;
        if (params && params->cArgs == 1) percents.push_back(params->rgvarg[0].lVal);
        if (onEvent) onEvent();
        return invokeResult;
    }

private:
    bool answersEvents_;
};

// A sink built the way a C host builds one: a hand-made table of plain functions.
struct CSink {
    const void* vtable;
    int calls;
    LONG last;
};
HRESULT cQuery(CSink* self, REFIID riid, void** ppv) {
    *ppv = (riid == IID_IUnknown || riid == DIID_IQuorvelXmlEvents) ? self : nullptr;
    return *ppv ? S_OK : E_NOINTERFACE;
}
ULONG cAddRef(CSink*) { return 2; }
ULONG cRelease(CSink*) { return 1; }
HRESULT cNotImpl(CSink*) { return E_NOTIMPL; }
HRESULT cInvoke(CSink* self, DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    ++self->calls;
    self->last = params->rgvarg[0].lVal;
    return S_OK;
}
const void* const kCSinkTable[] = {reinterpret_cast<const void*>(&cQuery),   reinterpret_cast<const void*>(&cAddRef),
                                   reinterpret_cast<const void*>(&cRelease), reinterpret_cast<const void*>(&cNotImpl),
                                   reinterpret_cast<const void*>(&cNotImpl), reinterpret_cast<const void*>(&cNotImpl),
                                   reinterpret_cast<const void*>(&cInvoke)};

ComPtr<IConnectionPoint> point(IQuorvelXml* h, const IID& iid) {
    ComPtr<IConnectionPointContainer> container;
    EXPECT_EQ(h->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> p;
    EXPECT_EQ(container->FindConnectionPoint(iid, p.put()), S_OK);
    return p;
}

// Runs a parse-sized progress run of total bytes through the handle, as the loaders do.
void parseProgress(IQuorvelXml* h, uint32_t total, std::initializer_list<uint32_t> positions) {
    ProgressMonitor monitor(103, 0, CQuorvelXml::fromInterface(h), 100);
    monitor.Reset(total);
    for (uint32_t p : positions) monitor.SetPosition(p);
    monitor.Finish();
}

TEST(Events, ConnectedSinksReceiveParsePercentDone) {
    Sink first;
    Sink second(false);  // answers only IDispatch, as many script sinks do
    Sink third;
    ComPtr<IQuorvelXml> h = newHandle();
    ComPtr<IConnectionPoint> events = point(h.get(), DIID_IQuorvelXmlEvents);
    DWORD cookie1 = 0, cookie2 = 0;
    ASSERT_EQ(events->Advise(&first, &cookie1), S_OK);
    ASSERT_EQ(events->Advise(&second, &cookie2), S_OK);
    EXPECT_NE(cookie1, 0u);
    EXPECT_NE(cookie1, cookie2);
    EXPECT_EQ(first.refs, 2u);

    parseProgress(h.get(), 1000, {5, 10, 250, 250, 260, 999});
    const std::vector<LONG> expected = {1, 25, 26, 99, 100};
    EXPECT_EQ(first.percents, expected);
    EXPECT_EQ(second.percents, expected);
    EXPECT_TRUE(first.callShapeOk);
    EXPECT_TRUE(second.callShapeOk);

    // Connections listed in order, each with a reference for the enumerator's caller.
    ComPtr<IEnumConnections> list;
    ASSERT_EQ(events->EnumConnections(list.put()), S_OK);
    CONNECTDATA data[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(list->Next(3, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(data[0].dwCookie, cookie1);
    EXPECT_EQ(data[1].dwCookie, cookie2);
    EXPECT_EQ(data[0].pUnk, static_cast<IUnknown*>(&first));
    data[0].pUnk->Release();
    data[1].pUnk->Release();
    list.reset();
    EXPECT_EQ(first.refs, 2u);

    // Unadvise stops the events; a sink whose call fails does not stop the others.
    EXPECT_EQ(events->Unadvise(cookie1), S_OK);
    EXPECT_EQ(events->Unadvise(cookie1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(first.refs, 1u);
    second.invokeResult = E_FAIL;
    DWORD cookie3 = 0;
    ASSERT_EQ(events->Advise(&third, &cookie3), S_OK);
    parseProgress(h.get(), 10, {5});
    EXPECT_EQ(first.percents.size(), expected.size());
    EXPECT_EQ(third.percents, (std::vector<LONG>{50, 100}));

    // The handle lets go of its sinks when it goes.
    events.reset();
    h.reset();
    EXPECT_EQ(second.refs, 1u);
    EXPECT_EQ(third.refs, 1u);
}

TEST(Events, SinksMayDisconnectDuringAnEvent) {
    Sink leaving, staying;
    ComPtr<IQuorvelXml> h = newHandle();
    ComPtr<IConnectionPoint> events = point(h.get(), DIID_IQuorvelXmlEvents);
    DWORD leavingCookie = 0, stayingCookie = 0;
    ASSERT_EQ(events->Advise(&leaving, &leavingCookie), S_OK);
    ASSERT_EQ(events->Advise(&staying, &stayingCookie), S_OK);
    leaving.onEvent = [&] { events->Unadvise(leavingCookie); };
    parseProgress(h.get(), 4, {1, 2});
    EXPECT_EQ(leaving.percents, (std::vector<LONG>{25}));
    EXPECT_EQ(staying.percents, (std::vector<LONG>{25, 50, 100}));
    EXPECT_EQ(leaving.refs, 1u);

    // A sink made by a C host is called the same way.
    CSink c{kCSinkTable, 0, 0};
    DWORD cCookie = 0;
    ASSERT_EQ(events->Advise(reinterpret_cast<IUnknown*>(&c), &cCookie), S_OK);
    parseProgress(h.get(), 2, {1});
    EXPECT_EQ(c.calls, 2);
    EXPECT_EQ(c.last, 100);
    EXPECT_EQ(events->Unadvise(cCookie), S_OK);
}

TEST(Events, ConnectionPointsOfTheContainer) {
    ComPtr<IQuorvelXml> h = newHandle();
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(h->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> p;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, p.put()), CONNECT_E_NOCONNECTION);
    EXPECT_FALSE(p);

    ComPtr<IEnumConnectionPoints> all;
    ASSERT_EQ(container->EnumConnectionPoints(all.put()), S_OK);
    IConnectionPoint* points[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(all->Skip(1), S_OK);
    EXPECT_EQ(all->Next(3, points, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(all->Reset(), S_OK);
    ComPtr<IEnumConnectionPoints> copy;
    ASSERT_EQ(all->Clone(copy.put()), S_OK);
    points[0]->Release();
    EXPECT_EQ(copy->Next(2, points, &fetched), S_OK);
    ASSERT_EQ(fetched, 2u);
    IID iid{};
    EXPECT_EQ(points[0]->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(iid == DIID_IQuorvelXmlEvents);
    EXPECT_EQ(points[1]->GetConnectionInterface(&iid), S_OK);
    EXPECT_TRUE(iid == IID_IPropertyNotifySink);
    ComPtr<IConnectionPointContainer> back;
    EXPECT_EQ(points[1]->GetConnectionPointContainer(back.put()), S_OK);
    EXPECT_EQ(back.get(), container.get());

    // The property notification point wants its own interface; an IDispatch-only sink is refused.
    Sink sink(false);
    DWORD cookie = 7;
    EXPECT_EQ(points[1]->Advise(&sink, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(points[1]->Advise(nullptr, &cookie), E_POINTER);
    EXPECT_EQ(sink.refs, 1u);
    points[0]->Release();
    points[1]->Release();
    // Enumerators and points keep the handle alive.
    const int64_t live = CQuorvelXml::liveCount();
    h.reset();
    container.reset();
    back.reset();
    all.reset();
    EXPECT_EQ(CQuorvelXml::liveCount(), live);
    copy.reset();
    EXPECT_EQ(CQuorvelXml::liveCount(), live - 1);
}

TEST(Events, AMonitorWithoutSinksOrConnectionsRaisesNothing) {
    Sink sink;
    ComPtr<IQuorvelXml> h = newHandle();
    ComPtr<IConnectionPoint> events = point(h.get(), DIID_IQuorvelXmlEvents);
    DWORD cookie = 0;
    ASSERT_EQ(events->Advise(&sink, &cookie), S_OK);
    ProgressMonitor detached(103, 0, nullptr, 10);
    EXPECT_EQ(detached.SetPosition(5), 50u);
    detached.Finish();
    parseProgress(h.get(), 0, {});  // an empty text is not reported
    EXPECT_TRUE(sink.percents.empty());
    EXPECT_EQ(events->Unadvise(cookie), S_OK);
}

}  // namespace
}  // namespace quorvel
