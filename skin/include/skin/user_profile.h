// Window positions, sizes and the maximized state, and other named values,
// kept per user in the registry under the application's key:
// HKCU\Software\<registry key>\<profile name>\<section>.
#pragma once

#include "skin/rect.h"

#include <QApplication>
#include <QMap>
#include <QString>

#include <cstdint>
#include <optional>
#include <string>

namespace skin {

// The application base of the suite's programs: it says where CUserProfile
// keeps its sections.
class CKelmApplication : public QApplication {
    Q_OBJECT
public:
    CKelmApplication(int& argc, char** argv);

    // Every CUserProfile section lies under Software\REGISTRYKEY\PROFILENAME
    // of the current user from now on.
    void InitUserProfile(const QString& registryKey, const QString& profileName);

    // The same, for code that has no application object of this class
    // (tests, small tools); an empty key stops all profile reads and writes.
    static void SetUserProfileLocation(const QString& registryKey, const QString& profileName);
    static QString RegistryKey();
    static QString ProfileName();
};

// A window's creation parameters, for RestoreWindowSize before the window
// exists.
struct CREATESTRUCT {
    int x = 0;
    int y = 0;
    int cx = 0;
    int cy = 0;
    std::uint32_t style = 0;
};

// The edges a taskbar can sit on (GetAppBarEdge).
inline constexpr int ABE_LEFT = 0;
inline constexpr int ABE_TOP = 1;
inline constexpr int ABE_RIGHT = 2;
inline constexpr int ABE_BOTTOM = 3;

class CUserProfile {
public:
    explicit CUserProfile(const QString& section = QString());
    virtual ~CUserProfile();

    void SetCurrentSection(const QString& section) { section_ = section; }
    const QString& CurrentSection() const { return section_; }

    // SECTION empty: the current section.
    int GetInt(const QString& name, int fallback, const QString& section = QString()) const;
    bool WriteInt(const QString& name, int value, const QString& section = QString()) const;
    QString GetString(const QString& name, const QString& fallback, const QString& section = QString()) const;
    bool WriteString(const QString& name, const QString& value, const QString& section = QString()) const;
    // Every value of the section, numbers as their decimal text.
    bool GetValues(QMap<QString, QString>& values, const QString& section = QString()) const;
    bool SetValues(const QMap<QString, QString>& values, const QString& section = QString()) const;

    bool IsMaximized(const QString& name = QString(), const QString& section = QString()) const;
    bool WriteMaximized(bool maximized, const QString& name = QString(), const QString& section = QString()) const;
    // True only when four numbers were read.
    bool GetWindowRect(CRect& rect, const QString& name = QString(), const QString& section = QString()) const;
    bool WriteWindowRect(const CRect& rect, const QString& name = QString(), const QString& section = QString()) const;

    // The primary screen less its taskbar; returns the taskbar's edge, or -1
    // when there is none.
    static int GetScreenRect(CRect& rect, const QWidget* window = nullptr);
    static int GetAppBarEdge(const CRect& taskbar);
    // The screen rectangle SCREEN cut at a taskbar inside it (AVAILABLE is
    // what the screen leaves free); returns the edge or -1.
    static int CutTaskbar(const CRect& screen, const CRect& available, CRect& rect);

    bool PreserveWindowSize(QWidget* window, const QString& name = QString(), const QString& section = QString()) const;
    bool RestoreWindowSize(QWidget* window, const QString& name = QString(), const QString& section = QString(),
                           bool keepSize = false, bool failWhenNothingStored = false) const;
    bool RestoreWindowSize(CREATESTRUCT& params, const QString& name = QString(), const QString& section = QString(),
                           bool keepSize = false, bool unused = false) const;

    // The registry path of SECTION, or nothing when the application has no
    // registry key (then nothing is read or written).
    virtual std::optional<std::string> GetSectionKey(const QString& section) const;

    // Where a stored rectangle goes on SCREEN: moved in so its bottom-right
    // corner is the screen's when it does not lie inside, then negative
    // top and left raised to 0.
    static CRect FitToScreen(const CRect& stored, const CRect& screen);

private:
    QString SectionOrCurrent(const QString& section) const;
    static QString RectName(const QString& name);
    static QString MaximizeName(const QString& name);

    QString section_;
};

}  // namespace skin
