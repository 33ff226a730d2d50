// Connection points and the progress event: sinks connect and disconnect, and ParsePercentDone
// reaches each connected sink through IDispatch::Invoke exactly as automation sinks expect.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "component_test_support.h"
#include "core/progress_monitor.h"

namespace quorvel {
namespace {

using namespace test;

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
    EXPECT_NE(cookie1, cookie2);
    EXPECT_EQ(first.refs, 2u);

    parseProgress(h.get(), 1000, {5, 10, 250, 250, 260, 999});
    const std::vector<LONG> expected = {1, 25, 26, 99, 100};
    EXPECT_EQ(first.percents, expected);
    EXPECT_EQ(second.percents, expected);
    EXPECT_TRUE(first.callShapeOk && second.callShapeOk);

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

    // An empty text is not reported.
    second.percents.clear();
    parseProgress(h.get(), 0, {});
    EXPECT_TRUE(second.percents.empty());

    // The handle lets go of its sinks when it goes.
    events.reset();
    h.reset();
    EXPECT_EQ(second.refs, 1u);
}

TEST(Events, ConnectionPointsOfTheContainer) {
    ComPtr<IQuorvelXml> h = newHandle();
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(h->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> notify;
    ASSERT_EQ(container->FindConnectionPoint(IID_IPropertyNotifySink, notify.put()), S_OK);

    // The property notification point wants its own interface; an IDispatch-only sink is refused.
    PercentSink sink(false);
    DWORD cookie = 7;
    EXPECT_EQ(notify->Advise(&sink, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(sink.refs, 1u);
    // A connection point keeps the handle alive.
    const int64_t live = CQuorvelXml::liveCount();
    h.reset();
    container.reset();
    EXPECT_EQ(CQuorvelXml::liveCount(), live);
    notify.reset();
    EXPECT_EQ(CQuorvelXml::liveCount(), live - 1);
}

}  // namespace
}  // namespace quorvel
