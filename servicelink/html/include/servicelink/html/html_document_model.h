// A page object: the program-side half of one HTML page.
//
// A host controller attaches a model under the page key of its URL. When the
// browser completes a document with that key, the controller binds the model
// to it and calls OnPageLoad, whose default fills the page from the model
// (UpdateData(false)); before the browser leaves the page it calls
// OnBeforePageUnload. Page script reaches the model's script-callable methods
// through window.external while its page is shown.
//
// Element operations address elements by id (radio groups by name) and are
// synchronous (see html_document.h). Each answers false when it fails and then
// leaves its output untouched; GetLastCallResult says why.
#pragma once

#include "servicelink/html/html_document.h"
#include "servicelink/html/html_element.h"
#include "servicelink/html/script_methods.h"

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;
class CBrowserControl;
class CHTMLDocumentModel;

// The exchange object of DoDataExchange: the direction and the model.
class CHTMLDataExchange {
public:
    CHTMLDataExchange(CHTMLDocumentModel* document, bool saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDocument(document)
    {
    }

    bool m_bSaveAndValidate;  // true: page to model; false: model to page
    CHTMLDocumentModel* m_pDocument;
};

class CHTMLDocumentModel : public CScriptCommandTarget {
public:
    CHTMLDocumentModel();
    ~CHTMLDocumentModel() override;

    // Before the browser leaves the shown page (a new navigation starts).
    virtual void OnBeforePageUnload(QWidget* pHostWnd);
    // The page's document is complete and bound to this model. The default
    // fills the page: UpdateData(false).
    virtual void OnPageLoad(QWidget* pHostWnd, CBrowserControl* pBrowser, const CHTMLDocument& document);
    // Element exchanges of the page; the default exchanges nothing.
    virtual void DoDataExchange(CHTMLDataExchange* pDX);

    // true: read the page into the model; false: fill the page from the
    // model. False when no document is bound.
    bool UpdateData(bool bSaveAndValidate = true);

    // Binds the model to DOCUMENT. With a KEY, calls fail once the browser
    // shows a document under another key.
    void SetDocument(const CHTMLDocument& document, const QString& key = {});
    const CHTMLDocument& GetDocument() const { return m_document; }
    const QString& GetPageKey() const { return m_document.Key(); }
    void SetCallTimeout(int milliseconds);

    // Calls the page script function FUNCTION with text ARGS; *pResult (when
    // given) receives its result as text. True when the function ran.
    bool CallJScript(const QString& function, QString* pResult = nullptr, const QStringList& args = {});

    bool GetCheck(const QString& id, bool& checked);
    bool SetCheck(const QString& id, bool checked);
    bool GetInputTextValue(const QString& id, QString& value);
    bool SetInputTextValue(const QString& id, const QString& value);
    // By group name: the value of the checked radio button ("" when none of
    // the group is checked); setting checks the button with that value.
    bool GetRadioSelection(const QString& group, QString& value);
    bool SetRadioSelection(const QString& group, const QString& value);
    // The value of the selected option of a selection list ("" when none);
    // setting selects the option with that value.
    bool GetSelectedOption(const QString& id, QString& value);
    bool SetSelectedOption(const QString& id, const QString& value);
    bool GetElementClass(const QString& id, QString& className);
    bool SetElementClass(const QString& id, const QString& className);
    // An absent attribute reads as an empty text.
    bool GetElementAttribute(const QString& id, const QString& name, QString& value);
    bool GetElementInnerHTML(const QString& id, QString& html);
    bool SetElementInnerHTML(const QString& id, const QString& html);
    bool SetElementInnerText(const QString& id, const QString& text);
    // Sets the inner text and the title (the tool-tip) to TEXT.
    bool SetElementInnerTextAndTitle(const QString& id, const QString& text);
    CHTMLElement GetElementById(const QString& id);
    QList<CHTMLElement> GetElementsByName(const QString& name);

    const CHtmlCallResult& GetLastCallResult() const { return m_lastResult; }

private:
    CHtmlCallResult ById(const QString& operation, const QString& id, const QJsonArray& args = {});
    CHtmlCallResult ByName(const QString& operation, const QString& name, const QJsonArray& args = {});
    bool Remember(const CHtmlCallResult& result);
    template <typename T>
    bool Read(const CHtmlCallResult& result, T& out);

    CHTMLDocument m_document;
    int m_timeoutMs = 0;
    CHtmlCallResult m_lastResult;
};

// Element exchanges for DoDataExchange: the page element takes the field's
// value when pDX->m_bSaveAndValidate is false, the field takes the
// element's otherwise. A failed read leaves the field as it was.
void DDX_HTMLCheck(CHTMLDataExchange* pDX, const QString& id, bool& value);
void DDX_HTMLText(CHTMLDataExchange* pDX, const QString& id, QString& value);
void DDX_HTMLRadio(CHTMLDataExchange* pDX, const QString& group, QString& value);
void DDX_HTMLSelect(CHTMLDataExchange* pDX, const QString& id, QString& value);
