#include "pages/scan/directory_tree_ctrl.h"

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QSet>
#include <QStorageInfo>
#include <algorithm>

namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kReadRole = Qt::UserRole + 1;
constexpr int kOptionRole = Qt::UserRole + 2;
constexpr int kStateRole = Qt::UserRole + 3;
constexpr int kPlaceholderRole = Qt::UserRole + 4;

// The options of a custom scan, in the order they are shown.
const std::pair<const char*, const char*> kOptions[] = {
    {"Scan Processes", "scan_processes"},
    {"Scan Restore Points", "scan_restore_points"},
    {"Scan Services", "scan_services"},
    {"Scan Drivers", "scan_drivers"},
    {"Scan Registry", "scan_registry"},
    {"Scan Network Components", "scan_network_components"},
    {"Scan Cookies", "scan_cookies"},
};

// File systems with a device node that still hold no user files.
const QSet<QByteArray> kVirtualFileSystems = {"squashfs", "iso9660_snap", "overlay", "tmpfs", "devtmpfs",
                                              "proc",     "sysfs",        "ramfs",   "efivarfs"};

const QFileIconProvider& Icons()
{
    static const QFileIconProvider provider;
    return provider;
}

QString WithSlash(QString path)
{
    if (!path.endsWith(QLatin1Char('/')))
        path += QLatin1Char('/');
    return path;
}

bool HasSubfolders(const QString& path)
{
    QDirIterator it(path, QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks);
    return it.hasNext();
}

// True when the block device DEVICE (/dev/sdb1) is removable: its own
// "removable" flag in sysfs, or its disk's for a partition.
bool IsRemovableDevice(const QByteArray& device)
{
    const QString name = QFileInfo(QString::fromLocal8Bit(device)).fileName();
    const QString node = QFileInfo(QStringLiteral("/sys/class/block/") + name).canonicalFilePath();
    if (node.isEmpty())
        return false;
    for (const QString& folder : {node, QFileInfo(node).path()}) {
        QFile flag(folder + QStringLiteral("/removable"));
        if (flag.open(QIODevice::ReadOnly))
            return flag.readAll().trimmed() == "1";
    }
    return false;
}

Qt::CheckState ToCheckState(int state)
{
    return state == CDirectoryTreeCtrl::kChecked         ? Qt::Checked
           : state == CDirectoryTreeCtrl::kPartlyChecked ? Qt::PartiallyChecked
                                                         : Qt::Unchecked;
}

}  // namespace

CDirectoryTreeCtrl::Contents CDirectoryTreeCtrl::DetectVolumes()
{
    Contents contents;
    QSet<QByteArray> devices;
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    // Shorter mount points first, so a device mounted twice shows once, at
    // its top.
    std::sort(volumes.begin(), volumes.end(), [](const QStorageInfo& a, const QStorageInfo& b) {
        return a.rootPath().size() < b.rootPath().size();
    });
    for (const QStorageInfo& volume : volumes) {
        if (!volume.isValid() || !volume.isReady() || !volume.device().startsWith("/dev/") ||
            kVirtualFileSystems.contains(volume.fileSystemType()) || !QFileInfo(volume.rootPath()).isDir() ||
            devices.contains(volume.device()))
            continue;
        devices.insert(volume.device());
        Volume entry{WithSlash(volume.rootPath()), {}};
        const QString name = volume.displayName();
        if (!name.isEmpty() && name != volume.rootPath())
            entry.label = QStringLiteral("%1 (%2)").arg(name, volume.rootPath());
        if (IsRemovableDevice(volume.device()))
            contents.removable.push_back(entry);
        else
            contents.hardDrives.push_back(entry);
    }
    if (contents.hardDrives.empty())
        contents.hardDrives.push_back({QStringLiteral("/"), {}});
    return contents;
}

CDirectoryTreeCtrl::CDirectoryTreeCtrl(QWidget* parent, const Contents& contents)
    : QTreeWidget(parent)
{
    setHeaderHidden(true);
    setColumnCount(1);
    setUniformRowHeights(true);
    m_bUpdating = true;
    m_pRoot = new QTreeWidgetItem(this, {QStringLiteral("My Computer")});
    m_pRoot->setIcon(0, Icons().icon(QFileIconProvider::Computer));

    auto group = [this](const QString& text, int state) {
        auto* item = new QTreeWidgetItem(m_pRoot, {text});
        item->setData(0, kReadRole, true);
        SetState(item, state);
        return item;
    };
    m_pHardDrives = group(QStringLiteral("Local Hard Drives"), kChecked);
    for (const Volume& volume : contents.hardDrives)
        AddFolderItem(m_pHardDrives, volume.label.isEmpty() ? volume.path : volume.label, volume.path, kChecked)
            ->setIcon(0, Icons().icon(QFileIconProvider::Drive));
    m_pRemovable = group(QStringLiteral("Removable Media"), kUnchecked);
    for (const Volume& volume : contents.removable)
        AddFolderItem(m_pRemovable, volume.label.isEmpty() ? volume.path : volume.label, volume.path, kUnchecked)
            ->setIcon(0, Icons().icon(QFileIconProvider::Drive));
    m_pOptions = group(QStringLiteral("Additional Options"), kChecked);
    std::vector<std::pair<QString, QString>> options;
    for (const auto& [text, key] : kOptions)
        options.emplace_back(QString::fromLatin1(text), QString::fromLatin1(key));
    if (contents.virusOption)
        options.emplace_back(QStringLiteral("Scan for Viruses"), QStringLiteral("enable_virus_scan"));
    for (const auto& [text, key] : options) {
        auto* item = new QTreeWidgetItem(m_pOptions, {text});
        item->setData(0, kOptionRole, key);
        item->setData(0, kReadRole, true);
        SetState(item, kChecked);
    }
    m_bUpdating = false;
    m_pRoot->setExpanded(true);
    m_pHardDrives->setExpanded(true);
    m_pRemovable->setExpanded(true);
    m_pOptions->setExpanded(true);

    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) { ReadChildren(item); });
    connect(this, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem* item, int) { OnItemChanged(item); });
}

QTreeWidgetItem* CDirectoryTreeCtrl::AddFolderItem(QTreeWidgetItem* parent, const QString& name, const QString& path,
                                                   int state)
{
    auto* item = new QTreeWidgetItem(parent, {name});
    item->setData(0, kPathRole, WithSlash(path));
    item->setData(0, kReadRole, false);
    item->setIcon(0, Icons().icon(QFileIconProvider::Folder));
    SetState(item, state);
    if (HasSubfolders(path)) {
        // An empty child, so the folder shows as expandable until read.
        auto* placeholder = new QTreeWidgetItem(item);
        placeholder->setData(0, kPlaceholderRole, true);
    }
    return item;
}

int CDirectoryTreeCtrl::GetStateImage(const QTreeWidgetItem* item) const
{
    return item == nullptr ? kNoState : item->data(0, kStateRole).toInt();
}

QString CDirectoryTreeCtrl::ItemPath(const QTreeWidgetItem* item)
{
    return item == nullptr ? QString() : item->data(0, kPathRole).toString();
}

bool CDirectoryTreeCtrl::IsRead(const QTreeWidgetItem* item)
{
    return item != nullptr && item->data(0, kReadRole).toBool();
}

void CDirectoryTreeCtrl::SetState(QTreeWidgetItem* item, int state)
{
    const bool updating = m_bUpdating;
    m_bUpdating = true;
    item->setData(0, kStateRole, state);
    if (state != kNoState) {
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(0, ToCheckState(state));
    }
    m_bUpdating = updating;
}

void CDirectoryTreeCtrl::OnItemChanged(QTreeWidgetItem* item)
{
    if (m_bUpdating)
        return;
    const int stored = GetStateImage(item);
    if (stored == kNoState)
        return;
    const int shown = item->checkState(0) == Qt::Checked ? kChecked
                      : item->checkState(0) == Qt::PartiallyChecked ? kPartlyChecked
                                                                    : kUnchecked;
    if (shown == stored)
        return;  // another change of the item (its text, its icon)
    // The view toggled the box the way a click on a state image does:
    // checked to unchecked, anything else to checked.
    const int state = stored == kChecked ? kUnchecked : kChecked;
    SetState(item, state);
    UpdateAncestors(item);
    SetDescendants(item, state);
    if (m_notify)
        m_notify(kToggleNotifyCode);
}

void CDirectoryTreeCtrl::ToggleItem(QTreeWidgetItem* item)
{
    if (item == nullptr || GetStateImage(item) == kNoState)
        return;
    const int state = GetStateImage(item) == kChecked ? kUnchecked : kChecked;
    SetState(item, state);
    UpdateAncestors(item);
    SetDescendants(item, state);
    if (m_notify)
        m_notify(kToggleNotifyCode);
}

void CDirectoryTreeCtrl::UpdateAncestors(QTreeWidgetItem* item)
{
    for (QTreeWidgetItem* ancestor = item->parent(); ancestor != nullptr && GetStateImage(ancestor) != kNoState;
         ancestor = ancestor->parent()) {
        int checked = 0, unchecked = 0, partly = 0;
        for (int i = 0; i < ancestor->childCount(); ++i) {
            switch (GetStateImage(ancestor->child(i))) {
            case kChecked: ++checked; break;
            case kUnchecked: ++unchecked; break;
            case kPartlyChecked: ++partly; break;
            default: break;
            }
        }
        if (checked == 0 && partly == 0) {
            if (unchecked > 0)
                SetState(ancestor, kUnchecked);
        } else if (unchecked == 0 && partly == 0) {
            SetState(ancestor, kChecked);
        } else {
            SetState(ancestor, kPartlyChecked);
        }
    }
}

void CDirectoryTreeCtrl::SetDescendants(QTreeWidgetItem* item, int state)
{
    // Children not read yet take their parent's state when they are read.
    if (!IsRead(item))
        return;
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        if (GetStateImage(child) == kNoState)
            continue;
        SetState(child, state);
        SetDescendants(child, state);
    }
}

void CDirectoryTreeCtrl::ReadChildren(QTreeWidgetItem* item)
{
    const QString path = ItemPath(item);
    if (item == nullptr || path.isEmpty() || IsRead(item))
        return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    for (int i = item->childCount() - 1; i >= 0; --i)
        if (item->child(i)->data(0, kPlaceholderRole).toBool())
            delete item->takeChild(i);
    const int state = GetStateImage(item) == kChecked ? kChecked : kUnchecked;
    const QFileInfoList folders =
        QDir(path).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden | QDir::NoSymLinks,
                                 QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& folder : folders)
        AddFolderItem(item, folder.fileName(), WithSlash(folder.absoluteFilePath()), state);
    item->setData(0, kReadRole, true);
    QApplication::restoreOverrideCursor();
}

void CDirectoryTreeCtrl::CollectLists(const QTreeWidgetItem* item, QStringList& full, QStringList& partial) const
{
    for (int i = 0; i < item->childCount(); ++i) {
        const QTreeWidgetItem* child = item->child(i);
        if (!child->data(0, kOptionRole).toString().isEmpty())
            continue;
        const QString path = ItemPath(child);
        const int state = GetStateImage(child);
        if (!path.isEmpty()) {
            if (state == kChecked) {
                full.append(path);  // taken whole: its children are not visited
                continue;
            }
            if (state == kPartlyChecked)
                partial.append(path);
        }
        CollectLists(child, full, partial);
    }
}

QString CDirectoryTreeCtrl::FullList() const
{
    QStringList full, partial;
    CollectLists(m_pRoot, full, partial);
    return full.join(QLatin1Char(','));
}

QString CDirectoryTreeCtrl::PartialList() const
{
    QStringList full, partial;
    CollectLists(m_pRoot, full, partial);
    return partial.join(QLatin1Char(','));
}

QString CDirectoryTreeCtrl::OptionText() const
{
    QStringList keys;
    for (int i = 0; i < m_pOptions->childCount(); ++i)
        if (GetStateImage(m_pOptions->child(i)) == kChecked)
            keys.append(m_pOptions->child(i)->data(0, kOptionRole).toString());
    return keys.isEmpty() ? QStringLiteral("NO OPTIONS") : keys.join(QLatin1Char(','));
}

QTreeWidgetItem* CDirectoryTreeCtrl::FindFolder(const QString& path, bool readAsNeeded)
{
    if (path.isEmpty())
        return nullptr;
    const QString target = WithSlash(path);
    QTreeWidgetItem* current = nullptr;
    for (QTreeWidgetItem* group : {m_pHardDrives, m_pRemovable}) {
        for (int i = 0; i < group->childCount(); ++i) {
            QTreeWidgetItem* drive = group->child(i);
            if (target.startsWith(ItemPath(drive)) &&
                (current == nullptr || ItemPath(drive).size() > ItemPath(current).size()))
                current = drive;
        }
    }
    while (current != nullptr && ItemPath(current) != target) {
        if (readAsNeeded)
            ReadChildren(current);
        QTreeWidgetItem* next = nullptr;
        for (int i = 0; i < current->childCount() && next == nullptr; ++i) {
            const QString childPath = ItemPath(current->child(i));
            if (!childPath.isEmpty() && target.startsWith(childPath))
                next = current->child(i);
        }
        current = next;
    }
    return current;
}

QTreeWidgetItem* CDirectoryTreeCtrl::FindOption(const QString& key) const
{
    for (int i = 0; i < m_pOptions->childCount(); ++i)
        if (m_pOptions->child(i)->data(0, kOptionRole).toString() == key)
            return m_pOptions->child(i);
    return nullptr;
}

void CDirectoryTreeCtrl::ResetFolders(QTreeWidgetItem* item)
{
    for (int i = 0; i < item->childCount(); ++i) {
        QTreeWidgetItem* child = item->child(i);
        if (GetStateImage(child) != kNoState)
            SetState(child, kUnchecked);
        ResetFolders(child);
    }
}

void CDirectoryTreeCtrl::UpdateGroup(QTreeWidgetItem* group)
{
    if (group->childCount() > 0)
        UpdateAncestors(group->child(0));
}

void CDirectoryTreeCtrl::ApplySavedFolders(const QString& fullList, const QString& partialList)
{
    // The saved lists say the whole selection: folders they do not name are
    // not selected.
    ResetFolders(m_pHardDrives);
    ResetFolders(m_pRemovable);
    SetState(m_pHardDrives, kUnchecked);
    SetState(m_pRemovable, kUnchecked);
    for (const QString& path : partialList.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (QTreeWidgetItem* item = FindFolder(path, /*readAsNeeded=*/true))
            SetState(item, kPartlyChecked);
    std::vector<QTreeWidgetItem*> checked;
    for (const QString& path : fullList.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        if (QTreeWidgetItem* item = FindFolder(path, /*readAsNeeded=*/true)) {
            SetState(item, kChecked);
            SetDescendants(item, kChecked);
            checked.push_back(item);
        }
    }
    for (QTreeWidgetItem* item : checked)
        UpdateAncestors(item);
    UpdateGroup(m_pHardDrives);
    UpdateGroup(m_pRemovable);
}

void CDirectoryTreeCtrl::ApplySavedOptions(const QString& optionText)
{
    const QStringList keys = optionText.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (int i = 0; i < m_pOptions->childCount(); ++i) {
        QTreeWidgetItem* option = m_pOptions->child(i);
        SetState(option, keys.contains(option->data(0, kOptionRole).toString()) ? kChecked : kUnchecked);
    }
    UpdateGroup(m_pOptions);
}
