// CDirectoryTreeCtrl: the folder tree of a custom scan. A tree with
// three-state check boxes (the "state images": none, unchecked, checked,
// partly checked): "My Computer" over "Local Hard Drives", "Removable Media"
// and "Additional Options". Folders are read when they are first expanded.
// A click on an item's box toggles it (checked -> unchecked, unchecked or
// partly checked -> checked), its ancestors follow their children and its
// read descendants take its state.
//
// Folder paths end with "/". On Linux the hard drives are the mount points
// of local disk file systems and the removable media those whose block
// device is removable.
#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>
#include <functional>
#include <vector>

class CDirectoryTreeCtrl : public QTreeWidget {
public:
    enum StateImage : int { kNoState = 0, kUnchecked = 1, kChecked = 2, kPartlyChecked = 3 };
    // The notification code the parent gets after a toggle.
    static constexpr int kToggleNotifyCode = 1034;

    struct Volume {
        QString path;   // the mount point
        QString label;  // shown name; empty: the path
    };
    struct Contents {
        std::vector<Volume> hardDrives;
        std::vector<Volume> removable;
        bool virusOption = false;  // "Scan for Viruses"
    };
    // The mounted volumes of this machine: local disk file systems, removable
    // ones apart; virtual file systems are left out. With no disk found, the
    // root folder stands for the hard drives.
    static Contents DetectVolumes();

    CDirectoryTreeCtrl(QWidget* parent, const Contents& contents);

    // Called after every toggle with kToggleNotifyCode.
    void SetNotify(std::function<void(int)> notify) { m_notify = std::move(notify); }

    int GetStateImage(const QTreeWidgetItem* item) const;
    // A click on ITEM's box: toggles it and updates ancestors and
    // descendants. Items without a box do not change.
    void ToggleItem(QTreeWidgetItem* item);
    // Reads ITEM's folder when it has not been read (expanding does this).
    void ReadChildren(QTreeWidgetItem* item);

    // The comma-separated lists a custom scan sends: the checked folders
    // whose parents are not checked, and the partly checked ones.
    QString FullList() const;
    QString PartialList() const;
    // The checked options' keys, comma-separated; "NO OPTIONS" for none.
    QString OptionText() const;

    // Saved selections: every folder gets the state the lists give it
    // (folders are read as needed to reach listed paths; paths that no
    // longer exist are left out) and the groups follow.
    void ApplySavedFolders(const QString& fullList, const QString& partialList);
    void ApplySavedOptions(const QString& optionText);

    // Look-ups for the page and the tests.
    QTreeWidgetItem* FindFolder(const QString& path, bool readAsNeeded = false);
    QTreeWidgetItem* FindOption(const QString& key) const;
    QTreeWidgetItem* HardDrivesItem() const { return m_pHardDrives; }
    QTreeWidgetItem* RemovableItem() const { return m_pRemovable; }
    QTreeWidgetItem* OptionsItem() const { return m_pOptions; }
    static QString ItemPath(const QTreeWidgetItem* item);
    static bool IsRead(const QTreeWidgetItem* item);

private:
    QTreeWidgetItem* AddFolderItem(QTreeWidgetItem* parent, const QString& name, const QString& path, int state);
    void SetState(QTreeWidgetItem* item, int state);
    void UpdateAncestors(QTreeWidgetItem* item);
    void SetDescendants(QTreeWidgetItem* item, int state);
    void OnItemChanged(QTreeWidgetItem* item);
    void CollectLists(const QTreeWidgetItem* item, QStringList& full, QStringList& partial) const;
    void ResetFolders(QTreeWidgetItem* item);
    void UpdateGroup(QTreeWidgetItem* group);

    QTreeWidgetItem* m_pRoot = nullptr;
    QTreeWidgetItem* m_pHardDrives = nullptr;
    QTreeWidgetItem* m_pRemovable = nullptr;
    QTreeWidgetItem* m_pOptions = nullptr;
    std::function<void(int)> m_notify;
    bool m_bUpdating = false;
};
