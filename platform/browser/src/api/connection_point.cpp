#include "browser/connection_points.h"

#include <algorithm>

namespace win {
namespace {

class CEnumConnections final : public CComObjectImpl<IEnumConnections> {
public:
    explicit CEnumConnections(std::vector<CONNECTDATA> items) : m_items(std::move(items)) {}

    HRESULT Next(ULONG count, CONNECTDATA* data, ULONG* fetched) override
    {
        if (data == nullptr || (count > 1 && fetched == nullptr))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && m_pos < m_items.size()) {
            data[n] = m_items[m_pos++];
            if (data[n].pUnk != nullptr)
                data[n].pUnk->AddRef();
            ++n;
        }
        if (fetched != nullptr)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        std::size_t left = m_items.size() - m_pos;
        m_pos += std::min<std::size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        m_pos = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumConnections** clone) override
    {
        if (clone == nullptr)
            return E_POINTER;
        std::vector<CONNECTDATA> copy = m_items;
        for (CONNECTDATA& item : copy) {
            if (item.pUnk != nullptr)
                item.pUnk->AddRef();
        }
        auto* other = new CEnumConnections(std::move(copy));
        other->m_pos = m_pos;
        *clone = other;
        return S_OK;
    }

private:
    ~CEnumConnections() override
    {
        for (CONNECTDATA& item : m_items) {
            if (item.pUnk != nullptr)
                item.pUnk->Release();
        }
    }

    std::vector<CONNECTDATA> m_items;  // each holds one reference of the enumerator's
    std::size_t m_pos = 0;
};

class CEnumConnectionPoints final : public CComObjectImpl<IEnumConnectionPoints> {
public:
    explicit CEnumConnectionPoints(std::vector<CComPtr<IConnectionPoint>> points) : m_points(std::move(points)) {}

    HRESULT Next(ULONG count, IConnectionPoint** points, ULONG* fetched) override
    {
        if (points == nullptr || (count > 1 && fetched == nullptr))
            return E_POINTER;
        ULONG n = 0;
        while (n < count && m_pos < m_points.size())
            m_points[m_pos++].CopyTo(&points[n++]);
        if (fetched != nullptr)
            *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override
    {
        std::size_t left = m_points.size() - m_pos;
        m_pos += std::min<std::size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        m_pos = 0;
        return S_OK;
    }
    HRESULT Clone(IEnumConnectionPoints** clone) override
    {
        if (clone == nullptr)
            return E_POINTER;
        auto* other = new CEnumConnectionPoints(m_points);
        other->m_pos = m_pos;
        *clone = other;
        return S_OK;
    }

private:
    std::vector<CComPtr<IConnectionPoint>> m_points;
    std::size_t m_pos = 0;
};

}  // namespace

IEnumConnections* CreateConnectionEnumerator(std::vector<CONNECTDATA> snapshot)
{
    return new CEnumConnections(std::move(snapshot));
}

IEnumConnectionPoints* CreateConnectionPointEnumerator(std::vector<CComPtr<IConnectionPoint>> points)
{
    return new CEnumConnectionPoints(std::move(points));
}

CConnectionPoint::CConnectionPoint(REFIID eventInterface, IConnectionPointContainer* container)
    : m_iid(eventInterface), m_pContainer(container)
{
}

CConnectionPoint* CConnectionPoint::Create(REFIID eventInterface, IConnectionPointContainer* container)
{
    return new CConnectionPoint(eventInterface, container);
}

HRESULT CConnectionPoint::GetConnectionInterface(IID* iid)
{
    if (iid == nullptr)
        return E_POINTER;
    *iid = m_iid;
    return S_OK;
}

HRESULT CConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** container)
{
    if (container == nullptr)
        return E_POINTER;
    *container = m_pContainer;
    if (m_pContainer == nullptr)
        return E_UNEXPECTED;
    m_pContainer->AddRef();
    return S_OK;
}

HRESULT CConnectionPoint::Advise(IUnknown* sink, DWORD* cookie)
{
    if (cookie == nullptr)
        return E_POINTER;
    *cookie = 0;
    if (sink == nullptr)
        return E_POINTER;
    // A listener may implement the event interface itself or only
    // IDispatch (the events arrive through Invoke either way).
    IUnknown* answered = nullptr;
    if (FAILED(sink->QueryInterface(m_iid, reinterpret_cast<void**>(&answered))) || answered == nullptr) {
        if (FAILED(sink->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&answered))) || answered == nullptr)
            return CONNECT_E_CANNOTCONNECT;
    }
    if (m_nextCookie == 0)
        ++m_nextCookie;  // after 2^32 advises; 0 is never a cookie
    Connection connection{m_nextCookie++, nullptr};
    connection.sink.Attach(answered);
    *cookie = connection.cookie;
    m_connections.push_back(std::move(connection));
    return S_OK;
}

HRESULT CConnectionPoint::Unadvise(DWORD cookie)
{
    auto it = std::find_if(m_connections.begin(), m_connections.end(),
                           [cookie](const Connection& c) { return c.cookie == cookie; });
    if (it == m_connections.end())
        return CONNECT_E_NOCONNECTION;
    // Release after the erase: the sink's destructor may call back here.
    CComPtr<IUnknown> sink = std::move(it->sink);
    m_connections.erase(it);
    return S_OK;
}

HRESULT CConnectionPoint::EnumConnections(IEnumConnections** connections)
{
    if (connections == nullptr)
        return E_POINTER;
    std::vector<CONNECTDATA> snapshot;
    snapshot.reserve(m_connections.size());
    for (const Connection& c : m_connections) {
        CONNECTDATA data;
        data.pUnk = c.sink.get();
        data.pUnk->AddRef();
        data.dwCookie = c.cookie;
        snapshot.push_back(data);
    }
    *connections = CreateConnectionEnumerator(std::move(snapshot));
    return S_OK;
}

int CConnectionPoint::Fire(DISPID dispid, DISPPARAMS* params)
{
    // Keep this point alive: a sink may release the browser during its call.
    CComPtr<IConnectionPoint> self(this);
    std::vector<DWORD> cookies;
    cookies.reserve(m_connections.size());
    for (const Connection& c : m_connections)
        cookies.push_back(c.cookie);
    int called = 0;
    for (DWORD cookie : cookies) {
        auto it = std::find_if(m_connections.begin(), m_connections.end(),
                               [cookie](const Connection& c) { return c.cookie == cookie; });
        if (it == m_connections.end())
            continue;  // unadvised by an earlier sink
        CComPtr<IDispatch> sink(static_cast<IDispatch*>(it->sink.get()));
        DISPPARAMS empty;
        sink->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, params != nullptr ? params : &empty,
                     nullptr, nullptr, nullptr);
        ++called;
    }
    return called;
}

void CConnectionPoint::Disconnect()
{
    m_pContainer = nullptr;
    std::vector<Connection> connections = std::move(m_connections);
    m_connections.clear();
    connections.clear();
}

}  // namespace win
