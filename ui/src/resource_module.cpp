#include "kelmui/resource_module.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QResource>

#include <atomic>

namespace kelmui {
namespace {

constexpr ResourceType kAllTypes[] = {
    ResourceType::Layout, ResourceType::Dialog, ResourceType::Bitmap,
    ResourceType::Region, ResourceType::Cursor, ResourceType::Icon,
    ResourceType::Page,   ResourceType::Menu,   ResourceType::MessageTable,
};

// Every opened module gets a root of its own, so two modules (or the same
// file opened twice) never shadow each other.
std::atomic<int> g_nextModuleNumber{1};

QString LowerKey(const QString& name)
{
    QString key = name;
    key.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (key.startsWith(QLatin1Char('/')))
        key.remove(0, 1);
    return key.toLower();
}

}  // namespace

QString FolderName(ResourceType type)
{
    switch (type) {
    case ResourceType::Layout: return QStringLiteral("layouts");
    case ResourceType::Dialog: return QStringLiteral("dialogs");
    case ResourceType::Bitmap: return QStringLiteral("bitmaps");
    case ResourceType::Region: return QStringLiteral("regions");
    case ResourceType::Cursor: return QStringLiteral("cursors");
    case ResourceType::Icon: return QStringLiteral("icons");
    case ResourceType::Page: return QStringLiteral("pages");
    case ResourceType::Menu: return QStringLiteral("menus");
    case ResourceType::MessageTable: return QStringLiteral("messages");
    }
    return QString();
}

std::shared_ptr<const ResourceModule> ResourceModule::Open(const QString& path, QString* error)
{
    QFileInfo info(path);
    if (!info.isFile()) {
        if (error)
            *error = QStringLiteral("no resource module at %1").arg(path);
        return nullptr;
    }
    const QString absolute = info.absoluteFilePath();
    const QString root = QStringLiteral("/kelmui-%1").arg(g_nextModuleNumber.fetch_add(1));
    if (!QResource::registerResource(absolute, root)) {
        if (error)
            *error = QStringLiteral("%1 is not a resource module").arg(path);
        return nullptr;
    }
    std::shared_ptr<ResourceModule> module(new ResourceModule(absolute, QLatin1Char(':') + root));
    module->Index();
    return module;
}

ResourceModule::ResourceModule(QString filePath, QString root)
    : filePath_(std::move(filePath)), root_(std::move(root))
{
}

ResourceModule::~ResourceModule()
{
    QResource::unregisterResource(filePath_, root_.mid(1));
}

void ResourceModule::Index()
{
    for (ResourceType type : kAllTypes) {
        const QString folder = root_ + QLatin1Char('/') + FolderName(type);
        auto& byName = index_[static_cast<int>(type)];
        auto& names = names_[static_cast<int>(type)];
        QDirIterator it(folder, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString resourcePath = it.next();
            const QString relative = resourcePath.mid(folder.size() + 1);
            names.append(relative);
            byName.insert(LowerKey(relative), resourcePath);
            // Also by the name without its last extension, unless that name
            // is taken by a file that has exactly it.
            const int dot = relative.lastIndexOf(QLatin1Char('.'));
            const int slash = relative.lastIndexOf(QLatin1Char('/'));
            if (dot > slash + 1) {
                const QString bare = LowerKey(relative.left(dot));
                if (!byName.contains(bare))
                    byName.insert(bare, resourcePath);
            }
        }
        names.sort(Qt::CaseInsensitive);
    }
}

QString ResourceModule::Find(ResourceType type, const QString& name) const
{
    if (name.isEmpty())
        return QString();
    const auto table = index_.constFind(static_cast<int>(type));
    if (table == index_.constEnd())
        return QString();
    return table->value(LowerKey(name));
}

std::optional<QByteArray> ResourceModule::Read(ResourceType type, const QString& name) const
{
    const QString path = Find(type, name);
    if (path.isEmpty())
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

QStringList ResourceModule::Names(ResourceType type) const
{
    return names_.value(static_cast<int>(type));
}

QString ResourceModule::DisplayName(const QString& resourcePath) const
{
    QString relative = resourcePath;
    if (relative.startsWith(root_ + QLatin1Char('/')))
        relative = relative.mid(root_.size() + 1);
    return QFileInfo(filePath_).fileName() + QLatin1Char(':') + relative;
}

QString DefaultModulePath()
{
    const QString fromEnvironment = qEnvironmentVariable(kModulePathVariable);
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
#ifdef KELMUI_BUILD_MODULE_PATH
    const QString built = QStringLiteral(KELMUI_BUILD_MODULE_PATH);
    if (QFileInfo::exists(built))
        return built;
#endif
    const QString programFolder = QCoreApplication::instance()
                                      ? QCoreApplication::applicationDirPath()
                                      : QDir::currentPath();
    return QDir(programFolder).absoluteFilePath(QStringLiteral("../share/kelm/kelmui.rcc"));
}

}  // namespace kelmui
