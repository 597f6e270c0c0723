// The component object model core: identifiers, texts, values, objects,
// connection points and class creation.

#include "browser/com_object.h"
#include "browser/com_ptr.h"
#include "browser/connection_points.h"
#include "browser/com_runtime.h"
#include "browser/oleauto.h"
#include "browser/web_browser.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace win;

namespace {

// ---------------------------------------------------------------------------
struct GuidCase {
    const char* text;
    bool ok;
};
void PrintTo(const GuidCase& c, std::ostream* os)
{
    *os << '"' << c.text << '"';
}

class GuidParseTest : public ::testing::TestWithParam<GuidCase> {};

TEST_P(GuidParseTest, ParsesOnlyWellFormedText)
{
    GUID guid;
    EXPECT_EQ(ParseGuid(GetParam().text, guid), GetParam().ok) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(Table, GuidParseTest,
                         ::testing::Values(GuidCase{"{5B7C2E40-91AD-4F3A-8C66-2D9E14A7F0B3}", true},
                                           GuidCase{"5b7c2e40-91ad-4f3a-8c66-2d9e14a7f0b3", true},
                                           GuidCase{"{5B7C2E40-91AD-4F3A-8C66-2D9E14A7F0B3", false},
                                           GuidCase{"5B7C2E40-91AD-4F3A-8C66-2D9E14A7F0B", false},
                                           GuidCase{"5B7C2E40-91AD-4F3A-8C66-2D9E14A7F0BG", false},
                                           GuidCase{"5B7C2E4091AD-4F3A-8C66-2D9E14A7F0B3-", false},
                                           GuidCase{"", false}),
                         [](const ::testing::TestParamInfo<GuidCase>& info) {
                             return "Case" + std::to_string(info.index);
                         });

TEST(Guid, RoundTripsThroughTheRegistryForm)
{
    constexpr GUID kClass = MakeGuid("5b7c2e40-91ad-4f3a-8c66-2d9e14a7f0b3");
    EXPECT_EQ(GuidToString(kClass), "{5B7C2E40-91AD-4F3A-8C66-2D9E14A7F0B3}");
    GUID back;
    ASSERT_TRUE(ParseGuid(GuidToString(kClass), back));
    EXPECT_EQ(back, kClass);
    EXPECT_NE(back, GUID_NULL);
}

// ---------------------------------------------------------------------------
TEST(Bstr, KeepsLengthEmbeddedNulAndNullAsEmpty)
{
    const wchar_t text[] = {L'a', L'\0', L'b'};
    BSTR b = SysAllocStringLen(text, 3);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(SysStringLen(b), 3u);
    EXPECT_EQ(QStringFromBstr(b), QString::fromWCharArray(text, 3));
    SysFreeString(b);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    EXPECT_TRUE(QStringFromBstr(nullptr).isEmpty());
    EXPECT_EQ(SysAllocString(nullptr), nullptr);

    CComBSTR one(QStringLiteral("gr\u00fc\u00df \U0001F600"));
    CComBSTR copy = one;
    EXPECT_EQ(copy.ToQString(), one.ToQString());
    EXPECT_NE(static_cast<BSTR>(copy), static_cast<BSTR>(one));
    CComBSTR moved = std::move(copy);
    EXPECT_EQ(moved.ToQString(), one.ToQString());
}

// A counted object that records its lifetime.
class CCounted final : public CComObjectImpl<IDispatch> {
public:
    explicit CCounted(bool* alive) : m_alive(alive) { *m_alive = true; }
    ULONG Count() const { return RefCount(); }
    HRESULT GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
    HRESULT Invoke(DISPID dispid, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override
    {
        if (onInvoke)
            onInvoke(dispid, params);
        return S_OK;
    }
    std::function<void(DISPID, DISPPARAMS*)> onInvoke;

private:
    ~CCounted() override { *m_alive = false; }
    bool* m_alive;
};

TEST(Variant, CopiesHoldTheirOwnReferencesAndClearReleases)
{
    bool alive = false;
    auto* object = new CCounted(&alive);
    {
        CComVariant held(static_cast<IDispatch*>(object));
        EXPECT_EQ(object->Count(), 2u);
        CComVariant copy(held);
        EXPECT_EQ(object->Count(), 3u);
        VARIANT raw;
        VariantInit(&raw);
        ASSERT_EQ(VariantCopy(&raw, &copy), S_OK);
        EXPECT_EQ(object->Count(), 4u);
        VariantClear(&raw);
        EXPECT_EQ(raw.vt, VT_EMPTY);
        EXPECT_EQ(object->Count(), 3u);
    }
    EXPECT_EQ(object->Count(), 1u);
    object->Release();
    EXPECT_FALSE(alive);
}

TEST(Variant, ChangeTypeReadsThroughReferencesAndRefusesText)
{
    CComVariant number(LONG{42});
    VARIANT byRef;
    VariantInit(&byRef);
    byRef.vt = VT_BYREF | VT_VARIANT;
    byRef.pvarVal = &number;
    CComVariant text;
    ASSERT_EQ(VariantChangeType(&text, &byRef, 0, VT_BSTR), S_OK);
    EXPECT_EQ(VariantToQString(text), QStringLiteral("42"));
    CComVariant back;
    ASSERT_EQ(VariantChangeType(&back, &text, 0, VT_I4), S_OK);
    EXPECT_EQ(back.lVal, 42);
    CComVariant words(QStringLiteral("not a number"));
    EXPECT_EQ(VariantChangeType(&back, &words, 0, VT_I4), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(back.lVal, 42) << "a failed change leaves the target alone";
    EXPECT_EQ(VariantToLong(words, -1), -1);
}

// ---------------------------------------------------------------------------
// QueryInterface over an interface chain, identity and reference counts.
class CFakeBrowser final : public CComObjectImpl<IWebBrowser2, IServiceProvider> {
public:
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override { return E_NOTIMPL; }
    HRESULT GoBack() override { return E_NOTIMPL; }
    HRESULT GoForward() override { return E_NOTIMPL; }
    HRESULT Refresh() override { return E_NOTIMPL; }
    HRESULT Navigate(BSTR, VARIANT*, VARIANT*, VARIANT*, VARIANT*) override { return E_NOTIMPL; }
    HRESULT Stop() override { return E_NOTIMPL; }
    HRESULT get_Document(IDispatch**) override { return E_NOTIMPL; }
    HRESULT get_TopLevelContainer(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT get_LocationName(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_LocationURL(BSTR*) override { return E_NOTIMPL; }
    HRESULT get_Busy(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT Quit() override { return E_NOTIMPL; }
    HRESULT PutProperty(BSTR, VARIANT) override { return E_NOTIMPL; }
    HRESULT GetProperty(BSTR, VARIANT*) override { return E_NOTIMPL; }
    HRESULT get_HWND(SHANDLE_PTR*) override { return E_NOTIMPL; }
    HRESULT get_Visible(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_Visible(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT get_ReadyState(LONG*) override { return E_NOTIMPL; }
    HRESULT get_Resizable(VARIANT_BOOL*) override { return E_NOTIMPL; }
    HRESULT put_Resizable(VARIANT_BOOL) override { return E_NOTIMPL; }
    HRESULT QueryService(REFGUID, REFIID, void**) override { return E_NOTIMPL; }
    ULONG Count() const { return RefCount(); }
};

TEST(ComObject, AnswersTheWholeInterfaceChainWithOneIdentity)
{
    CComPtr<CFakeBrowser> browser;
    browser.Attach(new CFakeBrowser);
    for (const IID* iid : {&IID_IWebBrowser2, &IID_IWebBrowserApp, &IID_IWebBrowser, &IID_IDispatch, &IID_IUnknown,
                           &IID_IServiceProvider}) {
        CComPtr<IUnknown> answer;
        ASSERT_EQ(browser->QueryInterface(*iid, reinterpret_cast<void**>(&answer)), S_OK) << GuidToString(*iid);
        EXPECT_TRUE(IsSameObject(answer, static_cast<IWebBrowser2*>(browser.get())));
    }
    EXPECT_EQ(browser->Count(), 1u) << "every answer was released";
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(browser->QueryInterface(IID_IConnectionPoint, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(browser->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}

// ---------------------------------------------------------------------------
class ConnectionPointTest : public ::testing::Test {
protected:
    ConnectionPointTest() : point(CConnectionPoint::Create(DIID_DWebBrowserEvents2, nullptr)) {}
    ~ConnectionPointTest() override { point->Release(); }

    CCounted* NewSink(int id)
    {
        alive.push_back(std::make_unique<bool>(false));
        auto* sink = new CCounted(alive.back().get());
        sink->onInvoke = [this, id](DISPID, DISPPARAMS*) { calls.push_back(id); };
        return sink;
    }

    CConnectionPoint* point;
    std::vector<std::unique_ptr<bool>> alive;
    std::vector<int> calls;
};

TEST_F(ConnectionPointTest, CallsSinksInAdviseOrderAndHoldsOneReferenceEach)
{
    std::vector<CCounted*> sinks;
    std::vector<DWORD> cookies;
    for (int i = 0; i < 3; ++i) {
        sinks.push_back(NewSink(i));
        DWORD cookie = 0;
        ASSERT_EQ(point->Advise(static_cast<IDispatch*>(sinks.back()), &cookie), S_OK);
        EXPECT_NE(cookie, 0u);
        EXPECT_EQ(sinks.back()->Count(), 2u);
        cookies.push_back(cookie);
    }
    EXPECT_NE(cookies[0], cookies[1]);
    EXPECT_EQ(point->Fire(DISPID_ONQUIT, nullptr), 3);
    EXPECT_EQ(calls, (std::vector<int>{0, 1, 2}));

    ASSERT_EQ(point->Unadvise(cookies[1]), S_OK);
    EXPECT_EQ(sinks[1]->Count(), 1u);
    EXPECT_EQ(point->Unadvise(cookies[1]), CONNECT_E_NOCONNECTION);
    calls.clear();
    point->Fire(DISPID_ONQUIT, nullptr);
    EXPECT_EQ(calls, (std::vector<int>{0, 2}));

    point->Disconnect();
    for (CCounted* sink : sinks) {
        EXPECT_EQ(sink->Count(), 1u);
        sink->Release();
    }
    for (auto& flag : alive)
        EXPECT_FALSE(*flag);
}

TEST_F(ConnectionPointTest, SinksChangedDuringAnEventTakeEffectAtOnce)
{
    CCounted* first = NewSink(0);
    CCounted* second = NewSink(1);
    CCounted* late = NewSink(2);
    DWORD c1 = 0, c2 = 0, c3 = 0;
    point->Advise(static_cast<IDispatch*>(first), &c1);
    point->Advise(static_cast<IDispatch*>(second), &c2);
    first->onInvoke = [&](DISPID, DISPPARAMS*) {
        calls.push_back(0);
        point->Unadvise(c2);                            // not called any more for this event
        point->Advise(static_cast<IDispatch*>(late), &c3);  // first called at the next event
    };
    point->Fire(DISPID_ONQUIT, nullptr);
    EXPECT_EQ(calls, (std::vector<int>{0}));
    calls.clear();
    point->Fire(DISPID_ONQUIT, nullptr);
    EXPECT_EQ(calls, (std::vector<int>{0, 2}));
    point->Disconnect();
    first->Release();
    second->Release();
    late->Release();
}

TEST_F(ConnectionPointTest, EnumeratesInAdviseOrderWithReferences)
{
    std::vector<CCounted*> sinks;
    std::vector<DWORD> cookies(3);
    for (int i = 0; i < 3; ++i) {
        sinks.push_back(NewSink(i));
        point->Advise(static_cast<IDispatch*>(sinks[i]), &cookies[i]);
    }
    CComPtr<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    CONNECTDATA data[100];
    ULONG fetched = 0;
    // Fewer than asked for: S_FALSE, as the add-on's "all 100 means too many" rule expects.
    EXPECT_EQ(connections->Next(100, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 3u);
    for (ULONG i = 0; i < fetched; ++i) {
        EXPECT_EQ(data[i].dwCookie, cookies[i]);
        EXPECT_TRUE(IsSameObject(data[i].pUnk, static_cast<IDispatch*>(sinks[i])));
        EXPECT_EQ(sinks[i]->Count(), 4u) << "the point's, the enumerator's and the handed-out reference";
        data[i].pUnk->Release();
    }
    connections->Reset();
    EXPECT_EQ(connections->Next(3, data, &fetched), S_OK);
    for (ULONG i = 0; i < fetched; ++i)
        data[i].pUnk->Release();
    connections.Release();
    point->Disconnect();
    for (CCounted* sink : sinks) {
        EXPECT_EQ(sink->Count(), 1u);
        sink->Release();
    }
}

TEST_F(ConnectionPointTest, RefusesASinkWithoutIDispatch)
{
    // An object that answers nothing but IUnknown.
    class CMute final : public CComObjectImpl<IClassFactory> {
    public:
        HRESULT CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
        HRESULT LockServer(BOOL) override { return S_OK; }
    };
    CComPtr<IClassFactory> mute;
    mute.Attach(new CMute);
    DWORD cookie = 7;
    EXPECT_EQ(point->Advise(mute, &cookie), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(cookie, 0u);
    EXPECT_EQ(point->ConnectionCount(), 0u);
}

// ---------------------------------------------------------------------------
class CFactoryOf final : public CComObjectImpl<IClassFactory> {
public:
    explicit CFactoryOf(bool* alive) : m_alive(alive) {}
    HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override
    {
        if (outer != nullptr)
            return CLASS_E_NOAGGREGATION;
        CComPtr<IDispatch> object;
        object.Attach(new CCounted(m_alive));
        return object->QueryInterface(riid, ppv);
    }
    HRESULT LockServer(BOOL) override { return S_OK; }

private:
    bool* m_alive;
};

TEST(ComRuntime, RegisteredClassObjectsCreateUntilRevoked)
{
    constexpr CLSID kClass = MakeGuid("0C0FFEE0-0000-4000-8000-000000000001");
    bool alive = false;
    auto* factory = new CFactoryOf(&alive);
    DWORD cookie = 0;
    ASSERT_EQ(CoRegisterClassObject(kClass, factory, CLSCTX_LOCAL_SERVER, 0, &cookie), S_OK);
    factory->Release();
    CComPtr<IDispatch> object;
    ASSERT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_ALL, IID_IDispatch, reinterpret_cast<void**>(&object)), S_OK);
    EXPECT_TRUE(alive);
    CComPtr<IDispatch> refused;
    EXPECT_EQ(CoCreateInstance(kClass, static_cast<IDispatch*>(object), CLSCTX_ALL, IID_IDispatch,
                               reinterpret_cast<void**>(&refused)),
              CLASS_E_NOAGGREGATION);
    object.Release();
    EXPECT_FALSE(alive);
    ASSERT_EQ(CoRevokeClassObject(cookie), S_OK);
    EXPECT_EQ(CoRevokeClassObject(cookie), E_INVALIDARG);
    EXPECT_EQ(CoCreateInstance(kClass, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                               reinterpret_cast<void**>(&object)),
              REGDB_E_CLASSNOTREG);
}

}  // namespace
