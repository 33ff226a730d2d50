// The node handle object: a new handle's state, the simple properties, the frame's failure
// sequences and error information, the error-log members, and handle lifetimes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "component/node_handle.h"
#include "component_test_support.h"
#include "tree/tree_info.h"
#include "tree/tree_node.h"

namespace quorvel {
namespace {

using namespace test;

CQuorvelXml* object(IQuorvelXml* h) { return CQuorvelXml::fromInterface(h); }

TEST(NodeHandle, NewHandleIsAnUnnamedOneNodeDocument) {
    ComPtr<IQuorvelXml> a = newHandle();
    ComPtr<IQuorvelXml> b = newHandle();
    EXPECT_EQ(getString(a.get(), &IQuorvelXml::get_Version), "4.0.2");
    EXPECT_EQ(getString(a.get(), &IQuorvelXml::get_Tag), "unnamed");
    EXPECT_EQ(getString(a.get(), &IQuorvelXml::get_Content), "");
    EXPECT_EQ(getLong(a.get(), &IQuorvelXml::get_NumChildren), 0);
    EXPECT_EQ(getLong(a.get(), &IQuorvelXml::get_NumAttributes), 0);
    EXPECT_EQ(getLong(a.get(), &IQuorvelXml::get_Cdata), 0);
    const LONG idA = getLong(a.get(), &IQuorvelXml::get_TreeId);
    const LONG idB = getLong(b.get(), &IQuorvelXml::get_TreeId);
    EXPECT_GE(idA, 100);
    EXPECT_GT(idB, idA);
    EXPECT_EQ(errorLogXml(a.get()), "");
    EXPECT_EQ(getString(a.get(), &IQuorvelXml::get_ErrorLogText), "");
    EXPECT_EQ(getString(a.get(), &IQuorvelXml::get_ErrorLogHtml), "");
    EXPECT_STREQ(object(a.get())->log().name(), "QuorvelXml4_0_2");
    TreeNode* node = object(a.get())->node();
    EXPECT_EQ(node->parent(), nullptr);
    EXPECT_EQ(node->handleCount(), 1);
    EXPECT_EQ(node->treeHandleCount(), 1);
}

TEST(NodeHandle, SimplePropertiesStoreWhatTheyRead) {
    ComPtr<IQuorvelXml> h = newHandle();
    struct Case {
        const char16_t* units;
        size_t length;
        bool null;
        std::string tag;      // read back after put_Tag
        std::string content;  // read back after put_Content
    };
    const Case cases[] = {
        {u"b", 1, false, "b", "b"},
        {u"", 0, false, "", ""},
        {nullptr, 0, true, "", ""},
        {u" spaced\t", 8, false, " spaced\t", " spaced\t"},
        {u"\u00e9\u20ac", 2, false, "\xc3\xa9\xe2\x82\xac", "\xc3\xa9\xe2\x82\xac"},
        {u"a\0b", 3, false, "a", std::string("a\0b", 3)},  // a tag ends at the first zero unit
        {u"x<y&z", 5, false, "x<y&z", "x<y&z"},
    };
    for (const Case& c : cases) {
        BstrHolder value(c.null ? nullptr : SysAllocStringLen(c.units, static_cast<UINT>(c.length)));
        EXPECT_EQ(h->put_Tag(value.get()), S_OK);
        EXPECT_EQ(h->put_Content(value.get()), S_OK);
        EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_Tag), c.tag);
        EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_Content), c.content);
        EXPECT_EQ(std::string(object(h.get())->node()->tagView()), c.tag);
    }
    for (auto [put, get] : {std::pair{5, 1}, {0, 0}, {-1, 1}, {1, 1}}) {
        EXPECT_EQ(h->put_Cdata(put), S_OK);
        EXPECT_EQ(getLong(h.get(), &IQuorvelXml::get_Cdata), get);
    }
    // Content keeps the CDATA flag; none of the properties logs anything.
    EXPECT_EQ(h->put_Content(bstr("z").get()), S_OK);
    EXPECT_EQ(getLong(h.get(), &IQuorvelXml::get_Cdata), 1);
    EXPECT_EQ(errorLogXml(h.get()), "");
    // A missing result place is refused rather than written through.
    EXPECT_EQ(h->get_Tag(nullptr), E_POINTER);
    EXPECT_EQ(h->get_Version(nullptr), E_POINTER);
    EXPECT_EQ(h->get_TreeId(nullptr), E_POINTER);
    EXPECT_EQ(h->get_ErrorLogXml(nullptr), E_POINTER);
}

TEST(NodeHandle, FailureSequencesLeaveTheLogAndTheErrorInformation) {
    ComPtr<IQuorvelXml> h = newHandle();
    CQuorvelXml* x = object(h.get());
    takeErrorInfo();

    EXPECT_EQ(x->failCall("GetChild", "No child at this index", {{"index", "-1"}, {"n_value", 7}}), E_FAIL);
    ErrorRecord e = takeErrorInfo();
    EXPECT_TRUE(e.present);
    EXPECT_EQ(e.description, "(GetChild)\nNo child at this index\nindex: -1\nn_value: 7");
    EXPECT_EQ(e.source, "QuorvelXml.QuorvelXml");
    EXPECT_TRUE(e.guid == IID_IQuorvelXml);
    EXPECT_EQ(errorLogXml(h.get()),
              "<QuorvelLog>\n<GetChild>\n    <error>No child at this index</error>\n    <index>-1</index>\n"
              "    <n_value>7</n_value>\n</GetChild>\n</QuorvelLog>\n");
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_ErrorLogText), "No child at this index\r\nindex: -1\r\nn_value: 7\r\n");

    // Without clearing, the new context follows the old one.
    EXPECT_EQ(x->failCall("NewChild2", "Null Parameter", {}, false), E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(NewChild2)\nNull Parameter");
    EXPECT_NE(errorLogXml(h.get()).find("<GetChild>"), std::string::npos);
    EXPECT_EQ(x->failCall("GetRoot", "Unexpected Error."), E_FAIL);
    EXPECT_EQ(errorLogXml(h.get()), "<QuorvelLog>\n<GetRoot>\n    <error>Unexpected Error.</error>\n</GetRoot>\n</QuorvelLog>\n");
    takeErrorInfo();

    EXPECT_EQ(x->notImplemented("GetURL"), E_NOTIMPL);
    EXPECT_EQ(takeErrorInfo().description, "(GetURL)\nNot implemented");

    // The catch-all of members logged on failure.
    EXPECT_EQ(x->guarded("RemoveAttribute", "Unexpected error.", []() -> HRESULT { throw std::runtime_error("x"); }),
              E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(RemoveAttribute)\nUnexpected error.");
    EXPECT_EQ(x->guarded("GetNthChildByTag", "Unexpected error.", []() -> HRESULT { throw std::bad_alloc(); }),
              E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(GetNthChildByTag)\nUnexpected error.");
    EXPECT_EQ(x->guarded("X", "Unexpected error.", [] { return S_FALSE; }), S_FALSE);
    EXPECT_FALSE(takeErrorInfo().present);

    // Members logged throughout: a quiet success leaves an empty log, information stays, errors fail.
    EXPECT_EQ(x->loggedThroughout("FindChild", [] { return true; }), S_OK);
    EXPECT_EQ(errorLogXml(h.get()), "");
    EXPECT_EQ(x->loggedThroughout("SearchForTag",
                                  [&] { return x->log().LogInfo("No child found with this tag"); }),
              S_OK);
    EXPECT_EQ(errorLogXml(h.get()),
              "<QuorvelLog>\n<SearchForTag>\n    <info>No child found with this tag</info>\n</SearchForTag>\n"
              "</QuorvelLog>\n");
    EXPECT_FALSE(takeErrorInfo().present);
    EXPECT_EQ(x->loggedThroughout("FindOrAddNewChild",
                                  [&] {
                                      x->log().LogData("tag", "a");
                                      x->log().LogError("Failed to create QuorvelXml COM object");
                                      return false;
                                  }),
              E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(FindOrAddNewChild)\ntag: a\nFailed to create QuorvelXml COM object");
    EXPECT_EQ(x->loggedThroughout("ExtractChildByName", []() -> bool { throw 42; }), E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(ExtractChildByName)\nUnexpected error.");
}

TEST(NodeHandle, ErrorLogMembers) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::temp_directory_path() / ("qv_component_log_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    auto readFile = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    };
    const std::string declaration = "<?xml version=\"1.0\"  encoding=\"utf-8\" standalone=\"yes\" ?>\n";

    ComPtr<IQuorvelXml> h = newHandle();
    // A fresh handle's file holds only the call's own open context.
    const fs::path first = dir / "first.xml";
    EXPECT_EQ(h->SaveXmlLog(bstr("  " + first.string() + " \r\n").get()), S_OK);
    EXPECT_EQ(readFile(first), declaration + "<QuorvelLog>\n<SaveXmlLog>\n</SaveXmlLog>\n</QuorvelLog>\n");
    EXPECT_EQ(errorLogXml(h.get()), "");

    // A null name fails without clearing what was logged before.
    CQuorvelXml* x = object(h.get());
    x->failCall("GetXml", "Parameter is NULL");
    takeErrorInfo();
    EXPECT_EQ(h->SaveXmlLog(nullptr), E_FAIL);
    EXPECT_EQ(takeErrorInfo().description, "(SaveXmlLog)\nParameter is NULL");
    EXPECT_EQ(errorLogXml(h.get()),
              "<QuorvelLog>\n<GetXml>\n    <error>Parameter is NULL</error>\n</GetXml>\n<SaveXmlLog>\n"
              "    <error>Parameter is NULL</error>\n</SaveXmlLog>\n</QuorvelLog>\n");
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_ErrorLogText), "Parameter is NULL\r\nParameter is NULL\r\n");
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_ErrorLogHtml), "Parameter is NULL<br>Parameter is NULL<br>");

    // The file shows the earlier record with this call's context closed at the end.
    const fs::path second = dir / "second.xml";
    EXPECT_EQ(h->SaveXmlLog(bstr(second.string()).get()), S_OK);
    EXPECT_EQ(readFile(second), declaration + "<QuorvelLog>\n<GetXml>\n    <error>Parameter is NULL</error>\n"
                                              "</GetXml>\n<SaveXmlLog>\n    <error>Parameter is NULL</error>\n"
                                              "</SaveXmlLog>\n<SaveXmlLog>\n</SaveXmlLog>\n</QuorvelLog>\n");
    // A file that cannot be written is not a failure of the call, and the log stays as it was.
    const std::string before = errorLogXml(h.get());
    EXPECT_EQ(h->SaveXmlLog(bstr((dir / "missing" / "x.xml").string()).get()), S_OK);
    EXPECT_EQ(errorLogXml(h.get()), before);

    EXPECT_EQ(h->ErrorLogClear(), S_OK);
    EXPECT_EQ(errorLogXml(h.get()), "");
    fs::remove_all(dir);
}

TEST(NodeHandle, InterfacesAndRecognition) {
    ComPtr<IQuorvelXml> h = newHandle();
    void* p = nullptr;
    for (const IID* iid : {&IID_IUnknown, &IID_IDispatch, &IID_IQuorvelXml}) {
        ASSERT_EQ(h->QueryInterface(*iid, &p), S_OK);
        EXPECT_EQ(p, static_cast<void*>(h.get()));
        h->Release();
    }
    EXPECT_EQ(h->QueryInterface(IID_IClassFactory, &p), E_NOINTERFACE);
    EXPECT_EQ(p, nullptr);

    ComPtr<ISupportErrorInfo> support;
    ASSERT_EQ(h->QueryInterface(IID_ISupportErrorInfo, support.putVoid()), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IQuorvelXml), S_OK);
    EXPECT_EQ(support->InterfaceSupportsErrorInfo(IID_IDispatch), S_FALSE);

    ComPtr<IProvideClassInfo2> classInfo;
    ASSERT_EQ(h->QueryInterface(IID_IProvideClassInfo2, classInfo.putVoid()), S_OK);
    GUID g{};
    EXPECT_EQ(classInfo->GetGUID(GUIDKIND_DEFAULT_SOURCE_DISP_IID, &g), S_OK);
    EXPECT_TRUE(g == DIID_IQuorvelXmlEvents);
    EXPECT_EQ(classInfo->GetGUID(2, &g), E_INVALIDARG);
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(classInfo->GetClassInfo(coclass.put()), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_COCLASS);
    EXPECT_TRUE(attr->guid == CLSID_QuorvelXml);
    EXPECT_EQ(attr->cImplTypes, 2);
    coclass->ReleaseTypeAttr(attr);
    INT flags = 0;
    EXPECT_EQ(coclass->GetImplTypeFlags(1, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT | IMPLTYPEFLAG_FSOURCE);

    // Recognising our own objects: through any of their interfaces, and never a stranger.
    EXPECT_EQ(CQuorvelXml::fromInterface(support.get()), object(h.get()));
    EXPECT_EQ(CQuorvelXml::fromInterface(nullptr), nullptr);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(getClassObject(CLSID_QuorvelXml, IID_IClassFactory, factory.putVoid()), S_OK);
    EXPECT_EQ(CQuorvelXml::fromInterface(factory.get()), nullptr);
}

TEST(NodeHandle, HandlesKeepTheirTreeAliveInAnyReleaseOrder) {
    const int64_t trees = TreeInfo::liveCount();
    const int64_t handles = CQuorvelXml::liveCount();
    for (int order = 0; order < 6; ++order) {
        ComPtr<IQuorvelXml> rootHandle = newHandle();
        TreeNode* root = object(rootHandle.get())->node();
        TreeNode* a = TreeNode::newChild(root, "a");
        TreeNode* b = TreeNode::newChild(a, "b");
        ComPtr<IQuorvelXml> onA = ComPtr<IQuorvelXml>::adopt(CQuorvelXml::wrapNode(a));
        ComPtr<IQuorvelXml> onB = ComPtr<IQuorvelXml>::adopt(CQuorvelXml::wrapNode(b));
        ASSERT_TRUE(onA && onB);
        EXPECT_EQ(root->treeHandleCount(), 3);
        EXPECT_EQ(getLong(onB.get(), &IQuorvelXml::get_TreeId), getLong(rootHandle.get(), &IQuorvelXml::get_TreeId));
        EXPECT_EQ(getString(onB.get(), &IQuorvelXml::get_Tag), "b");
        ComPtr<IQuorvelXml>* all[3] = {&rootHandle, &onA, &onB};
        const int orders[6][3] = {{0, 1, 2}, {0, 2, 1}, {1, 0, 2}, {1, 2, 0}, {2, 0, 1}, {2, 1, 0}};
        const char* tags[3] = {"unnamed", "a", "b"};
        for (int k = 0; k < 3; ++k) {
            all[orders[order][k]]->reset();
            // Until the last handle goes, whatever is left still reads the tree.
            for (int j = 0; j < 3; ++j) {
                if (*all[j]) {
                    EXPECT_EQ(getString(all[j]->get(), &IQuorvelXml::get_Tag), tags[j]);
                }
            }
            if (k < 2) {
                EXPECT_EQ(TreeInfo::liveCount(), trees + 1);
            }
        }
        EXPECT_EQ(TreeInfo::liveCount(), trees);
        EXPECT_EQ(CQuorvelXml::liveCount(), handles);
    }
}

TEST(NodeHandle, MovingAndReplacingTheDesignatedNode) {
    const int64_t trees = TreeInfo::liveCount();
    ComPtr<IQuorvelXml> h = newHandle();
    CQuorvelXml* x = object(h.get());
    TreeNode* root = x->node();
    TreeNode* child = TreeNode::newChild(root, "child");
    x->moveTo(child);
    EXPECT_EQ(x->node(), child);
    EXPECT_EQ(root->handleCount(), 0);
    EXPECT_EQ(child->handleCount(), 1);
    EXPECT_EQ(root->treeHandleCount(), 1);
    x->moveTo(root);

    // Replacing with another handle still on the old tree keeps it; without, it goes.
    ComPtr<IQuorvelXml> other = ComPtr<IQuorvelXml>::adopt(CQuorvelXml::wrapNode(child));
    TreeNode* fresh = TreeNode::newTree("fresh");
    x->replaceTree(fresh);
    EXPECT_EQ(getString(h.get(), &IQuorvelXml::get_Tag), "fresh");
    EXPECT_EQ(getString(other.get(), &IQuorvelXml::get_Tag), "child");
    EXPECT_EQ(TreeInfo::liveCount(), trees + 2);
    object(other.get())->replaceTree(TreeNode::newTree("second"));
    EXPECT_EQ(TreeInfo::liveCount(), trees + 2);  // the first tree went, "second" came
    h.reset();
    other.reset();
    EXPECT_EQ(TreeInfo::liveCount(), trees);
}

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
            switch (i % 3) {
                case 0: slot = CQuorvelXml::wrapNode(root); break;
                case 1: slot = CQuorvelXml::wrapNode(leaf); break;
                default: slot = CQuorvelXml::createHandle(); break;
            }
            ASSERT_NE(slot, nullptr);
        }
        EXPECT_EQ(CQuorvelXml::liveCount(), handles + 1001);
        for (IQuorvelXml* h : window) h->Release();
        EXPECT_EQ(root->treeHandleCount(), 1);
    }
    EXPECT_EQ(TreeInfo::liveCount(), trees);
    EXPECT_EQ(CQuorvelXml::liveCount(), handles);

    // Threads working on documents of their own share the pools and counters safely.
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([] {
            for (int i = 0; i < 2000; ++i) {
                ComPtr<IQuorvelXml> h = ComPtr<IQuorvelXml>::adopt(CQuorvelXml::createHandle());
                TreeNode* root = CQuorvelXml::fromInterface(h.get())->node();
                ComPtr<IQuorvelXml> child = ComPtr<IQuorvelXml>::adopt(CQuorvelXml::wrapNode(TreeNode::newChild(root, "t")));
                h.reset();
                child->put_Tag(nullptr);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    EXPECT_EQ(TreeInfo::liveCount(), trees);
    EXPECT_EQ(CQuorvelXml::liveCount(), handles);
}

}  // namespace
}  // namespace quorvel
