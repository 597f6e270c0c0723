// Connection points: how listeners attach to an object's outgoing events.
//
// A listener (sink) advises the connection point of an event interface and
// gets a cookie; the object then calls the sink's IDispatch::Invoke for every
// event, sinks in the order they were advised; Unadvise(cookie) detaches it.
// EnumConnections lists the current connections in the same order.
//
// CConnectionPoint is the browser's implementation; it is exported so an
// add-on or a test can use it for its own events too.
#pragma once

#include "browser/com_object.h"
#include "browser/com_ptr.h"
#include "browser/oleauto.h"

#include <functional>
#include <vector>

namespace win {

struct IConnectionPointContainer;

struct CONNECTDATA {
    IUnknown* pUnk = nullptr;  // one reference, released by the receiver
    DWORD dwCookie = 0;
};

struct IEnumConnections : IUnknown {
    static constexpr IID kIid = MakeGuid("B196B287-BAB4-101A-B69C-00AA00341D07");
    using Base = IUnknown;
    // Fills up to COUNT entries; S_OK when all COUNT were filled, S_FALSE
    // when fewer (the rest of the list) were.
    virtual HRESULT Next(ULONG count, CONNECTDATA* data, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnections** clone) = 0;

protected:
    ~IEnumConnections() = default;
};

struct IConnectionPoint : IUnknown {
    static constexpr IID kIid = MakeGuid("B196B286-BAB4-101A-B69C-00AA00341D07");
    using Base = IUnknown;
    virtual HRESULT GetConnectionInterface(IID* iid) = 0;
    virtual HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) = 0;
    // SINK must answer the event interface or IDispatch; *COOKIE is never 0.
    virtual HRESULT Advise(IUnknown* sink, DWORD* cookie) = 0;
    virtual HRESULT Unadvise(DWORD cookie) = 0;
    virtual HRESULT EnumConnections(IEnumConnections** connections) = 0;

protected:
    ~IConnectionPoint() = default;
};

struct IEnumConnectionPoints : IUnknown {
    static constexpr IID kIid = MakeGuid("B196B285-BAB4-101A-B69C-00AA00341D07");
    using Base = IUnknown;
    virtual HRESULT Next(ULONG count, IConnectionPoint** points, ULONG* fetched) = 0;
    virtual HRESULT Skip(ULONG count) = 0;
    virtual HRESULT Reset() = 0;
    virtual HRESULT Clone(IEnumConnectionPoints** clone) = 0;

protected:
    ~IEnumConnectionPoints() = default;
};

struct IConnectionPointContainer : IUnknown {
    static constexpr IID kIid = MakeGuid("B196B284-BAB4-101A-B69C-00AA00341D07");
    using Base = IUnknown;
    virtual HRESULT EnumConnectionPoints(IEnumConnectionPoints** points) = 0;
    virtual HRESULT FindConnectionPoint(REFIID riid, IConnectionPoint** point) = 0;

protected:
    ~IConnectionPointContainer() = default;
};

inline constexpr IID IID_IConnectionPoint = IConnectionPoint::kIid;
inline constexpr IID IID_IConnectionPointContainer = IConnectionPointContainer::kIid;
inline constexpr IID IID_IEnumConnections = IEnumConnections::kIid;
inline constexpr IID IID_IEnumConnectionPoints = IEnumConnectionPoints::kIid;

// The connection point of one event interface. Holds a counted reference to
// each sink (the interface it answered: the event interface, else
// IDispatch) and a weak pointer to its container.
class CConnectionPoint final : public CComObjectImpl<IConnectionPoint> {
public:
    // Creates a point with one reference (the caller's).
    static CConnectionPoint* Create(REFIID eventInterface, IConnectionPointContainer* container);

    HRESULT GetConnectionInterface(IID* iid) override;
    HRESULT GetConnectionPointContainer(IConnectionPointContainer** container) override;
    HRESULT Advise(IUnknown* sink, DWORD* cookie) override;
    HRESULT Unadvise(DWORD cookie) override;
    HRESULT EnumConnections(IEnumConnections** connections) override;

    // Calls Invoke(DISPID, ...) on every sink, in advise order. A sink
    // advised during the call is not called for this event; a sink
    // unadvised during it is not called any more. Each sink is held for the
    // length of its call. Returns the number of sinks called.
    int Fire(DISPID dispid, DISPPARAMS* params);

    // The container is going away: forget it (GetConnectionPointContainer
    // then fails) and release every sink.
    void Disconnect();

    std::size_t ConnectionCount() const { return m_connections.size(); }

private:
    CConnectionPoint(REFIID eventInterface, IConnectionPointContainer* container);

    struct Connection {
        DWORD cookie;
        CComPtr<IUnknown> sink;  // the event interface or IDispatch
    };
    IID m_iid;
    IConnectionPointContainer* m_pContainer;
    std::vector<Connection> m_connections;
    DWORD m_nextCookie = 1;
};

// An enumerator over a snapshot of connections (each entry holds a reference
// until it is handed out by Next).
IEnumConnections* CreateConnectionEnumerator(std::vector<CONNECTDATA> snapshot);
// An enumerator over a fixed list of connection points.
IEnumConnectionPoints* CreateConnectionPointEnumerator(std::vector<CComPtr<IConnectionPoint>> points);

}  // namespace win
