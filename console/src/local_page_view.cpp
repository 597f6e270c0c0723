#include "local_page_view.h"

#include <QTextBrowser>
#include <QTimer>
#include <QUrl>

#include "kelmui/resource_module.h"
#include "skin/skin_dialog.h"

CLocalPageView::CLocalPageView(const QString& modulePath) : m_module(skin::OpenSharedModule(modulePath)) {}

CLocalPageView::~CLocalPageView() = default;

QWidget* CLocalPageView::CreateWidget(QWidget* parent)
{
    m_pView = new QTextBrowser(parent);
    m_pView->setFrameShape(QFrame::NoFrame);
    m_pView->setOpenLinks(false);
    // Style sheets and images the pages name relatively come from the module.
    if (m_module)
        m_pView->setSearchPaths({m_module->Root() + QStringLiteral("/pages")});
    return m_pView;
}

void CLocalPageView::Stop() { ++m_nGeneration; }

void CLocalPageView::Navigate(const std::string& url)
{
    const unsigned generation = ++m_nGeneration;
    if (m_pWindow != nullptr)
        m_pWindow->OnBeforeNavigate(url);
    const QString file = QUrl(QString::fromStdString(url)).fileName();
    std::optional<QByteArray> html;
    if (m_module)
        html = m_module->Read(kelmui::ResourceType::Page, file);
    if (m_pView != nullptr)
        m_pView->setHtml(html ? QString::fromUtf8(*html) : QStringLiteral("<p>%1</p>").arg(file.toHtmlEscaped()));
    if (m_pView == nullptr)
        return;
    QPointer<QTextBrowser> guard = m_pView;
    QTimer::singleShot(0, m_pView.data(), [this, url, generation, guard] {
        if (guard != nullptr && generation == m_nGeneration && m_pWindow != nullptr)
            m_pWindow->OnDocumentComplete(url);
    });
}
