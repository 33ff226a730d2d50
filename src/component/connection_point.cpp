#include "component/connection_point.h"

#include <algorithm>
#include <new>

#include "core/automation/host_object.h"

namespace quorvel {

// ---- ConnectionPoint ----------------------------------------------------------------------

ConnectionPoint::ConnectionPoint(IConnectionPointContainer& owner, const IID& iid, bool acceptDispatch)
    : owner_(owner), iid_(iid), acceptDispatch_(acceptDispatch) {}

ConnectionPoint::~ConnectionPoint() {
    // Taken out first: a sink's Release may run host code that looks at this point.
    std::vector<Connection> connections;
    connections.swap(connections_);
    for (const Connection& c : connections) releaseObject(c.sink);
}

HRESULT ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IConnectionPoint) {
        *ppv = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG ConnectionPoint::AddRef() { return owner_.AddRef(); }

ULONG ConnectionPoint::Release() { return owner_.Release(); }

HRESULT ConnectionPoint::GetConnectionInterface(IID* pIID) {
    if (!pIID) return E_POINTER;
    *pIID = iid_;
    return S_OK;
}

HRESULT ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    if (!ppCPC) return E_POINTER;
    owner_.AddRef();
    *ppCPC = &owner_;
    return S_OK;
}

HRESULT ConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
    if (!pdwCookie) return E_POINTER;
    *pdwCookie = 0;
    if (!pUnkSink) return E_POINTER;
    void* sink = nullptr;
    if (FAILED(queryObject(pUnkSink, iid_, &sink)) || !sink) {
        sink = nullptr;
        if (!acceptDispatch_ || FAILED(queryObject(pUnkSink, IID_IDispatch, &sink)) || !sink)
            return CONNECT_E_CANNOTCONNECT;
    }
    IUnknown* held = static_cast<IUnknown*>(sink);
    try {
        connections_.push_back({nextCookie_, held});
    } catch (const std::bad_alloc&) {
        releaseObject(held);
        return E_OUTOFMEMORY;
    }
    *pdwCookie = nextCookie_++;
    if (nextCookie_ == 0) nextCookie_ = 1;  // 0 is never a valid cookie
    return S_OK;
}

HRESULT ConnectionPoint::Unadvise(DWORD dwCookie) {
    auto it = std::find_if(connections_.begin(), connections_.end(),
                           [dwCookie](const Connection& c) { return c.cookie == dwCookie; });
    if (it == connections_.end()) return CONNECT_E_NOCONNECTION;
    IUnknown* sink = it->sink;
    connections_.erase(it);
    releaseObject(sink);
    return S_OK;
}

HRESULT ConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    std::vector<CONNECTDATA> snapshot;
    try {
        snapshot.reserve(connections_.size());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (const Connection& c : connections_) {
        addRefObject(c.sink);
        snapshot.push_back({c.sink, c.cookie});
    }
    return ConnectionEnumerator::create(std::move(snapshot), 0, ppEnum);
}

std::vector<IUnknown*> ConnectionPoint::referencedSinks() const {
    std::vector<IUnknown*> sinks;
    sinks.reserve(connections_.size());
    for (const Connection& c : connections_) {
        addRefObject(c.sink);
        sinks.push_back(c.sink);
    }
    return sinks;
}

void ConnectionPoint::releaseSinks(const std::vector<IUnknown*>& sinks) {
    for (IUnknown* sink : sinks) releaseObject(sink);
}

// ---- ConnectionPointEnumerator -----------------------------------------------------------

ConnectionPointEnumerator::ConnectionPointEnumerator(IConnectionPointContainer* owner,
                                                     IConnectionPoint* const* points, ULONG count, ULONG position)
    : owner_(owner), points_(points, points + count), position_(position) {
    owner_->AddRef();
}

ConnectionPointEnumerator::~ConnectionPointEnumerator() { owner_->Release(); }

HRESULT ConnectionPointEnumerator::create(IConnectionPointContainer* owner, IConnectionPoint* const* points,
                                          ULONG count, ULONG position, IEnumConnectionPoints** out) {
    // The constructor copies the points, which may throw as well as the allocation may fail.
    try {
        *out = new (std::nothrow) ConnectionPointEnumerator(owner, points, count, position);
    } catch (const std::bad_alloc&) {
        *out = nullptr;
    }
    return *out ? S_OK : E_OUTOFMEMORY;
}

HRESULT ConnectionPointEnumerator::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumConnectionPoints) {
        *ppv = static_cast<IEnumConnectionPoints*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG ConnectionPointEnumerator::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG ConnectionPointEnumerator::Release() {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT ConnectionPointEnumerator::Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) {
    if (!ppCP || (cConnections > 1 && !pcFetched)) return E_POINTER;
    ULONG fetched = 0;
    while (fetched < cConnections && position_ < points_.size()) {
        IConnectionPoint* p = points_[position_++];
        p->AddRef();
        ppCP[fetched++] = p;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cConnections ? S_OK : S_FALSE;
}

HRESULT ConnectionPointEnumerator::Skip(ULONG cConnections) {
    const size_t left = points_.size() - position_;
    if (cConnections > left) {
        position_ = static_cast<ULONG>(points_.size());
        return S_FALSE;
    }
    position_ += cConnections;
    return S_OK;
}

HRESULT ConnectionPointEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT ConnectionPointEnumerator::Clone(IEnumConnectionPoints** ppEnum) {
    if (!ppEnum) return E_POINTER;
    return create(owner_, points_.data(), static_cast<ULONG>(points_.size()), position_, ppEnum);
}

// ---- ConnectionEnumerator ------------------------------------------------------------------

ConnectionEnumerator::ConnectionEnumerator(std::vector<CONNECTDATA> snapshot, ULONG position)
    : connections_(std::move(snapshot)), position_(position) {}

ConnectionEnumerator::~ConnectionEnumerator() {
    for (const CONNECTDATA& c : connections_) releaseObject(c.pUnk);
}

HRESULT ConnectionEnumerator::create(std::vector<CONNECTDATA> snapshot, ULONG position, IEnumConnections** out) {
    *out = new (std::nothrow) ConnectionEnumerator(std::move(snapshot), position);
    if (*out) return S_OK;
    for (const CONNECTDATA& c : snapshot) releaseObject(c.pUnk);
    return E_OUTOFMEMORY;
}

HRESULT ConnectionEnumerator::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IEnumConnections) {
        *ppv = static_cast<IEnumConnections*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG ConnectionEnumerator::AddRef() { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }

ULONG ConnectionEnumerator::Release() {
    const ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

HRESULT ConnectionEnumerator::Next(ULONG cConnections, CONNECTDATA* rgcd, ULONG* pcFetched) {
    if (!rgcd || (cConnections > 1 && !pcFetched)) return E_POINTER;
    ULONG fetched = 0;
    while (fetched < cConnections && position_ < connections_.size()) {
        const CONNECTDATA& c = connections_[position_++];
        addRefObject(c.pUnk);
        rgcd[fetched++] = c;
    }
    if (pcFetched) *pcFetched = fetched;
    return fetched == cConnections ? S_OK : S_FALSE;
}

HRESULT ConnectionEnumerator::Skip(ULONG cConnections) {
    const size_t left = connections_.size() - position_;
    if (cConnections > left) {
        position_ = static_cast<ULONG>(connections_.size());
        return S_FALSE;
    }
    position_ += cConnections;
    return S_OK;
}

HRESULT ConnectionEnumerator::Reset() {
    position_ = 0;
    return S_OK;
}

HRESULT ConnectionEnumerator::Clone(IEnumConnections** ppEnum) {
    if (!ppEnum) return E_POINTER;
    std::vector<CONNECTDATA> copy;
    try {
        copy = connections_;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (const CONNECTDATA& c : copy) addRefObject(c.pUnk);
    return create(std::move(copy), position_, ppEnum);
}

}  // namespace quorvel
