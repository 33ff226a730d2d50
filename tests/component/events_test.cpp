// Connection points and the progress event: sinks connect and disconnect, and ParsePercentDone
// reaches each connected sink through IDispatch::Invoke exactly as automation sinks expect.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "component/node_handle.h"
#include "component_test_support.h"
#include "core/progress_monitor.h"

namespace quorvel {
namespace {

using namespace test;

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
ULONG cRefs(CSink*) { return 1; }
HRESULT cNotImpl(CSink*) { return E_NOTIMPL; }
HRESULT cInvoke(CSink* self, DISPID, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) {
    ++self->calls;
    self->last = params->rgvarg[0].lVal;
    return S_OK;
}
const void* const kCSinkTable[] = {reinterpret_cast<const void*>(&cQuery),   reinterpret_cast<const void*>(&cRefs),
                                   reinterpret_cast<const void*>(&cRefs),    reinterpret_cast<const void*>(&cNotImpl),
                                   reinterpret_cast<const void*>(&cNotImpl), reinterpret_cast<const void*>(&cNotImpl),
                                   reinterpret_cast<const void*>(&cInvoke)};

// Runs a parse-sized progress run of total bytes through the handle, as the loaders do.
void parseProgress(IQuorvelXml* h, uint32_t total, std::initializer_list<uint32_t> positions) {
    ProgressMonitor monitor(103, 0, CQuorvelXml::fromInterface(h), 100);
    monitor.Reset(total);
    for (uint32_t p : positions) monitor.SetPosition(p);
    monitor.Finish();
}

TEST(Events, ConnectedSinksReceiveParsePercentDone) {
    PercentSink first, second(false), third;  // the second answers only IDispatch, as many script sinks do
    ComPtr<IQuorvelXml> h = newHandle();
    DWORD cookie1 = 0, cookie2 = 0, cookie3 = 0;
    ComPtr<IConnectionPoint> events = connectEvents(h.get(), &first, &cookie1);
    ASSERT_TRUE(events);
    ASSERT_EQ(events->Advise(&second, &cookie2), S_OK);
    EXPECT_NE(cookie1, 0u);
    EXPECT_NE(cookie1, cookie2);
    EXPECT_EQ(first.refs, 2u);

    parseProgress(h.get(), 1000, {5, 10, 250, 250, 260, 999});
    const std::vector<LONG> expected = {1, 25, 26, 99, 100};
    EXPECT_EQ(first.percents, expected);
    EXPECT_EQ(second.percents, expected);
    EXPECT_TRUE(first.callShapeOk && second.callShapeOk);

    // Connections listed in order, each with a reference for the enumerator's caller.
    ComPtr<IEnumConnections> list;
    ASSERT_EQ(events->EnumConnections(list.put()), S_OK);
    CONNECTDATA data[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(list->Next(3, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 2u);
    EXPECT_EQ(std::pair(data[0].dwCookie, data[1].dwCookie), std::pair(cookie1, cookie2));
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
    ASSERT_EQ(events->Advise(&third, &cookie3), S_OK);
    parseProgress(h.get(), 10, {5});
    EXPECT_EQ(first.percents.size(), expected.size());
    EXPECT_EQ(third.percents, (std::vector<LONG>{50, 100}));

    // A sink may disconnect itself during an event; the others still get theirs.
    third.onEvent = [&] { events->Unadvise(cookie3); };
    second.percents.clear();
    parseProgress(h.get(), 4, {1, 2});
    EXPECT_EQ(third.percents, (std::vector<LONG>{50, 100, 25}));
    EXPECT_EQ(second.percents, (std::vector<LONG>{25, 50, 100}));
    EXPECT_EQ(third.refs, 1u);

    // A sink made by a C host is called the same way; an empty text is not reported.
    CSink c{kCSinkTable, 0, 0};
    DWORD cCookie = 0;
    ASSERT_EQ(events->Advise(reinterpret_cast<IUnknown*>(&c), &cCookie), S_OK);
    parseProgress(h.get(), 2, {1});
    EXPECT_EQ(std::pair(c.calls, c.last), std::pair(2, LONG{100}));
    second.percents.clear();
    parseProgress(h.get(), 0, {});
    EXPECT_EQ(c.calls, 2);
    EXPECT_TRUE(second.percents.empty());
    EXPECT_EQ(events->Unadvise(cCookie), S_OK);

    // The handle lets go of its sinks when it goes.
    events.reset();
    h.reset();
    EXPECT_EQ(second.refs, 1u);
}

TEST(Events, ConnectionPointsOfTheContainer) {
    ComPtr<IQuorvelXml> h = newHandle();
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(h->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> p;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, p.put()), CONNECT_E_NOCONNECTION);
    EXPECT_FALSE(p);

    ComPtr<IEnumConnectionPoints> all, copy;
    ASSERT_EQ(container->EnumConnectionPoints(all.put()), S_OK);
    IConnectionPoint* points[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(all->Skip(1), S_OK);
    EXPECT_EQ(all->Next(3, points, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 1u);
    points[0]->Release();
    EXPECT_EQ(all->Reset(), S_OK);
    ASSERT_EQ(all->Clone(copy.put()), S_OK);
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
    PercentSink sink(false);
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

}  // namespace
}  // namespace quorvel
