// A connection point of an object's outgoing interface: the sinks that hosts connect through
// Advise, in connection order, each with the cookie that disconnects it. The point lives inside
// its container object and shares its reference count.
#pragma once
#include <atomic>
#include <vector>

#include "component/module_lock.h"
#include "quorvel/automation.hpp"

namespace quorvel {

class ConnectionPoint final : public IConnectionPoint {
public:
    // Sinks must answer iid; when acceptDispatch is set, a sink answering only IDispatch is
    // taken as well (script hosts' event sinks often know no other interface).
    ConnectionPoint(IConnectionPointContainer& owner, const IID& iid, bool acceptDispatch);
    ~ConnectionPoint();
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetConnectionInterface(IID* pIID) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    HRESULT Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    HRESULT Unadvise(DWORD dwCookie) override;
    HRESULT EnumConnections(IEnumConnections** ppEnum) override;

    const IID& iid() const { return iid_; }
    size_t connectionCount() const { return connections_.size(); }

    // Calls f(sink) for every sink connected when the call begins, in connection order, holding
    // a reference on each meanwhile, so sinks may connect or disconnect from inside f.
    template <class F>
    void forEachSink(F&& f) {
        if (connections_.empty()) return;
        std::vector<IUnknown*> sinks = referencedSinks();
        for (IUnknown* sink : sinks) f(sink);
        releaseSinks(sinks);
    }

private:
    struct Connection {
        DWORD cookie;
        IUnknown* sink;  // the interface answered for iid_ (or IDispatch), one reference held
    };

    std::vector<IUnknown*> referencedSinks() const;
    static void releaseSinks(const std::vector<IUnknown*>& sinks);

    IConnectionPointContainer& owner_;
    IID iid_;
    bool acceptDispatch_;
    DWORD nextCookie_ = 1;
    std::vector<Connection> connections_;
};

// IEnumConnectionPoints over a container's fixed points; holds a reference on the container.
class ConnectionPointEnumerator final : public IEnumConnectionPoints {
public:
    static HRESULT create(IConnectionPointContainer* owner, IConnectionPoint* const* points, ULONG count,
                          ULONG position, IEnumConnectionPoints** out);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) override;
    HRESULT Skip(ULONG cConnections) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumConnectionPoints** ppEnum) override;

private:
    ConnectionPointEnumerator(IConnectionPointContainer* owner, IConnectionPoint* const* points, ULONG count,
                              ULONG position);
    ~ConnectionPointEnumerator();

    ModuleLockHolder moduleLock_;
    std::atomic<ULONG> refs_{1};
    IConnectionPointContainer* owner_;
    std::vector<IConnectionPoint*> points_;
    ULONG position_;
};

// IEnumConnections over a snapshot of a point's connections; holds a reference on each sink.
class ConnectionEnumerator final : public IEnumConnections {
public:
    static HRESULT create(std::vector<CONNECTDATA> snapshot, ULONG position, IEnumConnections** out);

    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT Next(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) override;
    HRESULT Skip(ULONG cConnections) override;
    HRESULT Reset() override;
    HRESULT Clone(IEnumConnections** ppEnum) override;

private:
    ConnectionEnumerator(std::vector<CONNECTDATA> snapshot, ULONG position);
    ~ConnectionEnumerator();

    ModuleLockHolder moduleLock_;
    std::atomic<ULONG> refs_{1};
    std::vector<CONNECTDATA> connections_;
    ULONG position_;
};

}  // namespace quorvel
