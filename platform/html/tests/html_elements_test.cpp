// Element operations on a real page: each read and write by id or group
// name, their failures, and element handles.
#include "html_test_support.h"

#include <gtest/gtest.h>

namespace {

class ElementsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_window.LoadPage("elements.html"));
        m_model.SetDocument(m_window.m_pBrowser->GetDocument());
    }

    // Evaluates EXPRESSION in the page's own script (what the page sees).
    QString PageValue(const QString& expression)
    {
        const CHtmlCallResult result = m_window.m_pBrowser->GetDocument().RunPageScript(expression);
        EXPECT_TRUE(result.ok()) << result.message.toStdString();
        return result.value.toString();
    }

    CTestHostWindow m_window;
    CHTMLDocumentModel m_model;
};

TEST_F(ElementsTest, CheckBoxes)
{
    bool checked = false;
    ASSERT_TRUE(m_model.GetCheck("chk_on", checked));
    EXPECT_TRUE(checked);
    ASSERT_TRUE(m_model.GetCheck("chk_off", checked));
    EXPECT_FALSE(checked);
    ASSERT_TRUE(m_model.SetCheck("chk_off", true));
    EXPECT_EQ(PageValue("String(document.getElementById('chk_off').checked)"), "true");
    ASSERT_TRUE(m_model.GetCheck("chk_off", checked));
    EXPECT_TRUE(checked);
}

TEST_F(ElementsTest, TextInputs)
{
    QString value;
    ASSERT_TRUE(m_model.GetInputTextValue("text_in", value));
    EXPECT_EQ(value, "initial text");
    // Markup and quotes are text, not markup.
    const QString typed = QStringLiteral("<b>\"quoted\"</b> 'and' \\ ünïcödé");
    ASSERT_TRUE(m_model.SetInputTextValue("text_in", typed));
    EXPECT_EQ(PageValue("document.getElementById('text_in').value"), typed);
    ASSERT_TRUE(m_model.GetInputTextValue("area", value));
    EXPECT_EQ(value, "notes");
}

TEST_F(ElementsTest, RadioGroupsByName)
{
    QString value;
    ASSERT_TRUE(m_model.GetRadioSelection("scan_kind", value));
    EXPECT_EQ(value, "full");
    ASSERT_TRUE(m_model.SetRadioSelection("scan_kind", "quick"));
    ASSERT_TRUE(m_model.GetRadioSelection("scan_kind", value));
    EXPECT_EQ(value, "quick");
    EXPECT_EQ(PageValue("String(document.getElementById('scanner3').checked)"), "false");

    // A value the group lacks changes nothing.
    EXPECT_FALSE(m_model.SetRadioSelection("scan_kind", "sideways"));
    EXPECT_EQ(m_model.GetLastCallResult().status, HtmlCallStatus::WrongElement);
    ASSERT_TRUE(m_model.GetRadioSelection("scan_kind", value));
    EXPECT_EQ(value, "quick");

    // No button of the group checked reads as an empty value.
    PageValue("(document.getElementById('scanner1').checked = false, '')");
    ASSERT_TRUE(m_model.GetRadioSelection("scan_kind", value));
    EXPECT_EQ(value, "");
}

TEST_F(ElementsTest, SelectionLists)
{
    QString value;
    ASSERT_TRUE(m_model.GetSelectedOption("priority", value));
    EXPECT_EQ(value, "normal");
    ASSERT_TRUE(m_model.SetSelectedOption("priority", "high"));
    EXPECT_EQ(PageValue("document.getElementById('priority').selectedIndex.toString()"), "2");
    EXPECT_FALSE(m_model.SetSelectedOption("priority", "urgent"));
    ASSERT_TRUE(m_model.GetSelectedOption("priority", value));
    EXPECT_EQ(value, "high");
    ASSERT_TRUE(m_model.GetSelectedOption("empty_select", value));
    EXPECT_EQ(value, "");
}

TEST_F(ElementsTest, ClassAttributeAndContent)
{
    QString value;
    ASSERT_TRUE(m_model.GetElementClass("heading", value));
    EXPECT_EQ(value, "title temp_heading");
    ASSERT_TRUE(m_model.GetElementAttribute("heading", "perm_class", value));
    EXPECT_EQ(value, "title");
    ASSERT_TRUE(m_model.SetElementClass("heading", value));
    EXPECT_EQ(PageValue("document.getElementById('heading').className"), "title");
    // An absent attribute reads as empty.
    ASSERT_TRUE(m_model.GetElementAttribute("heading", "qv_custom_attrib", value));
    EXPECT_EQ(value, "");

    ASSERT_TRUE(m_model.GetElementInnerHTML("para", value));
    EXPECT_EQ(value, "A paragraph with <b>bold</b> text.");
    ASSERT_TRUE(m_model.SetElementInnerHTML("para", "<i id='made'>made</i>"));
    EXPECT_EQ(PageValue("document.getElementById('made').tagName"), "I");

    // Inner text is text: markup in it is shown, not parsed.
    ASSERT_TRUE(m_model.SetElementInnerText("status", "<i>not markup</i>"));
    EXPECT_EQ(PageValue("document.getElementById('status').innerHTML"), "&lt;i&gt;not markup&lt;/i&gt;");
    ASSERT_TRUE(m_model.SetElementInnerTextAndTitle("status", "C:\\very\\long\\path.exe"));
    EXPECT_EQ(PageValue("document.getElementById('status').title"), "C:\\very\\long\\path.exe");
    EXPECT_EQ(PageValue("document.getElementById('status').innerText"), "C:\\very\\long\\path.exe");
}

TEST_F(ElementsTest, FailuresLeaveOutputsAndPageAlone)
{
    bool checked = true;
    EXPECT_FALSE(m_model.GetCheck("no_such_id", checked));
    EXPECT_EQ(m_model.GetLastCallResult().status, HtmlCallStatus::NoElement);
    EXPECT_TRUE(checked);

    QString value = "unchanged";
    EXPECT_FALSE(m_model.GetInputTextValue("heading", value));  // a heading has no value
    EXPECT_EQ(m_model.GetLastCallResult().status, HtmlCallStatus::WrongElement);
    EXPECT_FALSE(m_model.GetSelectedOption("text_in", value));
    EXPECT_FALSE(m_model.GetRadioSelection("no_group", value));
    EXPECT_FALSE(m_model.SetCheck("para", true));
    EXPECT_EQ(value, "unchanged");

    // An id made of script text is just an id.
    EXPECT_FALSE(m_model.SetElementInnerText("x'); document.body.innerHTML=''; ('", "gone"));
    EXPECT_EQ(PageValue("String(!!document.getElementById('heading'))"), "true");

    // A model without a document fails every call the same way.
    CHTMLDocumentModel unbound;
    EXPECT_FALSE(unbound.GetCheck("chk_on", checked));
    EXPECT_EQ(unbound.GetLastCallResult().status, HtmlCallStatus::NoDocument);
    EXPECT_FALSE(unbound.UpdateData(false));
}

TEST_F(ElementsTest, ElementHandles)
{
    const CHTMLElement clicker = m_model.GetElementById("clicker");
    ASSERT_FALSE(clicker.IsNull());
    EXPECT_EQ(clicker.GetTagName(), "DIV");
    EXPECT_TRUE(clicker.Click());
    EXPECT_TRUE(clicker.Click());
    EXPECT_EQ(PageValue("String(clickCount)"), "2");

    // The disabled radio button of a scan type: enable it, then click it.
    const CHTMLElement custom = m_model.GetElementById("scanner4");
    ASSERT_TRUE(custom.RemoveAttribute("disabled"));
    ASSERT_TRUE(custom.Click());
    QString kind;
    ASSERT_TRUE(m_model.GetRadioSelection("scan_kind", kind));
    EXPECT_EQ(kind, "custom");

    const CHTMLElement box = m_model.GetElementById("box");
    QRect rect;
    ASSERT_TRUE(box.GetRect(rect));
    EXPECT_EQ(rect, QRect(400, 40, 120, 60));
    ASSERT_TRUE(box.SetStyle("visibility", "hidden"));
    EXPECT_EQ(PageValue("getComputedStyle(document.getElementById('box')).visibility"), "hidden");
    ASSERT_TRUE(box.SetAttribute("data-role", "changed"));
    QString role;
    ASSERT_TRUE(box.GetAttribute("data-role", role));
    EXPECT_EQ(role, "changed");

    EXPECT_TRUE(m_model.GetElementById("no_such_id").IsNull());
}

TEST_F(ElementsTest, ElementsByNameAndTagInDocumentOrder)
{
    const QList<CHTMLElement> rows = m_model.GetElementsByName("row_check");
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].GetId(), "row1");
    EXPECT_EQ(rows[1].GetId(), "row2");
    ASSERT_TRUE(rows[1].SetCheck(true));

    // The ticked-rows walk of the pages: every ticked input's key attribute.
    QStringList keys;
    for (const CHTMLElement& input : m_model.GetDocument().GetElementsByTagName("input")) {
        bool checked = false;
        QString key;
        if (input.GetCheck(checked) && checked && input.GetAttribute("qv_custom_attrib", key))
            keys.append(key);
    }
    // chk_on and the checked radio button carry no key: each adds an empty text.
    EXPECT_EQ(keys, (QStringList{"", "key-2", ""}));
    EXPECT_TRUE(m_model.GetElementsByName("nothing_named_so").isEmpty());
}

TEST_F(ElementsTest, HandlesDieWithTheirDocumentAndStayHiddenFromPageScript)
{
    const CHTMLElement heading = m_model.GetElementById("heading");
    ASSERT_FALSE(heading.IsNull());
    // The page's own script cannot see the host's element table.
    EXPECT_EQ(PageValue("typeof window.__kelmElements"), "undefined");

    // After a reload of the same page the old reference finds nothing, though
    // an element with that id exists again.
    ASSERT_TRUE(m_window.LoadPage("elements.html"));
    QString className;
    EXPECT_FALSE(heading.GetClass(className));
    EXPECT_TRUE(m_model.GetElementById("heading").GetClass(className));
}

TEST_F(ElementsTest, ModelBoundUnderAKeyRefusesAnotherDocument)
{
    const QString key = PageKeyFromUrl(TestPageUrl("elements.html"));
    m_model.SetDocument(m_window.m_pBrowser->GetDocument(), key);
    ASSERT_TRUE(m_model.SetInputTextValue("text_in", "for elements"));
    ASSERT_TRUE(m_window.LoadPage("second.html"));
    // second.html has a "text_in" too; a late write must not land there.
    EXPECT_FALSE(m_model.SetInputTextValue("text_in", "too late"));
    EXPECT_EQ(m_model.GetLastCallResult().status, HtmlCallStatus::DocumentChanged);
    EXPECT_EQ(PageValue("document.getElementById('text_in').value"), "second");
}

}  // namespace
