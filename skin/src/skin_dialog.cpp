#include "skin/skin_dialog.h"

#include "kelmui/resource_module.h"
#include "skin/bitmap_paint.h"
#include "skin/control_info.h"
#include "skin/layout_values.h"
#include "skin/regions.h"
#include "skin/report_ctrl.h"
#include "skin/resizable_grip.h"
#include "skin/skin_button.h"
#include "skin/skin_constants.h"
#include "skin/skin_cursor.h"
#include "skin/skin_static.h"
#include "skin/window_style.h"

#include "win/ui/messaging.h"
#include "win/ui/window_messages.h"

#include <QComboBox>
#include <QDir>
#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QBuffer>
#include <QIntValidator>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMutex>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScreen>
#include <QWindow>

namespace skin {

Q_LOGGING_CATEGORY(lcSkin, "kelm.skin")

namespace {

// The largest bitmap a skin may use; larger ones are broken files.
constexpr int kMaxBitmapSide = 8192;

enum ResourceKind { kLayoutResource, kDialogResource, kBitmapResource, kRegionResource, kCursorResource };

kelmui::ResourceType ModuleType(int kind)
{
    switch (kind) {
    case kLayoutResource: return kelmui::ResourceType::Layout;
    case kDialogResource: return kelmui::ResourceType::Dialog;
    case kBitmapResource: return kelmui::ResourceType::Bitmap;
    case kRegionResource: return kelmui::ResourceType::Region;
    default: return kelmui::ResourceType::Cursor;
    }
}

bool ShowsMessageBoxes()
{
    const QString platform = QGuiApplication::platformName();
    return !platform.isEmpty() && platform != QLatin1String("offscreen") &&
           platform != QLatin1String("minimal");
}

CSkinDialog::FaultHandler& FaultReporter()
{
    static CSkinDialog::FaultHandler handler = [](const CSkinDialog& dialog, const SkinWarning& w) {
        qCWarning(lcSkin).noquote() << w.ToString();
        if (!w.boxTitle.isEmpty() && ShowsMessageBoxes())
            QMessageBox::warning(const_cast<CSkinDialog*>(&dialog), w.boxTitle, w.boxText);
    };
    return handler;
}

LM_ATTRIBUTE AttributeFromWord(const QString& word, bool* ok)
{
    static const char* const kWords[] = {"left", "top", "right", "bottom", "topleft",
                                         "bottomright", "width", "height", "vcenter", "hcenter"};
    for (int i = 0; i < 10; ++i) {
        if (word == QLatin1String(kWords[i])) {
            *ok = true;
            return static_cast<LM_ATTRIBUTE>(i);
        }
    }
    *ok = false;
    return LM_TOP;
}

}  // namespace

void CControlIdMap::Set(const QString& name, int id)
{
    for (auto& e : entries_) {
        if (e.first == name) {
            e.second = id;
            return;
        }
    }
    entries_.append({name, id});
}

std::optional<int> CControlIdMap::Get(const QString& name) const
{
    for (const auto& e : entries_) {
        if (e.first == name)
            return e.second;
    }
    return std::nullopt;
}

QStringList CControlIdMap::Names() const
{
    QStringList names;
    for (const auto& e : entries_)
        names.append(e.first);
    return names;
}

std::shared_ptr<const kelmui::ResourceModule> OpenSharedModule(const QString& path, QString* error)
{
    static QMutex mutex;
    static QHash<QString, std::weak_ptr<const kelmui::ResourceModule>> open;
    const QString key = QFileInfo(path).absoluteFilePath();
    QMutexLocker lock(&mutex);
    if (auto existing = open.value(key).lock())
        return existing;
    auto module = kelmui::ResourceModule::Open(path, error);
    if (module)
        open.insert(key, module);
    return module;
}

void CSkinDialog::SetFaultHandler(FaultHandler handler)
{
    FaultReporter() = handler ? std::move(handler) : [](const CSkinDialog&, const SkinWarning& w) {
        qCWarning(lcSkin).noquote() << w.ToString();
    };
}

CSkinDialog::CSkinDialog(QWidget* parent) : CLayoutDialog(parent)
{
    LayoutManager().SetResizableWindow(this);
}

CSkinDialog::CSkinDialog(QWidget* parent, const QString& resourcePath, const QString& templateName,
                         const QString& layoutName, bool modal, int language)
    : CLayoutDialog(parent)
{
    LayoutManager().SetResizableWindow(this);
    if (!templateName.isEmpty())
        Initialize(parent, resourcePath, templateName, layoutName, modal, language);
}

CSkinDialog::~CSkinDialog() = default;

bool CSkinDialog::Initialize(QWidget* parent, const QString& resourcePath,
                             const QString& templateName, const QString& layoutName, bool modal,
                             int language)
{
    Q_UNUSED(parent);
    language_ = language;
    resourcePath_ = resourcePath;
    templateName_ = templateName;
    layoutName_ = layoutName;
    modal_ = modal;
    // The path is tested for the module suffix without changing its case:
    // file names on this system are case-sensitive.
    if (!module_ && resourcePath.endsWith(QLatin1String(".rcc"), Qt::CaseInsensitive)) {
        QString error;
        module_ = OpenSharedModule(resourcePath, &error);
        m_bResourceLibrary = module_ != nullptr;
        if (!module_)
            warnings_.append({resourcePath, 0, error});
    }
    QString source;
    const auto bytes = ReadResource(kDialogResource, templateName, QStringLiteral(".dlg"), &source);
    if (!bytes) {
        warnings_.append({source.isEmpty() ? resourcePath : source, 0,
                          QStringLiteral("dialog template \"%1\" not found").arg(templateName)});
        return false;
    }
    template_ = ParseDialogTemplate(*bytes, templateName, source, &warnings_);
    return template_.has_value();
}

bool CSkinDialog::CreateModeless(QWidget* parent)
{
    if (parent && parent != parentWidget())
        setParent(parent, windowFlags());
    modal_ = false;
    setModal(false);
    return Create();
}

void CSkinDialog::SetResourceHandle(std::shared_ptr<const kelmui::ResourceModule> module)
{
    module_ = std::move(module);
    m_bResourceLibrary = module_ != nullptr;
}

std::optional<QByteArray> CSkinDialog::ReadResource(int kind, const QString& name,
                                                    const QString& extension,
                                                    QString* displayName) const
{
    if (name.isEmpty())
        return std::nullopt;
    if (m_bResourceLibrary && module_) {
        const QString path = module_->Find(ModuleType(kind), name);
        if (displayName)
            *displayName = path.isEmpty() ? module_->DisplayName(name) : module_->DisplayName(path);
        if (path.isEmpty())
            return std::nullopt;
        return module_->Read(ModuleType(kind), name);
    }
    QString file = BuildResourcePath(extension.isEmpty() ? name : AppendExtension(name, extension));
    if (kind == kBitmapResource && !QFileInfo::exists(file))
        file = BuildResourcePath(AppendExtension(name, QStringLiteral(".png")));
    if (displayName)
        *displayName = file;
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly))
        return std::nullopt;
    return f.readAll();
}

// ----- window building -------------------------------------------------

bool CSkinDialog::BuildWindow()
{
    if (!template_)
        return true;
    const CDialogTemplate& t = *template_;
    if (t.style & WS_CHILD) {
        setWindowFlags(Qt::Widget);
    } else if ((t.style & WS_CAPTION) == WS_CAPTION) {
        setWindowFlags(Qt::Dialog);
    } else {
        setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    }
    if (t.exStyle & WS_EX_TOPMOST)
        setWindowFlag(Qt::WindowStaysOnTopHint, true);
    setModal(modal_);
    SetControlStyle(this, t.style);
    SetControlExStyle(this, t.exStyle);
    resize(t.width, t.height);
    if (!t.caption.isEmpty())
        setWindowTitle(t.caption);
    if (!t.fontFamily.isEmpty() || t.fontPoints > 0) {
        QFont f = font();
        if (!t.fontFamily.isEmpty())
            f.setFamilies({t.fontFamily});
        if (t.fontPoints > 0)
            f.setPointSize(t.fontPoints);
        setFont(f);
    }
    for (const CTemplateControl& c : t.controls) {
        QWidget* w = CreateTemplateControl(c);
        if (w == nullptr)
            continue;
        SetControlId(w, c.id);
        if (ControlClass(w).isEmpty())
            SetControlClass(w, c.className);
        SetControlExStyle(w, c.exStyle);
        w->setGeometry(c.rect.ToQRect());
        ApplyWindowStyle(w, c.style);
    }
    return true;
}

QWidget* CSkinDialog::CreateTemplateControl(const CTemplateControl& c)
{
    const QString& cls = c.className;
    if (cls == QLatin1String("Static")) {
        auto* s = new CSkinStatic(this);
        s->SetStaticStyle(c.style);
        s->SetText(c.text);
        return s;
    }
    if (cls == QLatin1String("Button")) {
        auto* b = new CSkinButton(this);
        b->SetButtonStyle(c.style);
        b->setText(c.text);
        b->SetSkin({}, {}, {}, {}, {}, {}, {}, kDrawStretch, 1, 4, nullptr);
        const int id = c.id;
        connect(b, &QAbstractButton::clicked, this, [this, id, b] { SendCommand(id, b); });
        return b;
    }
    if (cls == QLatin1String("Edit")) {
        if (c.style & ES_MULTILINE) {
            auto* e = new QPlainTextEdit(this);
            e->setPlainText(c.text);
            e->setReadOnly(c.style & ES_READONLY);
            return e;
        }
        auto* e = new QLineEdit(this);
        e->setText(c.text);
        e->setReadOnly(c.style & ES_READONLY);
        if (c.style & ES_PASSWORD)
            e->setEchoMode(QLineEdit::Password);
        if (c.style & ES_NUMBER)
            e->setValidator(new QIntValidator(0, INT_MAX, e));
        if (c.style & ES_CENTER)
            e->setAlignment(Qt::AlignHCenter);
        else if (c.style & ES_RIGHT)
            e->setAlignment(Qt::AlignRight);
        return e;
    }
    if (cls == QLatin1String("ComboBox"))
        return new QComboBox(this);
    if (cls == QLatin1String("ListBox"))
        return new QListWidget(this);
    if (cls == QLatin1String("ListView"))
        return new CReportCtrl(this);
    if (cls == QLatin1String("Progress"))
        return new QProgressBar(this);
    // Browser: an empty host; the dialog that owns it puts a web view in.
    auto* host = new QWidget(this);
    host->setAttribute(Qt::WA_NoSystemBackground);
    return host;
}

bool CSkinDialog::OnInitDialog()
{
    CLayoutDialog::OnInitDialog();

    if (!layoutName_.isEmpty()) {
        const auto bytes = ReadLayout(&layoutSource_);
        std::optional<CLayoutElement> root;
        if (bytes) {
            root = ParseLayoutXml(*bytes, layoutSource_, &warnings_);
            if (!root && !warnings_.isEmpty())
                FaultReporter()(*this, warnings_.back());
        } else {
            ReportFault(0, QStringLiteral("layout \"%1\" not found").arg(layoutName_));
        }
        LoadSkin(root);
    }
    if (m_bResizable) {
        minMaxInfo_.ApplyTo(this);
        LayoutChildren();
    }
    ApplyRegion();
    return true;
}

std::optional<QByteArray> CSkinDialog::ReadLayout(QString* source)
{
    QString name = layoutName_;
    if (!m_bResourceLibrary && !name.contains(QLatin1String(".xml")))
        name += QLatin1String(".xml");
    return ReadResource(kLayoutResource, name, QString(), source);
}

// ----- faults --------------------------------------------------------

void CSkinDialog::ReportLayoutFault(const CLayoutElement& element, const QString& message)
{
    ReportFault(element.line, message);
}

void CSkinDialog::ReportFault(int line, const QString& message)
{
    warnings_.append({layoutSource_, line, message});
    FaultReporter()(*this, warnings_.back());
}

// ----- LoadSkin ------------------------------------------------------

bool CSkinDialog::LoadSkin(const std::optional<CLayoutElement>& root)
{
    InitSkinControlIDs();
    if (!root)
        return false;
    ReadRootAttributes(*root);
    for (const CLayoutElement& child : root->children)
        ProcessChild(child);

    if (root->HasAttribute(QStringLiteral("width")) || root->HasAttribute(QStringLiteral("height"))) {
        QList<SkinWarning> found;
        const int w = ReadIntAttribute(*root, QStringLiteral("width"), 0, layoutSource_, &found);
        const int h = ReadIntAttribute(*root, QStringLiteral("height"), 0, layoutSource_, &found);
        for (const SkinWarning& x : found)
            ReportFault(x.line, x.message);
        if (!root->HasAttribute(QStringLiteral("width")) || !root->HasAttribute(QStringLiteral("height")))
            ReportLayoutFault(*root, QStringLiteral("<%1>: width and height go together; the missing one counts as 0")
                                         .arg(root->tag));
        resize(w, h);
    }
    return CheckSkinControls();
}

void CSkinDialog::ReadRootAttributes(const CLayoutElement& root)
{
    QList<SkinWarning> found;
    CheckAttributes(root, {"extended_dragging", "region", "minwidth", "minheight", "gripsize",
                           "sizingborderwidth", "defaultwidth", "defaultheight", "background",
                           "text", "width", "height"},
                    layoutSource_, &found);
    for (const SkinWarning& w : found)
        ReportFault(w.line, w.message);

    const QString dragging = root.GetAttribute(QStringLiteral("extended_dragging"));
    extendedDragging_ = dragging == QLatin1String("true");
    if (!dragging.isEmpty() && dragging != QLatin1String("true") && dragging != QLatin1String("false"))
        ReportLayoutFault(root, QStringLiteral("extended_dragging=\"%1\" is neither true nor false").arg(dragging));

    const QString region = root.GetAttribute(QStringLiteral("region"));
    if (!region.isEmpty()) {
        hasRegion_ = LoadDialogRegion(region);
        if (!hasRegion_)
            ReportLayoutFault(root, QStringLiteral("region \"%1\" could not be loaded%2")
                                        .arg(region, lastResourceError()));
    }

    auto readInt = [&](const char* name, int fallback) {
        QList<SkinWarning> w;
        const int v = ReadIntAttribute(root, QString::fromLatin1(name), fallback, layoutSource_, &w);
        for (const SkinWarning& x : w)
            ReportFault(x.line, x.message);
        return v;
    };
    auto readUnsigned = [&](const char* name, int fallback) {
        const int v = readInt(name, fallback);
        if (v < 0) {
            ReportLayoutFault(root, QStringLiteral("%1 must not be negative").arg(QLatin1String(name)));
            return fallback;
        }
        return v;
    };
    minMaxInfo_.SetMinTrackingSize(QSize(readUnsigned("minwidth", 0), readUnsigned("minheight", 0)));
    gripSize_ = readUnsigned("gripsize", 8);
    sizingBorderWidth_ = readUnsigned("sizingborderwidth", 4);
    defaultWidth_ = readUnsigned("defaultwidth", 0);
    defaultHeight_ = readUnsigned("defaultheight", 0);

    const QString background = root.GetAttribute(QStringLiteral("background"));
    if (!background.isEmpty()) {
        hasBackground_ = LoadDialogBackground(background);
        if (!hasBackground_)
            ReportLayoutFault(root, QStringLiteral("background bitmap \"%1\" could not be loaded%2")
                                        .arg(background, lastResourceError()));
    }
    if (root.HasAttribute(QStringLiteral("text")))
        setWindowTitle(root.GetAttribute(QStringLiteral("text")));
}

void CSkinDialog::ProcessChild(const CLayoutElement& e)
{
    const QString& tag = e.tag;
    if (tag == QLatin1String("BUTTON") || tag == QLatin1String("CHECKBOX"))
        CreateButton(e);
    else if (tag == QLatin1String("STATIC") || tag == QLatin1String("RICHSTATIC"))
        CreateStatic(e);
    else if (tag == QLatin1String("CONTROL"))
        CreateControl(e);
    else if (tag == QLatin1String("RESIZINGRULES"))
        CreateLayoutMetrics(e);
    else if (tag == QLatin1String("FONTS"))
        CreateFontMap(e);
    else if (tag == QLatin1String("COLORS"))
        CreateColorMap(e);
    else if (tag == QLatin1String("BITMAPS"))
        LoadBitmapsElement(e);
    else if (tag == QLatin1String("BACKGROUNDPARTS"))
        LoadBackgroundPartsElement(e);
    else if (!ProcessElement(e))
        ReportLayoutFault(e, QStringLiteral("unknown element <%1>").arg(tag));
}

bool CSkinDialog::ProcessElement(const CLayoutElement&)
{
    return false;
}

void CSkinDialog::LoadBitmapsElement(const CLayoutElement& element)
{
    if (!element.attributes.isEmpty())
        ReportLayoutFault(element, QStringLiteral("<BITMAPS> takes no attributes"));
    for (const CLayoutElement& child : element.children) {
        if (LoadBitmapResource(child.tag).isNull())
            ReportLayoutFault(child, QStringLiteral("bitmap \"%1\" could not be loaded%2")
                                         .arg(child.tag, lastResourceError()));
    }
}

void CSkinDialog::LoadBackgroundPartsElement(const CLayoutElement& element)
{
    if (!element.attributes.isEmpty())
        ReportLayoutFault(element, QStringLiteral("<BACKGROUNDPARTS> takes no attributes"));
    for (const CLayoutElement& child : element.children) {
        QWidget* control = m_mapControls.value(child.tag).data();
        if (control == nullptr) {
            ReportLayoutFault(child, QStringLiteral("background part \"%1\" names no control defined before it")
                                         .arg(child.tag));
            continue;
        }
        control->setEnabled(false);
        control->hide();
        m_listBackgroundParts.append(control);
        hasBackground_ = true;
    }
}

// ----- controls ----------------------------------------------------

int CSkinDialog::GetSkinControlID(const QString& name) const
{
    if (auto id = m_mapSkinControlIDs.Get(name))
        return *id;
    if (auto id = m_mapOptionalControlIDs.Get(name))
        return *id;
    return -1;
}

int CSkinDialog::GetAutoControlID(const QString&)
{
    return static_cast<int>(m_nNextAutoControlID++);
}

void CSkinDialog::GetControlIDAndName(const CLayoutElement& element, int& id, QString& name)
{
    const QString idText = element.GetAttribute(QStringLiteral("id"));
    const QString nameText = element.GetAttribute(QStringLiteral("name"));
    if (!idText.isEmpty()) {
        name = idText;
        if (auto known = m_mapSkinControlIDs.Get(idText))
            id = *known;
        else if (auto optional = m_mapOptionalControlIDs.Get(idText))
            id = *optional;
        else
            id = idText.toInt();  // a name without an ID: 0
        return;
    }
    id = -1;
    if (!nameText.isEmpty()) {
        name = nameText;
        return;
    }
    name = element.tag + QString::number(GetAutoControlID(element.tag));
}

void CSkinDialog::GetControlRectAndBitmap(const CLayoutElement& element, CRect& rect, QPixmap& bitmap)
{
    QList<SkinWarning> w;
    const int left = ReadIntAttribute(element, QStringLiteral("left"), 0, layoutSource_, &w);
    const int top = ReadIntAttribute(element, QStringLiteral("top"), 0, layoutSource_, &w);
    bitmap = QPixmap();
    const QString name = element.GetAttribute(QStringLiteral("bitmap"));
    if (!name.isEmpty()) {
        bitmap = LoadBitmapResource(name);
        if (bitmap.isNull()) {
            SkinWarning fault{layoutSource_, element.line,
                              QStringLiteral("<%1>: bitmap \"%2\" could not be loaded%3")
                                  .arg(element.tag, name, lastResourceError())};
            fault.boxTitle = QStringLiteral("Skin dialog");
            fault.boxText = QStringLiteral("Failed to load resource bitmap ") + name;
            w.append(fault);
        }
    }
    const int width = element.HasAttribute(QStringLiteral("width"))
                          ? ReadIntAttribute(element, QStringLiteral("width"), 0, layoutSource_, &w)
                          : bitmap.width();
    const int height = element.HasAttribute(QStringLiteral("height"))
                           ? ReadIntAttribute(element, QStringLiteral("height"), 0, layoutSource_, &w)
                           : bitmap.height();
    rect = {left, top, left + width, top + height};
    for (const SkinWarning& x : w) {
        warnings_.append(x);
        FaultReporter()(*this, warnings_.back());
    }
}

void CSkinDialog::FinishControl(QWidget* control, const QString& name, int id)
{
    SetControlId(control, id);
    if (m_mapControls.contains(name) && m_mapControls.value(name))
        ReportFault(0, QStringLiteral("control \"%1\" is defined twice; the later one is used").arg(name));
    m_mapControls.insert(name, control);
}

void CSkinDialog::RegisterToolTip(QWidget* control, const QString& text)
{
    if (text.isEmpty())
        return;
    toolTips_.insert(control, text);
    if (toolTipsEnabled_)
        control->setToolTip(text);
}

void CSkinDialog::EnableToolTips(bool enable)
{
    toolTipsEnabled_ = enable;
    for (auto it = toolTips_.constBegin(); it != toolTips_.constEnd(); ++it) {
        for (const auto& c : m_mapControls) {
            if (c.data() == it.key())
                c->setToolTip(enable ? it.value() : QString());
        }
    }
}

QString CSkinDialog::RegisteredToolTip(const QWidget* control) const
{
    return toolTips_.value(control);
}

CSkinButton* CSkinDialog::CreateSkinButton(const CLayoutElement&)
{
    return new CSkinButton(this);
}

void CSkinDialog::CreateButton(const CLayoutElement& e)
{
    QList<SkinWarning> w;
    CheckAttributes(e, {"id", "name", "left", "top", "width", "height", "bitmap", "tooltip",
                        "style", "text", "draw_mode", "border", "margin", "cursor", "down_bitmap",
                        "over_bitmap", "disabled_bitmap", "down_disabled_bitmap", "focus_bitmap",
                        "mask_bitmap"},
                    layoutSource_, &w);
    for (const SkinWarning& x : w)
        ReportFault(x.line, x.message);
    w.clear();

    CRect rect;
    QPixmap normal;
    GetControlRectAndBitmap(e, rect, normal);
    CSkinButton* button = CreateSkinButton(e);
    if (button == nullptr)
        button = new CSkinButton(this);
    else if (button->parentWidget() != this)
        button->setParent(this);
    int id = -1;
    QString name;
    GetControlIDAndName(e, id, name);

    const QString styleText = e.GetAttribute(QStringLiteral("style"));
    std::uint32_t style = styleText.isEmpty()
                              ? (WS_CHILD | WS_VISIBLE)
                              : ReadStyleText(e, styleText, QStringLiteral("style"), layoutSource_, &w);
    if (e.tag == QLatin1String("CHECKBOX"))
        style |= BS_AUTOCHECKBOX;

    for (const SkinWarning& x : w)
        ReportFault(x.line, x.message);
    const bool hasBitmap = !normal.isNull();
    w.clear();
    int drawMode = ReadIntAttribute(e, QStringLiteral("draw_mode"), hasBitmap ? 0 : 1, layoutSource_, &w);
    int border = ReadIntAttribute(e, QStringLiteral("border"), hasBitmap ? 0 : 1, layoutSource_, &w);
    int margin = ReadIntAttribute(e, QStringLiteral("margin"), hasBitmap ? 0 : 4, layoutSource_, &w);
    for (const SkinWarning& x : w)
        ReportFault(x.line, x.message);
    if (drawMode < 0 || drawMode > 2) {
        ReportLayoutFault(e, QStringLiteral("draw_mode %1 is not 0, 1 or 2; 2 is used").arg(drawMode));
        drawMode = drawMode < 0 ? 0 : 2;
    }
    std::optional<QCursor> cursor;
    const QString cursorName = e.GetAttribute(QStringLiteral("cursor"));
    if (!cursorName.isEmpty()) {
        cursor = LoadCursorResource(cursorName);
        if (!cursor)
            ReportLayoutFault(e, QStringLiteral("cursor \"%1\" could not be loaded%2")
                                     .arg(cursorName, lastResourceError()));
    }

    button->setText(e.GetAttribute(QStringLiteral("text")));
    button->SetButtonStyle(style);
    button->setGeometry(rect.ToQRect());

    auto state = [&](const char* attribute) {
        const QString bitmapName = e.GetAttribute(QString::fromLatin1(attribute));
        if (bitmapName.isEmpty())
            return QPixmap();
        QPixmap p = LoadBitmapResource(bitmapName);
        if (p.isNull())
            ReportLayoutFault(e, QStringLiteral("%1 \"%2\" could not be loaded%3")
                                     .arg(QLatin1String(attribute), bitmapName, lastResourceError()));
        return p;
    };
    const QPixmap mask = state("mask_bitmap");
    const QPixmap focus = state("focus_bitmap");
    const QPixmap downDisabled = state("down_disabled_bitmap");
    const QPixmap disabled = state("disabled_bitmap");
    const QPixmap over = state("over_bitmap");
    const QPixmap down = state("down_bitmap");
    button->SetSkin(normal, down, over, disabled, downDisabled, focus, mask, drawMode, border,
                    margin, cursor ? &*cursor : nullptr);
    ApplyWindowStyle(button, style);

    RegisterToolTip(button, e.GetAttribute(QStringLiteral("tooltip")));
    FinishControl(button, name, id);
    connect(button, &QAbstractButton::clicked, this, [this, id, button] { SendCommand(id, button); });
}

void CSkinDialog::CreateStatic(const CLayoutElement& e)
{
    const bool rich = e.tag == QLatin1String("RICHSTATIC");
    QList<SkinWarning> w;
    if (rich)
        CheckAttributes(e, {"id", "name", "left", "top", "width", "height", "bitmap", "tooltip",
                            "style", "text", "exstyle", "font", "color", "bgcolor"},
                        layoutSource_, &w);
    else
        CheckAttributes(e, {"id", "name", "left", "top", "width", "height", "bitmap", "tooltip",
                            "style", "text", "exstyle", "font"},
                        layoutSource_, &w);
    for (const SkinWarning& x : w)
        ReportFault(x.line, x.message);

    CRect rect;
    QPixmap bitmap;
    GetControlRectAndBitmap(e, rect, bitmap);
    QWidget* control = nullptr;
    CSkinStatic* plain = nullptr;
    CRichStatic* richStatic = nullptr;
    if (rich)
        control = richStatic = new CRichStatic(this);
    else
        control = plain = new CSkinStatic(this);
    int id = -1;
    QString name;
    GetControlIDAndName(e, id, name);

    w.clear();
    const std::uint32_t defaultStyle = WS_CHILD | WS_VISIBLE | WS_GROUP;
    const QString styleText = e.GetAttribute(QStringLiteral("style"));
    std::uint32_t style = defaultStyle;
    if (!styleText.isEmpty()) {
        const std::uint32_t parsed = ReadStyleText(e, styleText, QStringLiteral("style"), layoutSource_, &w);
        style = styleText.startsWith(QLatin1Char('|')) ? (defaultStyle | parsed) : parsed;
    }
    if (!bitmap.isNull())
        style |= SS_BITMAP;
    const QString text = e.GetAttribute(QStringLiteral("text"));
    if (plain) {
        plain->SetStaticStyle(style);
        plain->SetText(text);
    } else {
        richStatic->SetStaticStyle(style);
        richStatic->SetText(text);
    }
    control->setGeometry(rect.ToQRect());
    ApplyWindowStyle(control, style);
    RegisterToolTip(control, e.GetAttribute(QStringLiteral("tooltip")));

    const QString exText = e.GetAttribute(QStringLiteral("exstyle"));
    if (!exText.isEmpty()) {
        const std::uint32_t parsed = ReadStyleText(e, exText, QStringLiteral("exstyle"), layoutSource_, &w);
        SetControlExStyle(control, exText.startsWith(QLatin1Char('|')) ? (ControlExStyle(control) | parsed)
                                                                       : parsed);
    }
    for (const SkinWarning& x : w)
        ReportFault(x.line, x.message);

    const QString fontName = e.GetAttribute(QStringLiteral("font"));
    if (auto found = m_mapSkinFonts.constFind(fontName); !fontName.isEmpty() && found != m_mapSkinFonts.constEnd())
        control->setFont(*found);
    else if (!fontName.isEmpty())
        ReportLayoutFault(e, QStringLiteral("font \"%1\" is not defined before this element").arg(fontName));

    if (plain && !bitmap.isNull())
        plain->SetBitmap(bitmap);
    if (richStatic) {
        richStatic->SetFontMap(&m_mapSkinFonts);
        richStatic->SetColorMap(&m_mapSkinColors);
        if (auto c = ResolveColorAttribute(e, QStringLiteral("color")))
            richStatic->SetTextColor(*c);
        if (auto c = ResolveColorAttribute(e, QStringLiteral("bgcolor")))
            richStatic->SetBGColor(*c);
    }
    if (plain && (style & SS_NOTIFY))
        connect(plain, &CSkinStatic::clicked, this, [this, id, plain] { SendCommand(id, plain); });
    FinishControl(control, name, id);
}

std::optional<COLORREF> CSkinDialog::ResolveColorAttribute(const CLayoutElement& e,
                                                           const QString& attribute)
{
    const QString text = e.GetAttribute(attribute);
    if (text.isEmpty())
        return std::nullopt;
    auto value = m_mapSkinColors.Resolve(text);
    if (!value)
        ReportLayoutFault(e, QStringLiteral("%1=\"%2\" is neither a colour name nor hexadecimal digits")
                                 .arg(attribute, text));
    return value;
}

void CSkinDialog::CreateControl(const CLayoutElement& e)
{
    QList<SkinWarning> w;
    CheckAttributes(e, {"id", "name", "left", "top", "width", "height", "bitmap"}, layoutSource_, &w);
    for (const SkinWarning& x : w)
        ReportFault(x.line, x.message);
    int id = -1;
    QString name;
    GetControlIDAndName(e, id, name);
    QWidget* control = FindControl(this, id);
    if (control == nullptr) {
        ReportLayoutFault(e, QStringLiteral("<CONTROL> \"%1\": the dialog template has no control %2")
                                 .arg(name).arg(id));
        return;
    }
    CRect rect;
    QPixmap bitmap;
    GetControlRectAndBitmap(e, rect, bitmap);
    control->setGeometry(rect.ToQRect());
    control->update();
}

void CSkinDialog::CreateLayoutMetrics(const CLayoutElement& e)
{
    m_bResizable = true;
    QList<SkinWarning> w;
    CheckAttributes(e, {"top_right_region", "top_left_region", "bottom_right_region", "bottom_left_region"},
                    layoutSource_, &w);
    for (const SkinWarning& x : w)
        ReportFault(x.line, x.message);

    const QString tr = e.GetAttribute(QStringLiteral("top_right_region"));
    const QString tl = e.GetAttribute(QStringLiteral("top_left_region"));
    const QString br = e.GetAttribute(QStringLiteral("bottom_right_region"));
    const QString bl = e.GetAttribute(QStringLiteral("bottom_left_region"));
    const int named = !tr.isEmpty() + !tl.isEmpty() + !br.isEmpty() + !bl.isEmpty();
    if (named == 4) {
        // Only four loaded corners make a shape; with one missing the
        // window keeps its shape instead of becoming a broken one.
        hasCornerRegions_ = LoadResizableDialogRegions(tr, tl, br, bl);
        if (hasCornerRegions_)
            hasRegion_ = true;
        else
            ReportLayoutFault(e, QStringLiteral("corner regions could not be loaded%1; the window keeps its shape")
                                     .arg(lastResourceError()));
    } else if (named > 0) {
        ReportLayoutFault(e, QStringLiteral("<RESIZINGRULES> names %1 of the 4 corner regions; the window keeps its shape")
                                 .arg(named));
    }

    for (const CLayoutElement& rule : e.children) {
        QWidget* control = m_mapControls.value(rule.tag).data();
        if (control == nullptr) {
            const int id = GetSkinControlID(rule.tag);
            if (id != -1)
                control = FindControl(this, id);
        }
        if (control == nullptr) {
            ReportLayoutFault(rule, QStringLiteral("rule for \"%1\", which is no control defined before it")
                                        .arg(rule.tag));
            continue;
        }
        if (!rule.attributes.isEmpty())
            ReportLayoutFault(rule, QStringLiteral("<%1>: a rule takes no attributes").arg(rule.tag));
        CLayoutMetrics* metrics = NewChildMetrics(control);
        for (const CLayoutElement& edge : rule.children)
            ReadEdgeRule(edge, control, metrics);
    }
}

void CSkinDialog::ReadEdgeRule(const CLayoutElement& edge, QWidget* control, CLayoutMetrics* metrics)
{
    Q_UNUSED(control);
    enum { kLeft, kTop, kRight, kBottom } which;
    if (edge.tag == QLatin1String("LEFT"))
        which = kLeft;
    else if (edge.tag == QLatin1String("TOP"))
        which = kTop;
    else if (edge.tag == QLatin1String("RIGHT"))
        which = kRight;
    else if (edge.tag == QLatin1String("BOTTOM"))
        which = kBottom;
    else {
        ReportLayoutFault(edge, QStringLiteral("unknown edge <%1> (LEFT, TOP, RIGHT or BOTTOM)").arg(edge.tag));
        return;
    }
    QList<SkinWarning> w;
    CheckAttributes(edge, {"distance", "sameas", "above", "below", "leftof", "rightof"}, layoutSource_, &w);
    for (const SkinWarning& x : w)
        ReportFault(x.line, x.message);

    int distance = 0;
    bool percentage = false;
    const QString distanceText = edge.GetAttribute(QStringLiteral("distance")).trimmed();
    if (!distanceText.isEmpty()) {
        bool ok = false;
        if (distanceText.endsWith(QLatin1Char('%'))) {
            const double value = distanceText.chopped(1).toDouble(&ok);
            percentage = true;
            distance = ok ? static_cast<int>(value * 100.0) : 0;
        } else {
            distance = distanceText.toInt(&ok);
        }
        if (!ok)
            ReportLayoutFault(edge, QStringLiteral("distance=\"%1\" is neither pixels nor a percentage").arg(distanceText));
    }

    LM_RELATIONSHIP relationship = LM_SAMEAS;
    QWidget* window = LM_PARENT;
    LM_ATTRIBUTE attribute = LM_TOP;
    static const char* const kRelations[] = {"sameas", "above", "below", "leftof", "rightof"};
    int found = 0;
    for (int r = 0; r < 5; ++r) {
        const QString name = QString::fromLatin1(kRelations[r]);
        if (!edge.HasAttribute(name))
            continue;
        if (++found > 1) {
            ReportLayoutFault(edge, QStringLiteral("more than one relationship; \"%1\" is ignored").arg(name));
            continue;
        }
        relationship = static_cast<LM_RELATIONSHIP>(r);
        const QString value = edge.GetAttribute(name);
        const int dot = value.lastIndexOf(QLatin1Char('.'));
        if (dot < 0) {
            ReportLayoutFault(edge, QStringLiteral("%1=\"%2\" is not window.attribute").arg(name, value));
            continue;
        }
        const QString windowName = value.left(dot);
        const QString attributeName = value.mid(dot + 1);
        if (windowName == QLatin1String("self")) {
            window = nullptr;
        } else if (windowName == QLatin1String("parent")) {
            window = LM_PARENT;
        } else if (QWidget* other = m_mapControls.value(windowName).data()) {
            window = other;
        } else {
            window = nullptr;
            ReportLayoutFault(edge, QStringLiteral("%1 names \"%2\", no control defined before it; the control itself is used")
                                        .arg(name, windowName));
        }
        bool ok = false;
        const LM_ATTRIBUTE a = AttributeFromWord(attributeName, &ok);
        if (ok)
            attribute = a;
        else
            ReportLayoutFault(edge, QStringLiteral("%1 has unknown attribute \"%2\"").arg(name, attributeName));
    }

    switch (which) {
    case kLeft: metrics->SetLeft(relationship, window, attribute, distance, percentage); break;
    case kTop: metrics->SetTop(relationship, window, attribute, distance, percentage); break;
    case kRight: metrics->SetRight(relationship, window, attribute, distance, percentage); break;
    case kBottom: metrics->SetBottom(relationship, window, attribute, distance, percentage); break;
    }
}

void CSkinDialog::CreateFontMap(const CLayoutElement& e)
{
    if (!e.attributes.isEmpty())
        ReportLayoutFault(e, QStringLiteral("<FONTS> takes no attributes"));
    for (const CLayoutElement& f : e.children) {
        QList<SkinWarning> w;
        CheckAttributes(f, {"height", "width", "escapement", "orientation", "weight", "italic",
                            "underline", "strikeout", "charset", "outputprecision", "clipprecision",
                            "quality", "pitch", "family", "typeface"},
                        layoutSource_, &w);
        LOGFONT lf;
        const int points = ReadIntAttribute(f, QStringLiteral("height"), 10, layoutSource_, &w);
        lf.lfHeight = PointsToLogicalHeight(points, logicalDpiY());
        lf.lfWidth = ReadIntAttribute(f, QStringLiteral("width"), 0, layoutSource_, &w);
        lf.lfEscapement = ReadIntAttribute(f, QStringLiteral("escapement"), 0, layoutSource_, &w);
        lf.lfOrientation = ReadIntAttribute(f, QStringLiteral("orientation"), 0, layoutSource_, &w);
        for (const SkinWarning& x : w)
            ReportFault(x.line, x.message);

        auto constant = [&](const char* name, std::int32_t fallback) {
            const QString text = f.GetAttribute(QString::fromLatin1(name));
            if (!f.HasAttribute(QString::fromLatin1(name)))
                return fallback;
            std::int32_t value = 0;
            QStringList unknown;
            skin::GetConstant(text, value, &unknown);
            for (const QString& part : unknown)
                ReportLayoutFault(f, QStringLiteral("<%1>: %2 has unknown constant \"%3\"")
                                         .arg(f.tag, QLatin1String(name), part));
            return value;
        };
        lf.lfWeight = constant("weight", 400);
        lf.lfItalic = static_cast<std::uint8_t>(constant("italic", 0));
        lf.lfUnderline = static_cast<std::uint8_t>(constant("underline", 0));
        lf.lfStrikeOut = static_cast<std::uint8_t>(constant("strikeout", 0));
        lf.lfCharSet = static_cast<std::uint8_t>(constant("charset", 0));
        lf.lfOutPrecision = static_cast<std::uint8_t>(constant("outputprecision", 0));
        lf.lfClipPrecision = static_cast<std::uint8_t>(constant("clipprecision", 0));
        lf.lfQuality = static_cast<std::uint8_t>(constant("quality", 0));
        lf.lfPitchAndFamily = static_cast<std::uint8_t>(constant("pitch", 0) | constant("family", 0));
        lf.lfFaceName = f.GetAttribute(QStringLiteral("typeface"));

        const QFont font = FontFromLogFont(lf);
        m_mapSkinFonts.insert(f.tag, font);
        fontFields_.insert(f.tag, CSkinFont{lf, font});
    }
}

void CSkinDialog::CreateColorMap(const CLayoutElement& e)
{
    if (!e.attributes.isEmpty())
        ReportLayoutFault(e, QStringLiteral("<COLORS> takes no attributes"));
    for (const CLayoutElement& c : e.children) {
        QList<SkinWarning> w;
        CheckAttributes(c, {"r", "g", "b"}, layoutSource_, &w);
        const bool byParts = c.HasAttribute(QStringLiteral("r")) || c.HasAttribute(QStringLiteral("g")) ||
                             c.HasAttribute(QStringLiteral("b"));
        if (byParts) {
            const int r = ReadIntAttribute(c, QStringLiteral("r"), 0, layoutSource_, &w);
            const int g = ReadIntAttribute(c, QStringLiteral("g"), 0, layoutSource_, &w);
            const int b = ReadIntAttribute(c, QStringLiteral("b"), 0, layoutSource_, &w);
            m_mapSkinColors.SetColor(c.tag, RGB(r, g, b));
        }
        for (const SkinWarning& x : w)
            ReportFault(x.line, x.message);
        if (byParts)
            continue;
        if (c.text.isEmpty()) {
            m_mapSkinColors.SetEmpty(c.tag);
            continue;
        }
        std::optional<COLORREF> value;
        if (c.text.startsWith(QLatin1Char('#')))
            value = ParseHexColor(c.text.mid(1));
        else
            value = m_mapSkinColors.Resolve(c.text);
        if (value) {
            m_mapSkinColors.SetColor(c.tag, *value);
        } else {
            ReportLayoutFault(c, QStringLiteral("colour \"%1\" is \"%2\", neither #hex digits nor a colour name")
                                     .arg(c.tag, c.text));
            m_mapSkinColors.SetEmpty(c.tag);
        }
    }
}

std::optional<QFont> CSkinDialog::GetSkinFont(const QString& name) const
{
    auto found = m_mapSkinFonts.constFind(name);
    if (found == m_mapSkinFonts.constEnd())
        return std::nullopt;
    return *found;
}

const CSkinFont* CSkinDialog::GetSkinFontFields(const QString& name) const
{
    auto found = fontFields_.constFind(name);
    return found == fontFields_.constEnd() ? nullptr : &*found;
}

COLORREF CSkinDialog::GetSkinColor(const QString& name) const
{
    return m_mapSkinColors.Value(name);
}

bool CSkinDialog::CheckSkinControls()
{
    QStringList missing;
    for (const QString& name : m_mapSkinControlIDs.Names()) {
        if (!m_mapControls.contains(name))
            missing.append(name);
    }
    if (missing.isEmpty())
        return true;
    SkinWarning w{layoutSource_, 0,
                  QStringLiteral("the layout does not define the controls %1").arg(missing.join(QLatin1String(", ")))};
    w.boxTitle = QStringLiteral("Skin Dialog");
    w.boxText = QStringLiteral("The following controls are not defined by skin configuration:\n\n");
    for (const QString& name : missing)
        w.boxText += name + QLatin1Char('\n');
    warnings_.append(w);
    FaultReporter()(*this, warnings_.back());
    return false;
}

bool CSkinDialog::GetConstant(const QString& text, std::int32_t& value)
{
    return skin::GetConstant(text, value);
}

// ----- resources ----------------------------------------------------

QString CSkinDialog::AppendExtension(const QString& name, const QString& extension) const
{
    return name.endsWith(extension) ? name : name + extension;
}

QString CSkinDialog::BuildResourcePath(const QString& name) const
{
    if (QFileInfo(name).isAbsolute())
        return name;
    return QDir(resourcePath_).absoluteFilePath(name);
}

const QPixmap* CSkinDialog::GetNamedBitmap(const QString& name) const
{
    auto found = m_mapNamedBitmaps.constFind(name);
    return found == m_mapNamedBitmaps.constEnd() ? nullptr : &*found;
}

QPixmap CSkinDialog::LoadBitmapResource(const QString& name)
{
    lastResourceError_.clear();
    if (name.isEmpty())
        return QPixmap();
    const bool jpeg = name.contains(QLatin1String(".JPG"));
    if (!jpeg) {
        if (auto cached = m_mapNamedBitmaps.constFind(name); cached != m_mapNamedBitmaps.constEnd())
            return *cached;
    }
    QString source;
    const auto bytes = jpeg ? ReadResource(kBitmapResource, name, QString(), &source)
                            : ReadResource(kBitmapResource, name, QStringLiteral(".bmp"), &source);
    if (!bytes) {
        lastResourceError_ = QStringLiteral(" (not found)");
        return QPixmap();
    }
    QBuffer buffer;
    buffer.setData(*bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, jpeg ? QByteArray("jpeg") : QByteArray());
    reader.setDecideFormatFromContent(true);
    const QSize size = reader.size();
    if (size.width() > kMaxBitmapSide || size.height() > kMaxBitmapSide) {
        lastResourceError_ = QStringLiteral(" (larger than %1 pixels a side)").arg(kMaxBitmapSide);
        return QPixmap();
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        lastResourceError_ = QStringLiteral(" (%1)").arg(reader.errorString());
        return QPixmap();
    }
    QPixmap pixmap = QPixmap::fromImage(image);
    if (!jpeg)
        m_mapNamedBitmaps.insert(name, pixmap);
    return pixmap;
}

std::optional<QCursor> CSkinDialog::LoadCursorResource(const QString& name)
{
    lastResourceError_.clear();
    if (name.compare(QLatin1String("cursor_hand"), Qt::CaseInsensitive) == 0)
        return QCursor(Qt::PointingHandCursor);
    const auto bytes = ReadResource(kCursorResource, name, QStringLiteral(".cur"), nullptr);
    if (!bytes) {
        lastResourceError_ = QStringLiteral(" (not found)");
        return std::nullopt;
    }
    QString error;
    auto cursor = CursorFromCurData(*bytes, &error);
    if (!cursor)
        lastResourceError_ = QStringLiteral(" (%1)").arg(error);
    return cursor;
}

bool CSkinDialog::LoadDialogBackground(const QString& name)
{
    background_ = LoadBitmapResource(name);
    return !background_.isNull();
}

bool CSkinDialog::LoadRegion(QRegion& region, const QString& name)
{
    lastResourceError_.clear();
    const auto bytes = ReadResource(kRegionResource, name, QStringLiteral(".rgn"), nullptr);
    if (!bytes || bytes->isEmpty()) {
        lastResourceError_ = QStringLiteral(" (not found)");
        return false;
    }
    QString error;
    auto parsed = RegionFromData(*bytes, &error);
    if (!parsed) {
        lastResourceError_ = QStringLiteral(" (%1)").arg(error);
        return false;
    }
    region = *parsed;
    return true;
}

bool CSkinDialog::LoadDialogRegion(const QString& name)
{
    return LoadRegion(dialogRegion_, name);
}

bool CSkinDialog::LoadResizableDialogRegions(const QString& topRight, const QString& topLeft,
                                             const QString& bottomRight, const QString& bottomLeft)
{
    return LoadRegion(cornerTopRight_, topRight) && LoadRegion(cornerTopLeft_, topLeft) &&
           LoadRegion(cornerBottomRight_, bottomRight) && LoadRegion(cornerBottomLeft_, bottomLeft);
}

// ----- shape, painting, hit testing ----------------------------------

QRegion CSkinDialog::CreateResizableRegion(const CRect& client)
{
    return skin::CreateResizableRegion(cornerTopLeft_, cornerTopRight_, cornerBottomLeft_,
                                       cornerBottomRight_, client);
}

void CSkinDialog::ApplyRegion()
{
    if (!hasRegion_)
        return;
    if (m_bResizable && hasCornerRegions_) {
        ApplyResizableRegion();
        return;
    }
    if (dialogRegion_.isEmpty())
        return;
    setMask(dialogRegion_);
    if (!m_bResizable) {
        const CRect box = RegionBox(dialogRegion_);
        resize(box.Width(), box.Height());
    }
    update();
}

void CSkinDialog::ApplyResizableRegion()
{
    setMask(CreateResizableRegion(CRect{0, 0, width(), height()}));
    update();
}

void CSkinDialog::OnMaximize()
{
    if (isMaximized()) {
        showNormal();
        return;
    }
    showMaximized();
    if (QScreen* s = screen())
        setGeometry(s->availableGeometry());
    LayoutChildren();
    ApplyRegion();
}

int CSkinDialog::HitTest(QPoint p) const
{
    if (m_bResizable) {
        const int w = width();
        const int h = height();
        if (p.x() > w - gripSize_ && p.y() > h - gripSize_)
            return HTBOTTOMRIGHT;
        if (p.x() < sizingBorderWidth_)
            return HTLEFT;
        if (p.y() < sizingBorderWidth_)
            return HTTOP;
        if (p.x() > w - sizingBorderWidth_)
            return HTRIGHT;
        if (p.y() > h - sizingBorderWidth_)
            return HTBOTTOM;
    }
    return extendedDragging_ ? HTCAPTION : HTCLIENT;
}

void CSkinDialog::paintEvent(QPaintEvent* event)
{
    CLayoutDialog::paintEvent(event);
    if (!hasBackground_)
        return;
    QPainter painter(this);
    if (m_bResizable) {
        for (const auto& part : m_listBackgroundParts) {
            auto* s = qobject_cast<CSkinStatic*>(part.data());
            if (s == nullptr || s->Bitmap().isNull())
                continue;
            const QRect target = s->geometry();
            if (target.size() == s->Bitmap().size())
                painter.drawPixmap(target.topLeft(), s->Bitmap());
            else
                painter.drawPixmap(target, s->Bitmap());
        }
        return;
    }
    if (!background_.isNull())
        painter.drawPixmap(0, 0, background_);
}

void CSkinDialog::resizeEvent(QResizeEvent* event)
{
    if (m_bResizable) {
        CLayoutDialog::resizeEvent(event);
        ApplyRegion();
        return;
    }
    QDialog::resizeEvent(event);
}

namespace {

Qt::Edges EdgesOf(int hit)
{
    switch (hit) {
    case HTLEFT: return Qt::LeftEdge;
    case HTRIGHT: return Qt::RightEdge;
    case HTTOP: return Qt::TopEdge;
    case HTBOTTOM: return Qt::BottomEdge;
    case HTBOTTOMRIGHT: return Qt::BottomEdge | Qt::RightEdge;
    default: return {};
    }
}

Qt::CursorShape CursorOf(int hit)
{
    switch (hit) {
    case HTLEFT:
    case HTRIGHT: return Qt::SizeHorCursor;
    case HTTOP:
    case HTBOTTOM: return Qt::SizeVerCursor;
    case HTBOTTOMRIGHT: return Qt::SizeFDiagCursor;
    default: return Qt::ArrowCursor;
    }
}

}  // namespace

void CSkinDialog::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !isWindow()) {
        CLayoutDialog::mousePressEvent(event);
        return;
    }
    const int hit = HitTest(event->position().toPoint());
    QWindow* handle = windowHandle();
    if (hit == HTCAPTION) {
        if (!(handle && handle->startSystemMove())) {
            dragHit_ = hit;
            dragStartGlobal_ = event->globalPosition().toPoint();
            dragStartGeometry_ = geometry();
        }
        event->accept();
        return;
    }
    if (const Qt::Edges edges = EdgesOf(hit)) {
        if (!(handle && handle->startSystemResize(edges))) {
            dragHit_ = hit;
            dragStartGlobal_ = event->globalPosition().toPoint();
            dragStartGeometry_ = geometry();
        }
        event->accept();
        return;
    }
    CLayoutDialog::mousePressEvent(event);
}

void CSkinDialog::mouseMoveEvent(QMouseEvent* event)
{
    if (dragHit_ == 0) {
        if (m_bResizable && event->buttons() == Qt::NoButton)
            setCursor(CursorOf(HitTest(event->position().toPoint())));
        CLayoutDialog::mouseMoveEvent(event);
        return;
    }
    const QPoint delta = event->globalPosition().toPoint() - dragStartGlobal_;
    QRect g = dragStartGeometry_;
    if (dragHit_ == HTCAPTION) {
        move(g.topLeft() + delta);
        return;
    }
    const Qt::Edges edges = EdgesOf(dragHit_);
    if (edges & Qt::LeftEdge)
        g.setLeft(std::min(g.left() + delta.x(), g.right() - minimumWidth() + 1));
    if (edges & Qt::RightEdge)
        g.setRight(g.right() + delta.x());
    if (edges & Qt::TopEdge)
        g.setTop(std::min(g.top() + delta.y(), g.bottom() - minimumHeight() + 1));
    if (edges & Qt::BottomEdge)
        g.setBottom(g.bottom() + delta.y());
    setGeometry(g);
}

void CSkinDialog::mouseReleaseEvent(QMouseEvent* event)
{
    dragHit_ = 0;
    CLayoutDialog::mouseReleaseEvent(event);
}

// ----- commands ------------------------------------------------------

QWidget* CSkinDialog::GetControl(const QString& name) const
{
    return m_mapControls.value(name).data();
}

QWidget* CSkinDialog::GetDlgItem(int id) const
{
    return FindControl(this, id);
}

void CSkinDialog::SendCommand(int id, QWidget* control)
{
    const win::WPARAM wParam = win::MAKEWPARAM(static_cast<win::WORD>(id), win::BN_CLICKED);
    const win::LPARAM lParam =
        control ? reinterpret_cast<win::LPARAM>(win::HwndFromWidget(control)) : 0;
    win::SendMessage(GetSafeHwnd(), win::WM_COMMAND, wParam, lParam);
}

bool CSkinDialog::OnMessage(win::UINT message, win::WPARAM wParam, win::LPARAM lParam, win::LRESULT& result)
{
    if (CLayoutDialog::OnMessage(message, wParam, lParam, result))
        return true;
    if (message == win::WM_COMMAND) {
        // The low word carries the control ID; -1 arrives as 0xFFFF.
        const int id = static_cast<std::int16_t>(win::LOWORD(wParam));
        result = 0;
        return OnCommand(id);
    }
    return false;
}

bool CSkinDialog::OnCommand(int id)
{
    if (id == IDOK) {
        OnOK();
        return true;
    }
    if (id == IDCANCEL) {
        OnCancel();
        return true;
    }
    return false;
}

void CSkinDialog::OnOK()
{
    done(IDOK);
}

void CSkinDialog::OnCancel()
{
    done(IDCANCEL);
}

void CSkinDialog::reject()
{
    SendCommand(IDCANCEL);
}

void CSkinDialog::keyPressEvent(QKeyEvent* event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::NoModifier) {
        if (auto* focused = qobject_cast<CSkinButton*>(focusWidget())) {
            focused->click();
            return;
        }
        for (QObject* child : children()) {
            auto* w = qobject_cast<QWidget*>(child);
            if (w && ControlClass(w) == QLatin1String("Button") &&
                (ControlStyle(w) & BS_TYPEMASK) == BS_DEFPUSHBUTTON && w->isVisible() && w->isEnabled()) {
                SendCommand(ControlId(w));
                return;
            }
        }
        SendCommand(IDOK);
        return;
    }
    CLayoutDialog::keyPressEvent(event);
}

void CSkinDialog::OnEndSession(bool ending)
{
    if (!ending)
        return;
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
    done(IDCANCEL);
}

}  // namespace skin
