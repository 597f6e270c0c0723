#include "skin/user_profile.h"

#include "skin/window_style.h"

#include "win/registry.h"

#include <QGuiApplication>
#include <QMutex>
#include <QScreen>
#include <QWidget>

namespace skin {
namespace {

struct Location {
    QString key;
    QString profile;
};

QMutex g_locationMutex;
Location g_location;

std::string Utf8(const QString& text)
{
    return text.toUtf8().toStdString();
}

}  // namespace

CKelmApplication::CKelmApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void CKelmApplication::InitUserProfile(const QString& registryKey, const QString& profileName)
{
    SetUserProfileLocation(registryKey, profileName);
}

void CKelmApplication::SetUserProfileLocation(const QString& registryKey, const QString& profileName)
{
    QMutexLocker lock(&g_locationMutex);
    g_location = {registryKey, profileName};
}

QString CKelmApplication::RegistryKey()
{
    QMutexLocker lock(&g_locationMutex);
    return g_location.key;
}

QString CKelmApplication::ProfileName()
{
    QMutexLocker lock(&g_locationMutex);
    return g_location.profile;
}

CUserProfile::CUserProfile(const QString& section) : section_(section) {}

CUserProfile::~CUserProfile() = default;

QString CUserProfile::SectionOrCurrent(const QString& section) const
{
    return section.isEmpty() ? section_ : section;
}

std::optional<std::string> CUserProfile::GetSectionKey(const QString& section) const
{
    const QString key = CKelmApplication::RegistryKey();
    if (key.isEmpty())
        return std::nullopt;
    QString path = QStringLiteral("Software\\") + key;
    const QString profile = CKelmApplication::ProfileName();
    if (!profile.isEmpty())
        path += QLatin1Char('\\') + profile;
    if (!section.isEmpty())
        path += QLatin1Char('\\') + section;
    return Utf8(path);
}

int CUserProfile::GetInt(const QString& name, int fallback, const QString& section) const
{
    const auto path = GetSectionKey(SectionOrCurrent(section));
    win::RegKey key;
    if (!path || win::RegKey::Open(win::Hive::CurrentUser, *path, key) != win::ERROR_SUCCESS)
        return fallback;
    win::DWORD value = 0;
    if (key.QueryDword(Utf8(name), value) != win::ERROR_SUCCESS)
        return fallback;
    return static_cast<int>(value);
}

bool CUserProfile::WriteInt(const QString& name, int value, const QString& section) const
{
    const auto path = GetSectionKey(SectionOrCurrent(section));
    win::RegKey key;
    if (!path || win::RegKey::Create(win::Hive::CurrentUser, *path, key) != win::ERROR_SUCCESS)
        return false;
    return key.SetDword(Utf8(name), static_cast<win::DWORD>(value)) == win::ERROR_SUCCESS;
}

QString CUserProfile::GetString(const QString& name, const QString& fallback, const QString& section) const
{
    const auto path = GetSectionKey(SectionOrCurrent(section));
    win::RegKey key;
    if (!path || win::RegKey::Open(win::Hive::CurrentUser, *path, key) != win::ERROR_SUCCESS)
        return fallback;
    std::string value;
    if (key.QueryString(Utf8(name), value) != win::ERROR_SUCCESS)
        return fallback;
    return QString::fromStdString(value);
}

bool CUserProfile::WriteString(const QString& name, const QString& value, const QString& section) const
{
    const auto path = GetSectionKey(SectionOrCurrent(section));
    win::RegKey key;
    if (!path || win::RegKey::Create(win::Hive::CurrentUser, *path, key) != win::ERROR_SUCCESS)
        return false;
    return key.SetString(Utf8(name), Utf8(value)) == win::ERROR_SUCCESS;
}

bool CUserProfile::GetValues(QMap<QString, QString>& values, const QString& section) const
{
    values.clear();
    const auto path = GetSectionKey(SectionOrCurrent(section));
    win::RegKey key;
    if (!path || win::RegKey::Open(win::Hive::CurrentUser, *path, key) != win::ERROR_SUCCESS)
        return false;
    std::vector<win::RegValue> stored;
    if (key.EnumValues(stored) != win::ERROR_SUCCESS)
        return false;
    for (const win::RegValue& v : stored) {
        const QString name = QString::fromStdString(v.name);
        if (v.type == win::REG_DWORD && v.data.size() == 4) {
            const win::DWORD n = v.data[0] | (v.data[1] << 8) | (v.data[2] << 16) |
                                 (static_cast<win::DWORD>(v.data[3]) << 24);
            values.insert(name, QString::number(static_cast<int>(n)));
        } else if (v.type == win::REG_SZ || v.type == win::REG_EXPAND_SZ) {
            values.insert(name, QString::fromUtf8(reinterpret_cast<const char*>(v.data.data()),
                                                  static_cast<qsizetype>(v.data.size())));
        }
    }
    return true;
}

bool CUserProfile::SetValues(const QMap<QString, QString>& values, const QString& section) const
{
    bool ok = true;
    for (auto it = values.constBegin(); it != values.constEnd(); ++it)
        ok = WriteString(it.key(), it.value(), section) && ok;
    return ok;
}

QString CUserProfile::RectName(const QString& name)
{
    return name.isEmpty() ? QStringLiteral("WindowRect") : name;
}

QString CUserProfile::MaximizeName(const QString& name)
{
    return name.isEmpty() ? QStringLiteral("Maximize") : QStringLiteral("%1_%2").arg(name, QStringLiteral("Maximize"));
}

bool CUserProfile::IsMaximized(const QString& name, const QString& section) const
{
    return GetInt(MaximizeName(name), 0, section) == 1;
}

bool CUserProfile::WriteMaximized(bool maximized, const QString& name, const QString& section) const
{
    return WriteInt(MaximizeName(name), maximized ? 1 : 0, section);
}

bool CUserProfile::GetWindowRect(CRect& rect, const QString& name, const QString& section) const
{
    const QStringList parts = GetString(RectName(name), QString(), section).split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool ok = false;
        v[i] = parts[i].trimmed().toInt(&ok);
        if (!ok)
            return false;
    }
    rect = {v[0], v[1], v[2], v[3]};
    return true;
}

bool CUserProfile::WriteWindowRect(const CRect& rect, const QString& name, const QString& section) const
{
    return WriteString(RectName(name),
                       QStringLiteral("%1,%2,%3,%4").arg(rect.left).arg(rect.top).arg(rect.right).arg(rect.bottom),
                       section);
}

int CUserProfile::GetAppBarEdge(const CRect& t)
{
    if (t.left == t.top && t.right < t.bottom)
        return ABE_LEFT;
    if (t.left == t.top && t.bottom < t.right)
        return ABE_TOP;
    return t.left < t.top ? ABE_BOTTOM : ABE_RIGHT;
}

int CUserProfile::CutTaskbar(const CRect& screen, const CRect& available, CRect& rect)
{
    rect = screen;
    // The taskbar is the strip of the screen that is not available.
    CRect bar;
    if (available.left > screen.left)
        bar = {screen.left, screen.top, available.left, screen.bottom};
    else if (available.top > screen.top)
        bar = {screen.left, screen.top, screen.right, available.top};
    else if (available.right < screen.right)
        bar = {available.right, screen.top, screen.right, screen.bottom};
    else if (available.bottom < screen.bottom)
        bar = {screen.left, available.bottom, screen.right, screen.bottom};
    else
        return -1;
    const int edge = GetAppBarEdge(bar);
    switch (edge) {
    case ABE_LEFT: rect.left = bar.right; break;
    case ABE_TOP: rect.top = bar.bottom; break;
    case ABE_RIGHT: rect.right = bar.left; break;
    default: rect.bottom = bar.top; break;
    }
    return edge;
}

int CUserProfile::GetScreenRect(CRect& rect, const QWidget*)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        rect = {};
        return -1;
    }
    return CutTaskbar(CRect::FromQRect(screen->geometry()), CRect::FromQRect(screen->availableGeometry()), rect);
}

CRect CUserProfile::FitToScreen(const CRect& stored, const CRect& screen)
{
    CRect r = stored;
    const bool inside = r.left >= screen.left && r.top >= screen.top && r.right <= screen.right &&
                        r.bottom <= screen.bottom;
    if (!inside) {
        const int dx = screen.right - r.right;
        const int dy = screen.bottom - r.bottom;
        r = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    }
    if (r.top < 0) {
        r.bottom -= r.top;
        r.top = 0;
    }
    if (r.left < 0) {
        r.right -= r.left;
        r.left = 0;
    }
    return r;
}

bool CUserProfile::PreserveWindowSize(QWidget* window, const QString& name, const QString& section) const
{
    if (window == nullptr)
        return false;
    if (window->isMaximized())
        return WriteMaximized(true, name, section);
    if (window->isMinimized())
        return false;
    if (!WriteMaximized(false, name, section))
        return false;
    const CRect r = CRect::FromQRect(window->frameGeometry());
    // Windows parks minimized windows at -32000; such a place is no place.
    if (r.left == -32000 || r.top == -32000)
        return true;
    return WriteWindowRect(r, name, section);
}

bool CUserProfile::RestoreWindowSize(QWidget* window, const QString& name, const QString& section,
                                     bool keepSize, bool failWhenNothingStored) const
{
    if (window == nullptr)
        return false;
    if (IsMaximized(name, section)) {
        window->showMaximized();
        return true;
    }
    CRect stored;
    if (GetWindowRect(stored, name, section)) {
        CRect screen;
        GetScreenRect(screen, window);
        const CRect r = FitToScreen(stored, screen);
        window->move(r.left, r.top);
        if (!keepSize)
            window->resize(r.Width() - (window->frameGeometry().width() - window->width()),
                           r.Height() - (window->frameGeometry().height() - window->height()));
        return true;
    }
    if (failWhenNothingStored)
        return false;
    const QWidget* parent = window->parentWidget();
    QRect reference = parent ? parent->window()->frameGeometry()
                             : (QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->geometry() : QRect());
    const QRect frame = window->frameGeometry();
    window->move(reference.x() + (reference.width() - frame.width()) / 2,
                 reference.y() + (reference.height() - frame.height()) / 2);
    return true;
}

bool CUserProfile::RestoreWindowSize(CREATESTRUCT& params, const QString& name, const QString& section,
                                     bool keepSize, bool) const
{
    CRect stored;
    if (!GetWindowRect(stored, name, section))
        return false;
    params.x = stored.left;
    params.y = stored.top;
    if (!keepSize) {
        params.cx = stored.Width();
        params.cy = stored.Height();
    }
    if (IsMaximized(name, section))
        params.style |= WS_MAXIMIZE;
    return true;
}

}  // namespace skin
