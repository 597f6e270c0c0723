// The UI resource module: one Qt binary resource file (kelmui.rcc) that holds
// every layout, dialog template, bitmap, region, cursor, page and the message
// table of the suite, addressed by type and name.
//
// Names are looked up without regard to case (the suite spells the same
// resource "BLANK_DIALOG" in one place and "blank_dialog" in another). A name
// may be given with or without its file extension.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

namespace kelmui {

// The folders of the module, one per kind of content.
enum class ResourceType {
    Layout,        // layouts/NAME.xml       skin layouts
    Dialog,        // dialogs/NAME.dlg       dialog templates
    Bitmap,        // bitmaps/NAME.png|bmp|jpg
    Region,        // regions/NAME.rgn       region data
    Cursor,        // cursors/NAME.cur
    Icon,          // icons/NAME.png|ico
    Page,          // pages/PATH             HTML, scripts, styles, page images
    Menu,          // menus/NAME.xml
    MessageTable,  // messages/NAME.txt
};

// The folder name of TYPE inside the module ("layouts", "pages", ...).
QString FolderName(ResourceType type);

class ResourceModule {
public:
    // Opens a module file. Returns null, with the reason in *ERROR, when the
    // file is missing or is not a resource module.
    static std::shared_ptr<const ResourceModule> Open(const QString& path, QString* error = nullptr);

    ~ResourceModule();
    ResourceModule(const ResourceModule&) = delete;
    ResourceModule& operator=(const ResourceModule&) = delete;

    // The module file this object was opened from.
    const QString& FilePath() const { return filePath_; }

    // The Qt resource path (":/...") under which the module's folders lie.
    const QString& Root() const { return root_; }

    // The Qt resource path of NAME of TYPE, or an empty text when there is
    // none. For pages NAME is a path relative to the pages folder.
    QString Find(ResourceType type, const QString& name) const;

    // The bytes of NAME of TYPE, or nothing when it does not exist.
    std::optional<QByteArray> Read(ResourceType type, const QString& name) const;

    // The names of TYPE, as stored (file names without their folder; for
    // pages the relative path).
    QStringList Names(ResourceType type) const;

    // "kelmui.rcc:layouts/NAME.xml": how warnings name a resource.
    QString DisplayName(const QString& resourcePath) const;

private:
    ResourceModule(QString filePath, QString root);
    void Index();

    QString filePath_;
    QString root_;
    // Per type: lower-case name (with and without extension) -> resource path.
    QHash<int, QHash<QString, QString>> index_;
    QHash<int, QStringList> names_;
};

// Where the programs find the module: the file named by the environment
// variable KELM_UI_MODULE when it is set, else the module of the build tree,
// else share/kelm/kelmui.rcc beside the program's folder.
QString DefaultModulePath();

// The environment variable that overrides the module path.
inline constexpr const char* kModulePathVariable = "KELM_UI_MODULE";

}  // namespace kelmui
