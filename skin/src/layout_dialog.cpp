#include "skin/layout_dialog.h"

#include <QDesktopServices>
#include <QKeyEvent>
#include <QUrl>

namespace skin {
namespace {

QString& HelpPath()
{
    static QString path;
    return path;
}

std::function<void(const QString&)>& HelpViewer()
{
    static std::function<void(const QString&)> viewer = [](const QString& path) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(path));
    };
    return viewer;
}

}  // namespace

CLayoutDialog::CLayoutDialog(QWidget* parent) : QDialog(parent), win::CMessageTarget(this) {}

CLayoutDialog::~CLayoutDialog() = default;

bool CLayoutDialog::Create()
{
    if (created_ || creating_)
        return created_;
    creating_ = true;
    const bool built = BuildWindow();
    created_ = true;
    creating_ = false;
    if (!built)
        return false;
    return OnInitDialog();
}

int CLayoutDialog::DoModal()
{
    Create();
    return exec();
}

bool CLayoutDialog::LayoutChildren()
{
    return layoutManager_.LayoutChildren(this);
}

CLayoutMetrics* CLayoutDialog::NewChildMetrics(QWidget* child)
{
    return layoutManager_.NewChildMetrics(child);
}

void CLayoutDialog::SetHelpFilePath(const QString& path)
{
    HelpPath() = path;
}

QString CLayoutDialog::HelpFilePath()
{
    return HelpPath();
}

void CLayoutDialog::SetHelpViewer(std::function<void(const QString&)> viewer)
{
    HelpViewer() = std::move(viewer);
}

bool CLayoutDialog::OnInitDialog()
{
    InitLayout();
    LayoutChildren();
    return true;
}

bool CLayoutDialog::OnHelpInfo()
{
    const QString path = HelpPath();
    if (path.endsWith(QLatin1String(".chm"), Qt::CaseInsensitive) && HelpViewer())
        HelpViewer()(path);
    return true;
}

void CLayoutDialog::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    if (created_)
        LayoutChildren();
}

void CLayoutDialog::showEvent(QShowEvent* event)
{
    Create();
    QDialog::showEvent(event);
}

void CLayoutDialog::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        OnHelpInfo();
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

}  // namespace skin
