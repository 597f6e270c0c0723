#include "dom_objects.h"

#include "no_dispatch.h"
#include "web_browser_object.h"

#include "browser/com_ptr.h"

#include <QJsonObject>

namespace kb::engine {
namespace {

using win::BSTR;
using win::CComPtr;
using win::HRESULT;
using win::LONG;
using win::REFIID;
using win::VARIANT;

// Base of every document object: the browser and its bridge.
struct Anchor {
    explicit Anchor(CWebBrowser* b) : browser(b) {}

    std::optional<QJsonValue> Call(const QString& op, std::initializer_list<QJsonValue> args, HRESULT& hr) const
    {
        hr = win::S_OK;
        if (browser->closed() || browser->bridge() == nullptr) {
            hr = win::E_FAIL;
            return std::nullopt;
        }
        return browser->bridge()->Call(op, args, &hr);
    }

    CComPtr<CWebBrowser> browser;
};

HRESULT PutText(const std::optional<QJsonValue>& value, HRESULT hr, BSTR* out)
{
    if (out == nullptr)
        return win::E_POINTER;
    *out = nullptr;
    if (!value)
        return hr;
    if (!value->isString())
        return win::E_FAIL;
    *out = win::SysAllocQString(value->toString());
    return win::S_OK;
}

HRESULT PutElement(CWebBrowser* browser, const std::optional<QJsonValue>& value, HRESULT hr,
                   win::IHTMLElement** out)
{
    if (out == nullptr)
        return win::E_POINTER;
    *out = nullptr;
    if (!value)
        return hr;
    if (value->isDouble() && value->toDouble() == 0)
        return win::S_OK;  // no such element
    std::optional<ElementRef> ref = CDomBridge::RefFromJson(*value);
    if (!ref)
        return win::E_FAIL;
    *out = NewHtmlElement(browser, *ref);
    return win::S_OK;
}

class CHtmlElementCollection final : public CNoDispatch<win::IHTMLElementCollection> {
public:
    CHtmlElementCollection(CWebBrowser* browser, std::vector<ElementRef> refs)
        : m_anchor(browser), m_refs(std::move(refs))
    {
    }

    HRESULT get_length(LONG* length) override
    {
        if (length == nullptr)
            return win::E_POINTER;
        *length = static_cast<LONG>(m_refs.size());
        return win::S_OK;
    }
    HRESULT item(LONG index, win::IHTMLElement** element) override
    {
        if (element == nullptr)
            return win::E_POINTER;
        *element = nullptr;
        if (index < 0 || static_cast<std::size_t>(index) >= m_refs.size())
            return win::E_INVALIDARG;
        *element = NewHtmlElement(m_anchor.browser, m_refs[static_cast<std::size_t>(index)]);
        return win::S_OK;
    }

private:
    Anchor m_anchor;
    std::vector<ElementRef> m_refs;
};

class CHtmlFrames final : public CNoDispatch<win::IHTMLFramesCollection2> {
public:
    CHtmlFrames(CWebBrowser* browser, std::vector<int> path) : m_anchor(browser), m_path(std::move(path)) {}

    HRESULT get_length(LONG* length) override
    {
        if (length == nullptr)
            return win::E_POINTER;
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("frameCount"), {CDomBridge::PathToJson(m_path)}, hr);
        if (!value)
            return hr;
        if (!value->isDouble())
            return win::E_FAIL;
        *length = static_cast<LONG>(value->toDouble());
        return win::S_OK;
    }

    HRESULT item(VARIANT* index, VARIANT* result) override
    {
        if (index == nullptr || result == nullptr)
            return win::E_POINTER;
        win::VariantInit(result);
        const VARIANT& key = win::DerefVariant(*index);
        HRESULT hr;
        std::optional<QJsonValue> value;
        if (key.vt == win::VT_BSTR) {
            value = m_anchor.Call(QStringLiteral("frameByName"),
                                  {CDomBridge::PathToJson(m_path), win::QStringFromBstr(key.bstrVal)}, hr);
        } else {
            LONG position = win::VariantToLong(key, -1);
            if (position < 0)
                return win::E_INVALIDARG;
            value = m_anchor.Call(QStringLiteral("frameByIndex"), {CDomBridge::PathToJson(m_path), position}, hr);
        }
        if (!value)
            return hr;
        if (value->isNull())
            return win::S_OK;  // VT_EMPTY: no such frame
        std::optional<std::vector<int>> path = CDomBridge::PathFromJson(*value);
        if (!path)
            return win::E_FAIL;
        result->vt = win::VT_DISPATCH;
        result->pdispVal = NewHtmlWindow(m_anchor.browser, *path);
        return win::S_OK;
    }

private:
    Anchor m_anchor;
    std::vector<int> m_path;
};

class CHtmlDocument final : public CNoDispatch<win::IHTMLDocument2> {
public:
    CHtmlDocument(CWebBrowser* browser, std::vector<int> path) : m_anchor(browser), m_path(std::move(path)) {}

    HRESULT get_parentWindow(win::IHTMLWindow2** window) override
    {
        if (window == nullptr)
            return win::E_POINTER;
        *window = NewHtmlWindow(m_anchor.browser, m_path);
        return win::S_OK;
    }
    HRESULT get_URL(BSTR* url) override { return InfoText(QStringLiteral("url"), url); }
    HRESULT get_title(BSTR* title) override { return InfoText(QStringLiteral("title"), title); }
    HRESULT get_readyState(BSTR* state) override { return InfoText(QStringLiteral("state"), state); }
    HRESULT get_body(win::IHTMLElement** body) override
    {
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("body"), {Path()}, hr);
        return PutElement(m_anchor.browser, value, hr, body);
    }
    HRESULT get_frames(win::IHTMLFramesCollection2** frames) override
    {
        if (frames == nullptr)
            return win::E_POINTER;
        *frames = new CHtmlFrames(m_anchor.browser, m_path);
        return win::S_OK;
    }
    HRESULT elementFromPoint(LONG x, LONG y, win::IHTMLElement** element) override
    {
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("fromPoint"), {Path(), x, y}, hr);
        return PutElement(m_anchor.browser, value, hr, element);
    }
    HRESULT getElementById(BSTR id, win::IHTMLElement** element) override
    {
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("byId"), {Path(), win::QStringFromBstr(id)}, hr);
        return PutElement(m_anchor.browser, value, hr, element);
    }
    HRESULT getElementsByName(BSTR name, win::IHTMLElementCollection** elements) override
    {
        if (elements == nullptr)
            return win::E_POINTER;
        *elements = nullptr;
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("byName"), {Path(), win::QStringFromBstr(name)}, hr);
        if (!value)
            return hr;
        if (!value->isArray())
            return win::E_FAIL;
        std::vector<ElementRef> refs;
        for (const QJsonValue& item : value->toArray()) {
            std::optional<ElementRef> ref = CDomBridge::RefFromJson(item);
            if (!ref)
                return win::E_FAIL;
            refs.push_back(*ref);
        }
        *elements = new CHtmlElementCollection(m_anchor.browser, std::move(refs));
        return win::S_OK;
    }

private:
    QJsonArray Path() const { return CDomBridge::PathToJson(m_path); }
    HRESULT InfoText(const QString& field, BSTR* out)
    {
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("docInfo"), {Path()}, hr);
        if (value && !value->isObject())
            return win::E_FAIL;
        std::optional<QJsonValue> text;
        if (value)
            text = value->toObject().value(field);
        return PutText(text, hr, out);
    }

    Anchor m_anchor;
    std::vector<int> m_path;
};

class CHtmlWindow final : public CNoDispatch<win::IHTMLWindow2, win::IServiceProvider> {
public:
    CHtmlWindow(CWebBrowser* browser, std::vector<int> path) : m_anchor(browser), m_path(std::move(path)) {}

    HRESULT get_name(BSTR* name) override
    {
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("windowName"), {CDomBridge::PathToJson(m_path)}, hr);
        return PutText(value, hr, name);
    }
    HRESULT get_opener(VARIANT* opener) override
    {
        if (opener == nullptr)
            return win::E_POINTER;
        win::VariantInit(opener);
        if (!m_path.empty())
            return win::S_OK;  // frames have no opener of their own
        CWebBrowser* known = m_anchor.browser->opener();
        if (known == nullptr)
            return win::S_OK;
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("hasOpener"), {}, hr);
        if (!value)
            return hr;
        if (!value->toBool())
            return win::S_OK;  // the page cut it off
        opener->vt = win::VT_DISPATCH;
        opener->pdispVal = NewHtmlWindow(known, {});
        return win::S_OK;
    }
    HRESULT get_document(win::IHTMLDocument2** document) override
    {
        if (document == nullptr)
            return win::E_POINTER;
        *document = NewHtmlDocument(m_anchor.browser, m_path);
        return win::S_OK;
    }
    HRESULT get_frames(win::IHTMLFramesCollection2** frames) override
    {
        if (frames == nullptr)
            return win::E_POINTER;
        *frames = new CHtmlFrames(m_anchor.browser, m_path);
        return win::S_OK;
    }
    HRESULT get_parent(win::IHTMLWindow2** parent) override
    {
        if (parent == nullptr)
            return win::E_POINTER;
        std::vector<int> up = m_path;
        if (!up.empty())
            up.pop_back();
        *parent = NewHtmlWindow(m_anchor.browser, up);
        return win::S_OK;
    }
    HRESULT get_top(win::IHTMLWindow2** top) override
    {
        if (top == nullptr)
            return win::E_POINTER;
        *top = NewHtmlWindow(m_anchor.browser, {});
        return win::S_OK;
    }
    HRESULT execScript(BSTR code, BSTR, VARIANT* result) override
    {
        if (result != nullptr)
            win::VariantInit(result);
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("exec"),
                                   {CDomBridge::PathToJson(m_path), win::QStringFromBstr(code)}, hr);
        if (!value)
            return hr;
        if (result == nullptr)
            return win::S_OK;
        if (value->isNull()) {
            result->vt = win::VT_NULL;
        } else if (value->isBool()) {
            result->vt = win::VT_BOOL;
            result->boolVal = value->toBool() ? win::VARIANT_TRUE : win::VARIANT_FALSE;
        } else if (value->isDouble()) {
            double d = value->toDouble();
            if (d == static_cast<double>(static_cast<LONG>(d))) {
                result->vt = win::VT_I4;
                result->lVal = static_cast<LONG>(d);
            } else {
                result->vt = win::VT_R8;
                result->dblVal = d;
            }
        } else if (value->isString()) {
            result->vt = win::VT_BSTR;
            result->bstrVal = win::SysAllocQString(value->toString());
        }
        return win::S_OK;
    }
    HRESULT QueryService(win::REFGUID service, REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return win::E_POINTER;
        *ppv = nullptr;
        if (service == win::SID_SWebBrowserApp || service == win::IID_IWebBrowser2) {
            win::IDispatch* browser = m_anchor.browser->FrameDispatch(m_path);
            if (browser == nullptr)
                return win::E_FAIL;
            return browser->QueryInterface(riid, ppv);
        }
        if (service == win::IID_IHTMLWindow2)
            return QueryInterface(riid, ppv);
        return win::E_NOINTERFACE;
    }

private:
    Anchor m_anchor;
    std::vector<int> m_path;
};

class CHtmlElement final : public CNoDispatch<win::IHTMLElement, win::IHTMLFrameBase2> {
public:
    CHtmlElement(CWebBrowser* browser, ElementRef ref) : m_anchor(browser), m_ref(std::move(ref)) {}

    HRESULT QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == win::IID_IHTMLFrameBase2) {
            if (ppv == nullptr)
                return win::E_POINTER;
            *ppv = nullptr;
            if (!IsFrameElement())
                return win::E_NOINTERFACE;
        }
        return CNoDispatch::QueryInterface(riid, ppv);
    }

    HRESULT get_tagName(BSTR* tag) override { return Text(QStringLiteral("tag"), tag); }
    HRESULT get_id(BSTR* id) override { return Text(QStringLiteral("id"), id); }
    HRESULT get_parentElement(win::IHTMLElement** parent) override
    {
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("parent"), {Ref()}, hr);
        return PutElement(m_anchor.browser, value, hr, parent);
    }
    HRESULT getAttribute(BSTR name, LONG, VARIANT* value) override
    {
        return NullableText(QStringLiteral("attr"), {Ref(), win::QStringFromBstr(name)}, value);
    }
    HRESULT setAttribute(BSTR name, VARIANT value, LONG) override
    {
        HRESULT hr;
        auto done = m_anchor.Call(QStringLiteral("setAttr"),
                                  {Ref(), win::QStringFromBstr(name), win::VariantToQString(value, QString::number(win::VariantToLong(value)))},
                                  hr);
        return done ? win::S_OK : hr;
    }
    HRESULT get_onclick(VARIANT* h) override { return Handler(QStringLiteral("click"), h); }
    HRESULT get_ondblclick(VARIANT* h) override { return Handler(QStringLiteral("dblclick"), h); }
    HRESULT get_onkeydown(VARIANT* h) override { return Handler(QStringLiteral("keydown"), h); }
    HRESULT get_onkeyup(VARIANT* h) override { return Handler(QStringLiteral("keyup"), h); }
    HRESULT get_onkeypress(VARIANT* h) override { return Handler(QStringLiteral("keypress"), h); }
    HRESULT get_onmousedown(VARIANT* h) override { return Handler(QStringLiteral("mousedown"), h); }
    HRESULT get_onmouseup(VARIANT* h) override { return Handler(QStringLiteral("mouseup"), h); }
    HRESULT get_offsetLeft(LONG* v) override { return Layout(QStringLiteral("left"), v); }
    HRESULT get_offsetTop(LONG* v) override { return Layout(QStringLiteral("top"), v); }
    HRESULT get_offsetWidth(LONG* v) override { return Layout(QStringLiteral("width"), v); }
    HRESULT get_offsetHeight(LONG* v) override { return Layout(QStringLiteral("height"), v); }
    HRESULT get_clientLeft(LONG* v) override { return Layout(QStringLiteral("clientLeft"), v); }
    HRESULT get_clientTop(LONG* v) override { return Layout(QStringLiteral("clientTop"), v); }
    HRESULT get_scrollLeft(LONG* v) override { return Layout(QStringLiteral("scrollLeft"), v); }
    HRESULT get_scrollTop(LONG* v) override { return Layout(QStringLiteral("scrollTop"), v); }
    HRESULT get_offsetParent(win::IHTMLElement** parent) override
    {
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("layout"), {Ref()}, hr);
        if (value && !value->isObject())
            return win::E_FAIL;
        std::optional<QJsonValue> ref;
        if (value)
            ref = value->toObject().value(QStringLiteral("parent"));
        return PutElement(m_anchor.browser, ref, hr, parent);
    }
    HRESULT get_innerText(BSTR* text) override { return Text(QStringLiteral("innerText"), text); }
    HRESULT put_innerText(BSTR text) override
    {
        HRESULT hr;
        return m_anchor.Call(QStringLiteral("setInnerText"), {Ref(), win::QStringFromBstr(text)}, hr) ? win::S_OK : hr;
    }
    HRESULT get_value(BSTR* value) override { return Text(QStringLiteral("value"), value); }
    HRESULT put_value(BSTR value) override
    {
        HRESULT hr;
        return m_anchor.Call(QStringLiteral("setValue"), {Ref(), win::QStringFromBstr(value)}, hr) ? win::S_OK : hr;
    }
    HRESULT get_checked(win::VARIANT_BOOL* checked) override
    {
        if (checked == nullptr)
            return win::E_POINTER;
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("checked"), {Ref()}, hr);
        if (!value)
            return hr;
        *checked = value->toBool() ? win::VARIANT_TRUE : win::VARIANT_FALSE;
        return win::S_OK;
    }
    HRESULT get_document(win::IDispatch** document) override
    {
        if (document == nullptr)
            return win::E_POINTER;
        *document = nullptr;
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("documentPath"), {Ref()}, hr);
        if (!value)
            return hr;
        std::optional<std::vector<int>> path = CDomBridge::PathFromJson(*value);
        if (!path)
            return win::E_FAIL;
        *document = NewHtmlDocument(m_anchor.browser, *path);
        return win::S_OK;
    }
    HRESULT get_contentWindow(win::IHTMLWindow2** window) override
    {
        if (window == nullptr)
            return win::E_POINTER;
        *window = nullptr;
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("contentPath"), {Ref()}, hr);
        if (!value)
            return hr;
        if (value->isNull())
            return win::E_FAIL;  // no content (yet) or not reachable
        std::optional<std::vector<int>> path = CDomBridge::PathFromJson(*value);
        if (!path)
            return win::E_FAIL;
        *window = NewHtmlWindow(m_anchor.browser, *path);
        return win::S_OK;
    }

private:
    QJsonValue Ref() const { return CDomBridge::RefToJson(m_ref); }

    bool IsFrameElement()
    {
        if (!m_bTagKnown) {
            HRESULT hr;
            auto value = m_anchor.Call(QStringLiteral("tag"), {Ref()}, hr);
            if (!value || !value->isString())
                return false;
            m_tag = value->toString().toUpper();
            m_bTagKnown = true;
        }
        return m_tag == QLatin1String("IFRAME") || m_tag == QLatin1String("FRAME");
    }

    HRESULT Text(const QString& op, BSTR* out)
    {
        HRESULT hr;
        auto value = m_anchor.Call(op, {Ref()}, hr);
        return PutText(value, hr, out);
    }

    HRESULT NullableText(const QString& op, std::initializer_list<QJsonValue> args, VARIANT* out)
    {
        if (out == nullptr)
            return win::E_POINTER;
        win::VariantInit(out);
        HRESULT hr;
        auto value = m_anchor.Call(op, args, hr);
        if (!value)
            return hr;
        if (value->isNull()) {
            out->vt = win::VT_NULL;
            return win::S_OK;
        }
        if (!value->isString())
            return win::E_FAIL;
        out->vt = win::VT_BSTR;
        out->bstrVal = win::SysAllocQString(value->toString());
        return win::S_OK;
    }

    HRESULT Handler(const QString& event, VARIANT* out)
    {
        return NullableText(QStringLiteral("handler"), {Ref(), event}, out);
    }

    HRESULT Layout(const QString& field, LONG* out)
    {
        if (out == nullptr)
            return win::E_POINTER;
        HRESULT hr;
        auto value = m_anchor.Call(QStringLiteral("layout"), {Ref()}, hr);
        if (!value)
            return hr;
        QJsonValue number = value->toObject().value(field);
        if (!number.isDouble())
            return win::E_FAIL;
        *out = static_cast<LONG>(number.toDouble());
        return win::S_OK;
    }

    Anchor m_anchor;
    ElementRef m_ref;
    bool m_bTagKnown = false;
    QString m_tag;
};

class CPageAccessible final : public win::CComObjectImpl<win::IAccessible, win::IServiceProvider> {
public:
    explicit CPageAccessible(CWebBrowser* browser) : m_browser(browser) {}

    HRESULT QueryService(win::REFGUID service, REFIID riid, void** ppv) override
    {
        if (ppv == nullptr)
            return win::E_POINTER;
        *ppv = nullptr;
        if (service != win::IID_IHTMLWindow2 || m_browser->closed())
            return win::E_NOINTERFACE;
        CComPtr<win::IHTMLWindow2> window;
        window.Attach(NewHtmlWindow(m_browser, {}));
        return window->QueryInterface(riid, ppv);
    }

private:
    CComPtr<CWebBrowser> m_browser;
};

}  // namespace

win::IHTMLDocument2* NewHtmlDocument(CWebBrowser* browser, std::vector<int> path)
{
    return new CHtmlDocument(browser, std::move(path));
}

win::IHTMLWindow2* NewHtmlWindow(CWebBrowser* browser, std::vector<int> path)
{
    return new CHtmlWindow(browser, std::move(path));
}

win::IHTMLElement* NewHtmlElement(CWebBrowser* browser, ElementRef ref)
{
    return new CHtmlElement(browser, std::move(ref));
}

win::IAccessible* NewPageAccessible(CWebBrowser* browser)
{
    return new CPageAccessible(browser);
}

}  // namespace kb::engine
