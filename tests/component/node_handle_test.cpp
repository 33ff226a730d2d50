// The node handle object: a new handle's state, the simple properties, the frame's failure
// sequences and error information, the error-log members, and handle lifetimes.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "component_test_support.h"
#include "scratch_dir.h"
#include "tree/tree_info.h"

namespace quorvel {
namespace {

using namespace test;

CQuorvelXml* object(IQuorvelXml* h) { return CQuorvelXml::fromInterface(h); }

TEST(NodeHandle, NewHandleAndSimpleProperties) {
    ComPtr<IQuorvelXml> h = newHandle();
    EXPECT_EQ(tagOf(h.get()) + contentOf(h.get()), "unnamed");
    EXPECT_EQ(object(h.get())->node()->treeHandleCount(), 1);

    // Stored untrimmed; a tag ends at the first zero unit, content keeps it.
    const BstrHolder value(SysAllocStringLen(u" \u00e9\u20ac\0b", 5));
    EXPECT_EQ(h->put_Tag(value.get()), S_OK);
    EXPECT_EQ(h->put_Content(value.get()), S_OK);
    EXPECT_EQ(tagOf(h.get()), " \xc3\xa9\xe2\x82\xac");
    EXPECT_EQ(contentOf(h.get()), std::string(" \xc3\xa9\xe2\x82\xac\0b", 8));
    // Any non-zero CDATA flag reads as 1, and content keeps it; none of the properties logs anything.
    EXPECT_EQ(h->put_Cdata(5), S_OK);
    EXPECT_EQ(h->put_Content(bstr("z").get()), S_OK);
    EXPECT_EQ(getLong(h.get(), &IQuorvelXml::get_Cdata), 1);
    EXPECT_EQ(errorLogXml(h.get()), "");
}

TEST(NodeHandle, FailureSequencesLeaveTheLogAndTheErrorInformation) {
    ComPtr<IQuorvelXml> h = newHandle();
    CQuorvelXml* x = object(h.get());
    EXPECT_EQ(x->failCall("GetRoot", "Unexpected Error."), E_FAIL);
    const ErrorRecord e = takeErrorInfo();
    EXPECT_EQ(e.description, "(GetRoot)\nUnexpected Error.");
    EXPECT_EQ(e.source, "QuorvelXml.QuorvelXml");
    EXPECT_TRUE(e.guid == IID_IQuorvelXml);
    EXPECT_EQ(errorLogXml(h.get()), logXml("GetRoot", {{"error", "Unexpected Error."}}));

    // Without clearing, the new context follows the old one.
    expectFailure(h.get(), x->failCall("NewChild2", "Null Parameter", {}, false), "(NewChild2)\nNull Parameter");
    EXPECT_NE(errorLogXml(h.get()).find("<GetRoot>"), std::string::npos);

    // The catch-all of members logged on failure.
    expectFailure(h.get(), x->guarded("GetNthChildByTag", "Unexpected error.", []() -> HRESULT { throw std::bad_alloc(); }),
                  "(GetNthChildByTag)\nUnexpected error.");

    // Members logged throughout: information stays without a failure, errors fail.
    EXPECT_EQ(x->loggedThroughout("SearchForTag", [&] { return x->log().LogInfo("No child found with this tag"); }), S_OK);
    EXPECT_EQ(errorLogXml(h.get()), logXml("SearchForTag", {{"info", "No child found with this tag"}}));
    EXPECT_FALSE(takeErrorInfo().present);
    auto failing = [&] {
        x->log().LogData("tag", "a");
        x->log().LogError("Failed to create QuorvelXml COM object");
        return false;
    };
    expectFailure(h.get(), x->loggedThroughout("FindOrAddNewChild", failing),
                  "(FindOrAddNewChild)\ntag: a\nFailed to create QuorvelXml COM object");
}

TEST(NodeHandle, ErrorLogMembers) {
    const ScratchDir scratch;
    const auto& dir = scratch.dir;
    const std::string declaration = "<?xml version=\"1.0\"  encoding=\"utf-8\" standalone=\"yes\" ?>\n";
    ComPtr<IQuorvelXml> h = newHandle();
    // A fresh handle's file holds only the call's own open context; the name is trimmed.
    EXPECT_EQ(h->SaveXmlLog(bstr("  " + (dir / "first.xml").string() + " \r\n").get()), S_OK);
    EXPECT_EQ(slurp(dir / "first.xml"), declaration + "<QuorvelLog>\n<SaveXmlLog>\n</SaveXmlLog>\n</QuorvelLog>\n");

    // A null name fails without clearing what was logged before.
    object(h.get())->failCall("GetXml", "Parameter is NULL");
    takeErrorInfo();
    const std::string both = logContext("GetXml", {{"error", "Parameter is NULL"}}) +
                             logContext("SaveXmlLog", {{"error", "Parameter is NULL"}});
    expectFailure(h.get(), h->SaveXmlLog(nullptr), "(SaveXmlLog)\nParameter is NULL",
                  "<QuorvelLog>\n" + both + "</QuorvelLog>\n");
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_ErrorLogHtml), "Parameter is NULL<br>Parameter is NULL<br>");

    // The file shows the earlier record with this call's context closed at the end; a file that
    // cannot be written is no failure of the call, and the log stays as it was.
    EXPECT_EQ(h->SaveXmlLog(bstr((dir / "second.xml").string()).get()), S_OK);
    EXPECT_EQ(slurp(dir / "second.xml"),
              declaration + "<QuorvelLog>\n" + both + "<SaveXmlLog>\n</SaveXmlLog>\n</QuorvelLog>\n");
    EXPECT_EQ(h->SaveXmlLog(bstr((dir / "missing" / "x.xml").string()).get()), S_OK);
    EXPECT_EQ(errorLogXml(h.get()), "<QuorvelLog>\n" + both + "</QuorvelLog>\n");
    EXPECT_EQ(h->ErrorLogClear(), S_OK);
    EXPECT_EQ(errorLogXml(h.get()), "");
}

// Release orders, handle moves and tree lifetimes are checked against a model in handle_model_test,
// handles made and released on other threads in tests/threads.
TEST(NodeHandle, HundredThousandHandlesOnSharedAndSeparateTrees) {
    const int64_t trees = TreeInfo::liveCount();
    const int64_t handles = CQuorvelXml::liveCount();
    {
        ComPtr<IQuorvelXml> owner = newHandle();
        TreeNode* root = object(owner.get())->node();
        TreeNode* leaf = TreeNode::newChild(root, "leaf");
        std::vector<IQuorvelXml*> window(1000, nullptr);
        for (int i = 0; i < 100000; ++i) {
            IQuorvelXml*& slot = window[static_cast<size_t>(i * 7919) % window.size()];
            if (slot) slot->Release();
            slot = i % 3 == 0 ? CQuorvelXml::wrapNode(root) : i % 3 == 1 ? CQuorvelXml::wrapNode(leaf)
                                                                         : CQuorvelXml::createHandle();
            ASSERT_NE(slot, nullptr);
        }
        EXPECT_EQ(CQuorvelXml::liveCount(), handles + 1001);
        for (IQuorvelXml* h : window) h->Release();
        EXPECT_EQ(root->treeHandleCount(), 1);
    }
    EXPECT_EQ(TreeInfo::liveCount(), trees);
    EXPECT_EQ(CQuorvelXml::liveCount(), handles);
}

}  // namespace
}  // namespace quorvel
