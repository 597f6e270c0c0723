// A browser add-on for the tests: records SetSite and every browser event it
// hears, and does what the test's Behaviour says. Two classes (A and B) so a
// browser carries two add-on objects.

#include "test_addon_protocol.h"

#include "browser/com_ptr.h"
#include "browser/com_runtime.h"
#include "browser/connection_points.h"
#include "browser/oleauto.h"

using namespace win;

namespace {

std::vector<browser_test::Record> g_log;
browser_test::Behaviour g_behaviour;

QString Describe(const VARIANT& value)
{
    const VARIANT& v = DerefVariant(value);
    switch (v.vt) {
    case VT_BSTR:
        return QStringFromBstr(v.bstrVal);
    case VT_I4:
        return QString::number(v.lVal);
    case VT_BOOL:
        return v.boolVal ? QStringLiteral("true") : QStringLiteral("false");
    case VT_BYREF | VT_BOOL:
        return *v.pboolVal ? QStringLiteral("true") : QStringLiteral("false");
    case VT_DISPATCH:
        return QStringLiteral("dispatch");
    case VT_BYREF | VT_DISPATCH:
        return QStringLiteral("dispatch-ref");
    case VT_EMPTY:
        return QStringLiteral("empty");
    default:
        return QStringLiteral("vt%1").arg(v.vt);
    }
}

class CTestAddOn final : public CComObjectImpl<IObjectWithSite, IDispatch> {
public:
    explicit CTestAddOn(const CLSID& clsid) : m_clsid(clsid) {}

    HRESULT SetSite(IUnknown* site) override
    {
        browser_test::Record record;
        record.addOn = m_clsid;
        if (site == nullptr) {
            record.kind = QStringLiteral("SetSiteNull");
            record.site = m_browser.get();
            g_log.push_back(record);
            if (m_point && m_cookie != 0)
                m_point->Unadvise(m_cookie);
            m_point.Release();
            m_browser.Release();
            return S_OK;
        }
        CComQIPtr<IWebBrowser2> browser(site);
        if (!browser)
            return E_NOINTERFACE;
        m_browser = browser;
        record.kind = QStringLiteral("SetSite");
        record.site = m_browser.get();
        g_log.push_back(record);
        CComQIPtr<IConnectionPointContainer> container(site);
        if (container && SUCCEEDED(container->FindConnectionPoint(DIID_DWebBrowserEvents2, &m_point)))
            m_point->Advise(static_cast<IDispatch*>(this), &m_cookie);
        return S_OK;
    }
    HRESULT GetSite(REFIID riid, void** ppv) override
    {
        if (!m_browser) {
            *ppv = nullptr;
            return E_FAIL;
        }
        return m_browser->QueryInterface(riid, ppv);
    }
    HRESULT GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }

    HRESULT Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        browser_test::Record record;
        record.addOn = m_clsid;
        record.site = m_browser.get();
        record.kind = QStringLiteral("Event");
        record.dispid = dispid;
        for (UINT i = 0; i < params->cArgs; ++i)
            record.types.push_back(params->rgvarg[i].vt);
        for (UINT i = params->cArgs; i-- > 0;)
            record.values << Describe(params->rgvarg[i]);
        if (params->cArgs > 0 && params->rgvarg[params->cArgs - 1].vt == VT_DISPATCH)
            record.pDisp = params->rgvarg[params->cArgs - 1].pdispVal;
        g_log.push_back(record);
        if (m_clsid == browser_test::kAddOnA)
            Act(dispid, params);
        return S_OK;
    }

private:
    void Act(DISPID dispid, DISPPARAMS* params)
    {
        CComPtr<IWebBrowser2> keep = m_browser;
        switch (dispid) {
        case DISPID_BEFORENAVIGATE2:
            if (!g_behaviour.cancelNavigationContaining.isEmpty() &&
                VariantToQString(params->rgvarg[5]).contains(g_behaviour.cancelNavigationContaining))
                *params->rgvarg[0].pboolVal = VARIANT_TRUE;
            break;
        case DISPID_NEWWINDOW3:
            if (g_behaviour.cancelNewWindow3)
                *params->rgvarg[3].pboolVal = VARIANT_TRUE;
            break;
        case DISPID_NEWWINDOW2:
            if (g_behaviour.cancelNewWindow2)
                *params->rgvarg[0].pboolVal = VARIANT_TRUE;
            if (g_behaviour.supplyNewWindow) {
                IDispatch* created = nullptr;
                if (SUCCEEDED(CoCreateInstance(CLSID_InternetExplorer, nullptr, CLSCTX_LOCAL_SERVER, IID_IWebBrowser2,
                                               reinterpret_cast<void**>(&created))))
                    *params->rgvarg[1].ppdispVal = created;
            }
            break;
        case DISPID_NAVIGATEERROR:
            if (g_behaviour.cancelNavigateError)
                *params->rgvarg[0].pboolVal = VARIANT_TRUE;
            break;
        default:
            break;
        }
        if (g_behaviour.onEvent)
            g_behaviour.onEvent(keep, dispid, params);
    }

    CLSID m_clsid;
    CComPtr<IWebBrowser2> m_browser;
    CComPtr<IConnectionPoint> m_point;
    DWORD m_cookie = 0;
};

class CFactory final : public CComObjectImpl<IClassFactory> {
public:
    explicit CFactory(const CLSID& clsid) : m_clsid(clsid) {}
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        CComPtr<IUnknown> object;
        object.Attach(static_cast<IObjectWithSite*>(new CTestAddOn(m_clsid)));
        return object->QueryInterface(riid, ppv);
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    CLSID m_clsid;
};

}  // namespace

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv)
{
    if (clsid != browser_test::kAddOnA && clsid != browser_test::kAddOnB)
        return CLASS_E_CLASSNOTAVAILABLE;
    CComPtr<IClassFactory> factory;
    factory.Attach(new CFactory(clsid));
    return factory->QueryInterface(riid, ppv);
}

extern "C" __attribute__((visibility("default"))) std::vector<browser_test::Record>* TestAddOn_Log()
{
    return &g_log;
}

extern "C" __attribute__((visibility("default"))) browser_test::Behaviour* TestAddOn_Behaviour()
{
    return &g_behaviour;
}
