// Document calls of add-ons: elements from points, tags, parents,
// attributes, handlers, offsets, frames, form values and stale elements.

#include "engine_fixture.h"

#include "browser/com_ptr.h"
#include "browser/html_dom.h"

using namespace win;

namespace browser_test {
namespace {

const char kPage[] = R"html(<html><head><title>Dom</title>
<style>body { margin: 0; } #f { position: absolute; left: 100px; top: 200px; width: 300px; height: 150px;
border: 5px solid black; }</style></head><body>
<div id="d" onclick="go()"><span id="s">plain text</span></div>
<a id="a" href="/x"><b id="b">bold link</b></a>
<p id="p">handler set by script</p>
<input id="t" type="text" name="n" value="v">
<input id="r1" type="radio" name="choice" value="one">
<input id="r2" type="radio" name="choice" value="two" checked>
<iframe id="f" name="fr" src="/inner"></iframe>
<script>document.getElementById('p').onmousedown = function () { return 1; };</script>
</body></html>)html";

const char kInner[] = R"html(<html><head><style>body { margin: 0; }</style></head><body>
<div id="inside" style="width: 100px; height: 50px">inside</div></body></html>)html";

class DocumentCalls : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        m_server->Add(QStringLiteral("/dom"), kPage);
        m_server->Add(QStringLiteral("/inner"), kInner);
        m_server->Add(QStringLiteral("/next"), "<html><body>next</body></html>");
        browser = Open(QStringLiteral("/dom"));
        ASSERT_NE(browser, nullptr);
        CComPtr<IDispatch> dispatch;
        ASSERT_EQ(browser->get_Document(&dispatch), S_OK);
        document = CComQIPtr<IHTMLDocument2>(dispatch);
        ASSERT_TRUE(document);
    }

    CComPtr<IHTMLElement> ById(const char* id)
    {
        CComPtr<IHTMLElement> element;
        CComBSTR name(QString::fromLatin1(id));
        EXPECT_EQ(document->getElementById(name, &element), S_OK);
        return element;
    }
    static QString Tag(IHTMLElement* element)
    {
        CComBSTR tag;
        return element != nullptr && SUCCEEDED(element->get_tagName(&tag)) ? tag.ToQString() : QStringLiteral("<none>");
    }
    static LONG Number(IHTMLElement* element, HRESULT (IHTMLElement::*get)(LONG*))
    {
        LONG value = -1;
        EXPECT_EQ((element->*get)(&value), S_OK);
        return value;
    }

    kb::engine::CWebBrowser* browser = nullptr;
    CComPtr<IHTMLDocument2> document;
};

TEST_F(DocumentCalls, TagsParentsAndAttributes)
{
    CComBSTR title;
    ASSERT_EQ(document->get_title(&title), S_OK);
    EXPECT_EQ(title.ToQString(), QStringLiteral("Dom"));
    CComPtr<IHTMLElement> span = ById("s");
    EXPECT_EQ(Tag(span), QStringLiteral("SPAN"));
    CComPtr<IHTMLElement> parent;
    ASSERT_EQ(span->get_parentElement(&parent), S_OK);
    EXPECT_EQ(Tag(parent), QStringLiteral("DIV"));
    CComBSTR id;
    parent->get_id(&id);
    EXPECT_EQ(id.ToQString(), QStringLiteral("d"));

    CComPtr<IHTMLElement> link = ById("a");
    CComVariant href;
    CComBSTR hrefName(QStringLiteral("HREF"));
    ASSERT_EQ(link->getAttribute(hrefName, 0, &href), S_OK);
    EXPECT_EQ(VariantToQString(href), QStringLiteral("/x"));
    CComVariant missing;
    CComBSTR usemap(QStringLiteral("usemap"));
    ASSERT_EQ(link->getAttribute(usemap, 0, &missing), S_OK);
    EXPECT_EQ(missing.vt, VT_NULL);

    // Walking up from the root ends with no parent.
    CComPtr<IHTMLElement> html;
    CComPtr<IHTMLElement> body;
    document->get_body(&body);
    body->get_parentElement(&html);
    EXPECT_EQ(Tag(html), QStringLiteral("HTML"));
    CComPtr<IHTMLElement> above;
    EXPECT_EQ(html->get_parentElement(&above), S_OK);
    EXPECT_EQ(above.get(), nullptr);

    CComPtr<IHTMLElement> none;
    CComBSTR nowhere(QStringLiteral("nowhere"));
    EXPECT_EQ(document->getElementById(nowhere, &none), S_OK);
    EXPECT_EQ(none.get(), nullptr);
}

TEST_F(DocumentCalls, HandlersFromAttributesAndFromScript)
{
    struct Case {
        const char* id;
        HRESULT (IHTMLElement::*get)(VARIANT*);
        bool present;
    };
    const Case cases[] = {
        {"d", &IHTMLElement::get_onclick, true},
        {"d", &IHTMLElement::get_onmousedown, false},
        {"s", &IHTMLElement::get_onclick, false},
        {"p", &IHTMLElement::get_onmousedown, true},  // set by the page's script, not an attribute
        {"p", &IHTMLElement::get_onmouseup, false},
        {"a", &IHTMLElement::get_ondblclick, false},
    };
    for (const Case& c : cases) {
        CComPtr<IHTMLElement> element = ById(c.id);
        CComVariant handler;
        ASSERT_EQ((element->*c.get)(&handler), S_OK) << c.id;
        EXPECT_EQ(handler.vt != VT_NULL, c.present) << c.id;
    }
}

TEST_F(DocumentCalls, ElementsFromPointsDescendIntoFrames)
{
    CComPtr<IHTMLElement> frame = ById("f");
    EXPECT_EQ(Number(frame, &IHTMLElement::get_offsetLeft), 100);
    EXPECT_EQ(Number(frame, &IHTMLElement::get_offsetTop), 200);
    EXPECT_EQ(Number(frame, &IHTMLElement::get_offsetWidth), 310);
    EXPECT_EQ(Number(frame, &IHTMLElement::get_clientLeft), 5);
    EXPECT_EQ(Number(frame, &IHTMLElement::get_clientTop), 5);

    CComPtr<IHTMLElement> hit;
    ASSERT_EQ(document->elementFromPoint(120, 220, &hit), S_OK);
    EXPECT_EQ(Tag(hit), QStringLiteral("IFRAME"));
    CComQIPtr<IHTMLFrameBase2> frameBase(hit);
    ASSERT_TRUE(frameBase);
    CComPtr<IHTMLWindow2> content;
    ASSERT_EQ(frameBase->get_contentWindow(&content), S_OK);
    CComBSTR name;
    content->get_name(&name);
    EXPECT_EQ(name.ToQString(), QStringLiteral("fr"));
    CComPtr<IHTMLDocument2> inner;
    ASSERT_EQ(content->get_document(&inner), S_OK);
    // The point in the frame's own coordinates: minus its offset and border.
    CComPtr<IHTMLElement> innerHit;
    ASSERT_EQ(inner->elementFromPoint(120 - 100 - 5, 220 - 200 - 5, &innerHit), S_OK);
    CComBSTR innerId;
    innerHit->get_id(&innerId);
    EXPECT_EQ(innerId.ToQString(), QStringLiteral("inside"));
    // The inner element's document is the frame's.
    CComPtr<IDispatch> ownerDocument;
    ASSERT_EQ(innerHit->get_document(&ownerDocument), S_OK);
    CComBSTR url;
    CComQIPtr<IHTMLDocument2>(ownerDocument)->get_URL(&url);
    EXPECT_EQ(url.ToQString(), m_server->Url(QStringLiteral("/inner")));

    // Other elements are not frames; empty space has no element.
    CComQIPtr<IHTMLFrameBase2> notAFrame(ById("d").get());
    EXPECT_FALSE(notAFrame);
    CComPtr<IHTMLElement> far;
    ASSERT_EQ(document->elementFromPoint(5000, 5000, &far), S_OK);
    EXPECT_EQ(far.get(), nullptr);
}

TEST_F(DocumentCalls, FramesByNameAndPosition)
{
    CComPtr<IHTMLFramesCollection2> frames;
    ASSERT_EQ(document->get_frames(&frames), S_OK);
    LONG length = 0;
    ASSERT_EQ(frames->get_length(&length), S_OK);
    EXPECT_EQ(length, 1);
    CComVariant byName(QStringLiteral("fr"));
    CComVariant found;
    ASSERT_EQ(frames->item(&byName, &found), S_OK);
    EXPECT_EQ(found.vt, VT_DISPATCH);
    CComVariant unknownName(QStringLiteral("nope"));
    CComVariant notFound;
    ASSERT_EQ(frames->item(&unknownName, &notFound), S_OK) << "the lookup works; there is no such frame";
    EXPECT_EQ(notFound.vt, VT_EMPTY);
    CComVariant first(LONG{0});
    CComVariant byIndex;
    ASSERT_EQ(frames->item(&first, &byIndex), S_OK);
    EXPECT_EQ(byIndex.vt, VT_DISPATCH);
    CComVariant past(LONG{5});
    CComVariant none;
    ASSERT_EQ(frames->item(&past, &none), S_OK);
    EXPECT_EQ(none.vt, VT_EMPTY);

    // The top window's own name, and its missing opener.
    CComPtr<IHTMLWindow2> window;
    document->get_parentWindow(&window);
    CComBSTR name;
    ASSERT_EQ(window->get_name(&name), S_OK);
    EXPECT_TRUE(name.ToQString().isEmpty());
    CComVariant opener;
    ASSERT_EQ(window->get_opener(&opener), S_OK);
    EXPECT_EQ(opener.vt, VT_EMPTY);
}

TEST_F(DocumentCalls, FormValuesAndText)
{
    CComPtr<IHTMLElement> input = ById("t");
    CComBSTR value;
    ASSERT_EQ(input->get_value(&value), S_OK);
    EXPECT_EQ(value.ToQString(), QStringLiteral("v"));
    CComBSTR typed(QStringLiteral("typed \"quotes\" and </script>"));
    ASSERT_EQ(input->put_value(typed), S_OK);
    EXPECT_EQ(Script(browser, QStringLiteral("document.getElementById('t').value")), typed.ToQString());
    CComBSTR text;
    EXPECT_EQ(ById("d")->get_value(&text), E_NOTIMPL);

    CComPtr<IHTMLElementCollection> radios;
    CComBSTR choice(QStringLiteral("choice"));
    ASSERT_EQ(document->getElementsByName(choice, &radios), S_OK);
    LONG count = 0;
    radios->get_length(&count);
    ASSERT_EQ(count, 2);
    QString selected;
    for (LONG i = 0; i < count; ++i) {
        CComPtr<IHTMLElement> radio;
        radios->item(i, &radio);
        VARIANT_BOOL checked = VARIANT_FALSE;
        radio->get_checked(&checked);
        if (checked) {
            CComBSTR v;
            radio->get_value(&v);
            selected = v.ToQString();
        }
    }
    EXPECT_EQ(selected, QStringLiteral("two"));
    CComPtr<IHTMLElement> outside;
    EXPECT_EQ(radios->item(2, &outside), E_INVALIDARG);

    CComPtr<IHTMLElement> span = ById("s");
    CComBSTR replaced(QStringLiteral("<b>not markup</b>"));
    ASSERT_EQ(span->put_innerText(replaced), S_OK);
    CComBSTR back;
    span->get_innerText(&back);
    EXPECT_EQ(back.ToQString(), replaced.ToQString());
}

TEST_F(DocumentCalls, ElementsOfALeftDocumentAreStale)
{
    CComPtr<IHTMLElement> span = ById("s");
    NavigateAndWait(browser, m_server->Url(QStringLiteral("/next")));
    CComBSTR tag;
    EXPECT_EQ(span->get_tagName(&tag), E_HANDLE);
    // The document object follows the browser to its new page.
    CComBSTR url;
    ASSERT_EQ(document->get_URL(&url), S_OK);
    EXPECT_EQ(url.ToQString(), m_server->Url(QStringLiteral("/next")));
}

TEST_F(DocumentCalls, ReportEventsWaitForACallToEnd)
{
    // A document call made while a page loads: the load's events arrive
    // after the call, never inside it.
    int inside = -1;
    m_behaviour->onEvent = [&](IWebBrowser2* site, DISPID dispid, DISPPARAMS*) {
        if (dispid != DISPID_BEFORENAVIGATE2 || inside >= 0)
            return;
        int before = static_cast<int>(m_log->size());
        CComPtr<IDispatch> doc;
        site->get_Document(&doc);
        CComPtr<IHTMLElement> body;
        for (int i = 0; i < 20; ++i)  // keep the page busy answering for a while
            CComQIPtr<IHTMLDocument2>(doc)->get_body(&body);
        inside = static_cast<int>(m_log->size()) - before;
    };
    NavigateAndWait(browser, m_server->Url(QStringLiteral("/next")));
    EXPECT_EQ(inside, 0);
}

}  // namespace
}  // namespace browser_test
