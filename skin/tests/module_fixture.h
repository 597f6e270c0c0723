// Tests that use the real UI resource module of the build.
#pragma once

#include "kelmui/resource_module.h"
#include "skin/skin_dialog.h"

#include <QDir>
#include <QImage>

#include <gtest/gtest.h>

namespace skin::test {

inline QString ModulePath()
{
    return kelmui::DefaultModulePath();
}

// Where the screenshot tests leave their pictures for people to look at.
inline QString ScreenshotPath(const QString& name)
{
    const QString dir = QStringLiteral(SKIN_SCREENSHOT_DIR);
    QDir().mkpath(dir);
    return QDir(dir).filePath(name + QStringLiteral(".png"));
}

inline void SilenceFaults()
{
    CSkinDialog::SetFaultHandler([](const CSkinDialog&, const SkinWarning&) {});
}

inline QString Warnings(const CSkinDialog& d)
{
    QString out;
    for (const SkinWarning& w : d.LayoutWarnings())
        out += w.ToString() + QLatin1Char('\n');
    return out;
}

}  // namespace skin::test
