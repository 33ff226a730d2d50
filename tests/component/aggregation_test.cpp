// Both classes aggregated in a small outer object, as a host composes objects: only IID_IUnknown
// may be asked for with an outer object, the object handed back is the inner unknown, every other
// interface passes QueryInterface, AddRef and Release on to the outer object, and the members work
// through it.
#include <gtest/gtest.h>

#include "component/module_lock.h"
#include "component_test_support.h"

namespace quorvel {
namespace {

using namespace test;

// An interface only the outer object has.
constexpr IID IID_OuterOwn = {0x5E1E0C2A, 0x31B4, 0x4C55, {0x9A, 0x02, 0x6F, 0x11, 0x8E, 0x4D, 0x77, 0x01}};

class Outer final : public IUnknown {
public:
    static Outer* create(REFCLSID clsid, HRESULT* hr) {
        Outer* outer = new Outer;
        *hr = createClassInstance(clsid, outer, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                  reinterpret_cast<void**>(&outer->inner_));
        return outer;
    }
    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_OuterOwn) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        return inner_ ? inner_->QueryInterface(riid, ppv) : E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        if (--refs_ > 0) return refs_;
        refs_ = 1;  // the inner object may call back while it goes
        if (inner_) inner_->Release();
        ++*destroyed();
        delete this;
        return 0;
    }
    ULONG refs() const { return refs_; }
    IUnknown* inner() const { return inner_; }
    static int* destroyed() {
        static int count = 0;
        return &count;
    }

private:
    ULONG refs_ = 1;
    IUnknown* inner_ = nullptr;
};

TEST(Aggregation, OnlyTheInnerUnknownMayBeAskedForWithAnOuterObject) {
    struct {
        const CLSID& clsid;
        const IID& iid;
        HRESULT expected;
    } cases[] = {
        {CLSID_QuorvelXml, IID_IDispatch, CLASS_E_NOAGGREGATION},
        {CLSID_XmlFactory, IID_IClassFactory, CLASS_E_NOAGGREGATION},  // an interface it lacks, too
        {CLSID_QuorvelXml, IID_IUnknown, S_OK},
        {CLSID_XmlFactory, IID_IUnknown, S_OK},
    };
    const int64_t handlesBefore = CQuorvelXml::liveCount();
    const int32_t locksBefore = moduleLockCount();
    for (const auto& c : cases) {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(DllGetClassObject(c.clsid, IID_IClassFactory, factory.putVoid()), S_OK);
        Outer outer;  // never released: lives on the stack for this one call
        void* result = reinterpret_cast<void*>(1);
        EXPECT_EQ(factory->CreateInstance(&outer, c.iid, &result), c.expected);
        EXPECT_EQ(result == nullptr, c.expected != S_OK);
        EXPECT_EQ(outer.refs(), 1u);  // making the inner object takes no reference on the outer one
        if (result) {
            auto* inner = static_cast<IUnknown*>(result);
            EXPECT_EQ(refsOf(inner), 1u);
            EXPECT_EQ(inner->Release(), 0u);
        }
    }
    EXPECT_EQ(CQuorvelXml::liveCount(), handlesBefore);
    EXPECT_EQ(moduleLockCount(), locksBefore);
}

TEST(Aggregation, InterfacesPassIdentityAndCountsToTheOuterObjectAndMembersWork) {
    const int64_t handlesBefore = CQuorvelXml::liveCount();
    const int destroyedBefore = *Outer::destroyed();
    HRESULT hr = E_FAIL;
    Outer* outer = Outer::create(CLSID_QuorvelXml, &hr);
    ASSERT_EQ(hr, S_OK);
    IUnknown* inner = outer->inner();
    EXPECT_EQ(CQuorvelXml::liveCount(), handlesBefore + 1);
    EXPECT_NE(inner, static_cast<IUnknown*>(outer));
    EXPECT_EQ(refsOf(inner), 1u);

    // The inner unknown answers for itself; through it the outer object hands out the inner interfaces.
    IUnknown* same = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&same)), S_OK);
    EXPECT_EQ(same, inner);
    EXPECT_EQ(refsOf(inner), 2u);
    same->Release();

    ComPtr<IQuorvelXml> handle;
    ASSERT_EQ(outer->QueryInterface(IID_IQuorvelXml, handle.putVoid()), S_OK);
    EXPECT_EQ(outer->refs(), 2u);  // the interface's reference is the outer object's
    EXPECT_EQ(refsOf(inner), 1u);
    for (const IID* iid : {&IID_IUnknown, &IID_OuterOwn}) {
        IUnknown* got = nullptr;
        ASSERT_EQ(handle->QueryInterface(*iid, reinterpret_cast<void**>(&got)), S_OK);
        EXPECT_EQ(got, static_cast<IUnknown*>(outer));
        got->Release();
    }

    // Members through the outer object, events included: the point's container is the outer object.
    LONG ok = 0;
    ASSERT_EQ(handle->LoadXml(bstr("<a><b>x</b><c/></a>").get(), &ok), S_OK);
    EXPECT_EQ(ok, 1);
    ComPtr<IQuorvelXml> child;
    ASSERT_EQ(handle->GetChild(0, child.put()), S_OK);
    EXPECT_EQ(contentOf(child.get()), "x");
    EXPECT_NE(identityOf(child.get()), static_cast<IUnknown*>(outer));  // found nodes get handles of their own
    // The aggregated handle as an argument is known as one of this module's.
    ComPtr<IQuorvelXml> other = newHandle();
    ASSERT_EQ(other->AddChildTree(child.get()), S_OK);
    ASSERT_EQ(handle->AddChildTree(other.get()), S_OK);
    EXPECT_EQ(getLong(handle.get(), &IQuorvelXml::get_NumChildren), 2);
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(handle->QueryInterface(IID_IConnectionPointContainer, container.putVoid()), S_OK);
    ComPtr<IConnectionPoint> point;
    ASSERT_EQ(container->FindConnectionPoint(DIID_IQuorvelXmlEvents, point.put()), S_OK);
    ComPtr<IConnectionPointContainer> back;
    ASSERT_EQ(point->GetConnectionPointContainer(back.put()), S_OK);
    EXPECT_EQ(identityOf(back.get()), static_cast<IUnknown*>(outer));
    back.reset();
    point.reset();
    container.reset();
    child.reset();
    other.reset();
    EXPECT_EQ(outer->refs(), 2u);
    EXPECT_EQ(refsOf(inner), 1u);

    // Lifetime: the outer object owns the inner one; both go with the outer's last reference.
    handle.reset();
    EXPECT_EQ(outer->refs(), 1u);
    outer->Release();
    EXPECT_EQ(*Outer::destroyed(), destroyedBefore + 1);
    EXPECT_EQ(CQuorvelXml::liveCount(), handlesBefore);

    // The factory class the same way; its documents are handles of their own.
    outer = Outer::create(CLSID_XmlFactory, &hr);
    ASSERT_EQ(hr, S_OK);
    inner = outer->inner();
    ComPtr<IXmlFactory> factory;
    ASSERT_EQ(outer->QueryInterface(IID_IXmlFactory, factory.putVoid()), S_OK);
    EXPECT_EQ(outer->refs(), 2u);
    EXPECT_EQ(refsOf(inner), 1u);
    EXPECT_EQ(identityOf(factory.get()), static_cast<IUnknown*>(outer));
    ComPtr<IQuorvelXml> made;
    ASSERT_EQ(factory->NewXml(made.put()), S_OK);
    ASSERT_TRUE(made);
    EXPECT_EQ(tagOf(made.get()), "unnamed");
    factory.reset();
    made.reset();
    outer->Release();
    EXPECT_EQ(*Outer::destroyed(), destroyedBefore + 2);
    EXPECT_EQ(CQuorvelXml::liveCount(), handlesBefore);
}

}  // namespace
}  // namespace quorvel
