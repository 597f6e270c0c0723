// CSkinDialog: the base of every skinned dialog. It starts from a dialog
// template, then reads an XML layout that creates skin buttons and static
// texts, moves template controls, defines fonts, colours and bitmaps, gives
// the window its shape and background, and, with RESIZINGRULES, makes it
// resizable by edge constraints.
//
// Resources come from the UI resource module (a path ending in ".rcc") or
// from a folder of files (any other path): NAME.xml layouts, NAME.dlg
// templates, NAME.bmp (or .png) bitmaps, NAME.rgn regions, NAME.cur cursors.
//
// Faults in a layout never stop the dialog: each is reported once, with
// file and line, through LayoutWarnings() and the fault handler, and the
// dialog shows what could be built.
#pragma once

#include "skin/colors.h"
#include "skin/dialog_template.h"
#include "skin/layout_dialog.h"
#include "skin/layout_xml.h"
#include "skin/min_max_info.h"
#include "skin/rich_text.h"
#include "skin/skin_font.h"

#include <QCursor>
#include <QHash>
#include <QList>
#include <QMap>
#include <QPixmap>
#include <QPointer>
#include <QRegion>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace kelmui {
class ResourceModule;
}

namespace skin {

class CSkinButton;

// Control names with their IDs, kept in the order they were added (the
// order in which missing names are reported).
class CControlIdMap {
public:
    void Set(const QString& name, int id);
    std::optional<int> Get(const QString& name) const;
    bool Contains(const QString& name) const { return Get(name).has_value(); }
    QStringList Names() const;
    void Clear() { entries_.clear(); }

private:
    QList<std::pair<QString, int>> entries_;
};

// The dialog IDs of the usual buttons.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDABORT = 3;
inline constexpr int IDRETRY = 4;
inline constexpr int IDIGNORE = 5;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;
inline constexpr int IDCLOSE = 8;

// Opens (or shares, when already open in this process) the resource module
// at PATH.
std::shared_ptr<const kelmui::ResourceModule> OpenSharedModule(const QString& path,
                                                               QString* error = nullptr);

class CSkinDialog : public CLayoutDialog {
    Q_OBJECT
public:
    // How a fault in a layout is reported beyond LayoutWarnings(): the
    // default handler logs it, and on a real display shows the message boxes
    // for a bitmap that failed to load and for controls the layout lacks.
    using FaultHandler = std::function<void(const CSkinDialog& dialog, const SkinWarning& warning)>;
    static void SetFaultHandler(FaultHandler handler);

    CSkinDialog(QWidget* parent = nullptr);
    CSkinDialog(QWidget* parent, const QString& resourcePath, const QString& templateName,
                const QString& layoutName, bool modal = true, int language = 0);
    ~CSkinDialog() override;

    bool Initialize(QWidget* parent, const QString& resourcePath, const QString& templateName,
                    const QString& layoutName, bool modal = true, int language = 0);
    bool CreateModeless(QWidget* parent = nullptr);
    // Uses MODULE for every resource (null: folder mode on the resource path).
    void SetResourceHandle(std::shared_ptr<const kelmui::ResourceModule> module);
    const std::shared_ptr<const kelmui::ResourceModule>& ResourceHandle() const { return module_; }
    bool IsResourceLibrary() const { return m_bResourceLibrary; }

    void EnableToolTips(bool enable);
    bool ToolTipsEnabled() const { return toolTipsEnabled_; }
    // The tooltip registered for CONTROL by the layout (shown only while
    // tooltips are enabled).
    QString RegisteredToolTip(const QWidget* control) const;

    const QPixmap* GetNamedBitmap(const QString& name) const;
    static bool GetConstant(const QString& text, std::int32_t& value);

    // Element handlers, one per layout element kind.
    virtual void CreateControl(const CLayoutElement& element);
    virtual void CreateButton(const CLayoutElement& element);
    // The button object for a BUTTON or CHECKBOX element, before the layout
    // sets it up (geometry, style, bitmaps, tooltip, command): a derived
    // dialog returns its own CSkinButton subclass for the elements it wants
    // (by the element's id or name attribute, or its tag). The base returns
    // a plain CSkinButton. The dialog becomes the button's parent;
    // returning null gets the plain button.
    virtual CSkinButton* CreateSkinButton(const CLayoutElement& element);
    virtual void CreateStatic(const CLayoutElement& element);
    virtual void CreateLayoutMetrics(const CLayoutElement& element);
    virtual void CreateFontMap(const CLayoutElement& element);
    virtual void CreateColorMap(const CLayoutElement& element);
    const CSkinFontLookup& GetSkinFontMap() const { return m_mapSkinFonts; }
    CSkinColorMap& GetSkinColorMap() { return m_mapSkinColors; }
    const CSkinColorMap& GetSkinColorMap() const { return m_mapSkinColors; }
    std::optional<QFont> GetSkinFont(const QString& name) const;
    const CSkinFont* GetSkinFontFields(const QString& name) const;
    COLORREF GetSkinColor(const QString& name) const;
    // Builds the skin from a layout: false without a root element, else
    // CheckSkinControls.
    virtual bool LoadSkin(const std::optional<CLayoutElement>& root);
    virtual bool CheckSkinControls();
    // Layout elements the base does not know. Return true when handled;
    // the base handles none, so each is reported as unknown.
    virtual bool ProcessElement(const CLayoutElement& element);
    virtual int GetSkinControlID(const QString& name) const;
    virtual int GetAutoControlID(const QString& name);
    virtual void GetControlRectAndBitmap(const CLayoutElement& element, CRect& rect,
                                         QPixmap& bitmap);
    virtual void GetControlIDAndName(const CLayoutElement& element, int& id, QString& name);
    virtual QString AppendExtension(const QString& name, const QString& extension) const;
    // The bitmap of NAME (cached), or a null pixmap.
    virtual QPixmap LoadBitmapResource(const QString& name);
    virtual std::optional<QCursor> LoadCursorResource(const QString& name);
    virtual QString BuildResourcePath(const QString& name) const;
    virtual bool LoadDialogBackground(const QString& name);
    virtual bool LoadRegion(QRegion& region, const QString& name);
    virtual bool LoadDialogRegion(const QString& name);
    virtual bool LoadResizableDialogRegions(const QString& topRight, const QString& topLeft,
                                            const QString& bottomRight, const QString& bottomLeft);
    virtual void ApplyRegion();
    virtual void ApplyResizableRegion();
    virtual void OnMaximize();
    // Fill m_mapSkinControlIDs and m_mapOptionalControlIDs here.
    virtual void InitSkinControlIDs() {}

    // The window region a resizable skin gets for client rectangle CLIENT.
    QRegion CreateResizableRegion(const CRect& client);

    // The frame answer for a point in client coordinates (HTBOTTOMRIGHT,
    // HTLEFT, ..., HTCAPTION with extended dragging, else HTCLIENT).
    int HitTest(QPoint clientPoint) const;

    // The control of NAME created by the layout, or null.
    QWidget* GetControl(const QString& name) const;
    // The control (layout or template) with control ID ID, or null.
    QWidget* GetDlgItem(int id) const;
    QStringList ControlNames() const { return m_mapControls.keys(); }

    // Sends WM_COMMAND (ID, BN_CLICKED) to the dialog through the message
    // layer, as a clicked control does; CONTROL is the sender.
    void SendCommand(int id, QWidget* control = nullptr);

    // Mapped messages first (MapMessage of derived dialogs); then WM_COMMAND
    // goes to OnCommand.
    bool OnMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam, win::LRESULT& result) override;

    // Every fault found while building the window, in the order found.
    const QList<SkinWarning>& LayoutWarnings() const { return warnings_; }
    // Reports a fault of ELEMENT in the current layout.
    void ReportLayoutFault(const CLayoutElement& element, const QString& message);
    void ReportFault(int line, const QString& message);
    // Why the last bitmap, cursor or region load failed (" (not found)").
    const QString& lastResourceError() const { return lastResourceError_; }
    // The file or resource name faults are reported under.
    const QString& LayoutSource() const { return layoutSource_; }

    bool IsResizable() const { return m_bResizable; }
    bool HasRegion() const { return hasRegion_; }
    bool HasBackground() const { return hasBackground_; }
    bool ExtendedDragging() const { return extendedDragging_; }
    const QRegion& DialogRegion() const { return dialogRegion_; }
    const CWindowMinMaxInfo& MinMaxInfo() const { return minMaxInfo_; }
    int GripSize() const { return gripSize_; }
    int SizingBorderWidth() const { return sizingBorderWidth_; }
    QSize DefaultSize() const { return QSize(defaultWidth_, defaultHeight_); }
    const QList<QPointer<QWidget>>& BackgroundParts() const { return m_listBackgroundParts; }
    const QString& LayoutName() const { return layoutName_; }
    const QString& TemplateName() const { return templateName_; }
    const std::optional<CDialogTemplate>& Template() const { return template_; }

    // Session end: posts a quit, ends the dialog with IDCANCEL.
    void OnEndSession(bool ending);

protected:
    // The bytes of the layout to build (the layout resource or file by
    // default), with the name faults are reported under in *SOURCE.
    virtual std::optional<QByteArray> ReadLayout(QString* source);
    bool BuildWindow() override;
    bool OnInitDialog() override;
    // A template control; derived dialogs return their own widget for IDs
    // they handle (their list or browser) and null for the rest.
    virtual QWidget* CreateTemplateControl(const CTemplateControl& control);
    // A command from a control (WM_COMMAND): IDOK and IDCANCEL end the
    // dialog through OnOK and OnCancel. Return true when handled.
    virtual bool OnCommand(int id);
    virtual void OnOK();
    virtual void OnCancel();

    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

    // Controls that must be in the layout, and further known names.
    CControlIdMap m_mapSkinControlIDs;
    CControlIdMap m_mapOptionalControlIDs;
    QMap<QString, QPointer<QWidget>> m_mapControls;
    CSkinFontLookup m_mapSkinFonts;
    QMap<QString, CSkinFont> fontFields_;
    CSkinColorMap m_mapSkinColors;
    QHash<QString, QPixmap> m_mapNamedBitmaps;
    QList<QPointer<QWidget>> m_listBackgroundParts;
    unsigned m_nNextAutoControlID = 4096;
    bool m_bResourceLibrary = false;
    bool m_bResizable = false;

private:
    void ReadRootAttributes(const CLayoutElement& root);
    void ProcessChild(const CLayoutElement& element);
    void LoadBitmapsElement(const CLayoutElement& element);
    void LoadBackgroundPartsElement(const CLayoutElement& element);
    void ReadEdgeRule(const CLayoutElement& edge, QWidget* control, class CLayoutMetrics* metrics);
    void RegisterToolTip(QWidget* control, const QString& text);
    void FinishControl(QWidget* control, const QString& name, int id);
    std::optional<QByteArray> ReadResource(int type, const QString& name, const QString& extension,
                                           QString* displayName) const;
    std::optional<COLORREF> ResolveColorAttribute(const CLayoutElement& element,
                                                  const QString& attribute);
    QString lastResourceError_;

    std::shared_ptr<const kelmui::ResourceModule> module_;
    QString resourcePath_;
    QString templateName_;
    QString layoutName_;
    QString layoutSource_;
    int language_ = 0;
    bool modal_ = true;
    std::optional<CDialogTemplate> template_;

    QPixmap background_;
    QRegion dialogRegion_;
    QRegion cornerTopRight_, cornerTopLeft_, cornerBottomRight_, cornerBottomLeft_;
    bool hasRegion_ = false;
    bool hasCornerRegions_ = false;
    bool hasBackground_ = false;
    bool extendedDragging_ = false;
    CWindowMinMaxInfo minMaxInfo_;
    int defaultWidth_ = 0;
    int defaultHeight_ = 0;
    int gripSize_ = 8;
    int sizingBorderWidth_ = 4;
    bool toolTipsEnabled_ = false;
    QHash<const QWidget*, QString> toolTips_;
    QList<SkinWarning> warnings_;

    // A drag or resize the dialog runs itself when the window system cannot.
    int dragHit_ = 0;
    QPoint dragStartGlobal_;
    QRect dragStartGeometry_;
};

}  // namespace skin
