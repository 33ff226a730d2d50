// Connection points and the progress event: LoadXml reports ParsePercentDone to each connected
// sink through IDispatch::Invoke exactly as automation sinks expect; sinks connect and disconnect.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "component_test_support.h"

namespace quorvel {
namespace {

using namespace test;

// Loads the text through LoadXml, whatever comes of it.
void load(IQuorvelXml* h, const std::string& xml) {
    LONG flag = -1;
    h->LoadXml(bstr(xml).get(), &flag);
    takeErrorInfo();
}

TEST(Events, LoadXmlReportsProgressToEveryConnectedSink) {
    PercentSink first, second(false), third;  // the second answers only IDispatch, as many script sinks do
    ComPtr<IQuorvelXml> h = newHandle();
    DWORD cookie1 = 0, cookie2 = 0, cookie3 = 0;
    ComPtr<IConnectionPoint> events = connectEvents(h.get(), &first, &cookie1);
    ASSERT_TRUE(events);
    ASSERT_EQ(events->Advise(&second, &cookie2), S_OK);
    EXPECT_EQ(first.refs, 2u);

    // Strictly increasing percentages that end in 100, the same for every sink.
    std::string doc = "<list>";
    for (int i = 0; i < 1000; ++i) doc += "<item n=\"" + std::to_string(i) + "\">text</item>";
    doc += "</list>";
    load(h.get(), doc);
    EXPECT_GT(first.percents.size(), 50u);
    for (size_t i = 1; i < first.percents.size(); ++i) EXPECT_GT(first.percents[i], first.percents[i - 1]);
    EXPECT_EQ(first.percents.back(), 100);
    EXPECT_EQ(second.percents, first.percents);
    EXPECT_TRUE(first.callShapeOk && second.callShapeOk);

    // Unadvise stops the events; a sink whose call fails does not stop the others; a text
    // without an element still finishes its run.
    EXPECT_EQ(events->Unadvise(cookie1), S_OK);
    EXPECT_EQ(events->Unadvise(cookie1), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(first.refs, 1u);
    const size_t firstCount = first.percents.size();
    second.invokeResult = E_FAIL;
    ASSERT_EQ(events->Advise(&third, &cookie3), S_OK);
    load(h.get(), "no element");
    EXPECT_EQ(first.percents.size(), firstCount);
    EXPECT_EQ(third.percents, (std::vector<LONG>{100}));

    // A sink may disconnect itself during an event; the others still get theirs.
    third.onEvent = [&] { events->Unadvise(cookie3); };
    second.percents.clear();
    load(h.get(), doc);
    EXPECT_EQ(third.percents.size(), 2u);
    EXPECT_EQ(second.percents.back(), 100);
    EXPECT_EQ(third.refs, 1u);

    // An empty text raises nothing.
    second.percents.clear();
    load(h.get(), "");
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
