#include "browser_page_view.h"

#include <QUrl>
#include <memory>

#include "kelmui/resource_module.h"
#include "servicelink/html/browser_control.h"
#include "servicelink/html/res_scheme.h"

QWidget* CBrowserPageView::CreateWidget(QWidget* parent)
{
    m_pBrowser = new CBrowserControl(parent);
    return m_pBrowser;
}

void CBrowserPageView::Navigate(const std::string& url)
{
    if (m_pBrowser != nullptr)
        m_pBrowser->Navigate(QUrl(QString::fromStdString(url)));
}

void CBrowserPageView::Stop()
{
    if (m_pBrowser != nullptr)
        m_pBrowser->Stop();
}

bool RegisterUiPages(const QString& urlPath, const QString& modulePath)
{
    const std::shared_ptr<const kelmui::ResourceModule> module = kelmui::ResourceModule::Open(modulePath);
    if (!module)
        return false;
    // The source reads through the module's Qt resource folder, which stays
    // registered while any opened module of that file lives; the source
    // keeps this one alive with it.
    class ModulePages : public IResourceSource {
    public:
        explicit ModulePages(std::shared_ptr<const kelmui::ResourceModule> module)
            : m_module(std::move(module)), m_pages(m_module->Root() + QStringLiteral("/pages"))
        {
        }
        std::optional<QByteArray> ReadPage(const QString& pagePath) const override
        {
            return m_pages.ReadPage(pagePath);
        }

    private:
        std::shared_ptr<const kelmui::ResourceModule> m_module;
        CDirResourceSource m_pages;
    };
    RegisterResourceModule(urlPath, std::make_shared<ModulePages>(module));
    return true;
}
