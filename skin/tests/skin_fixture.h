// A folder of skin resources for one test: templates, layouts, bitmaps and
// regions written as files, opened by a CSkinDialog in folder mode.
#pragma once

#include "skin/regions.h"
#include "skin/skin_dialog.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace skin::test {

class SkinFolder : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir_.isValid());
        CSkinDialog::SetFaultHandler([](const CSkinDialog&, const SkinWarning&) {});
        WriteFile(QStringLiteral("T.dlg"),
                  "<DIALOG width=\"300\" height=\"200\" style=\"WS_POPUP\">"
                  "<CONTROL id=\"1001\" class=\"Edit\" left=\"5\" top=\"5\" width=\"50\" height=\"20\"/>"
                  "</DIALOG>");
    }

    QString Path(const QString& name) const { return dir_.filePath(name); }

    void WriteFile(const QString& name, const QByteArray& bytes)
    {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    void WriteBitmap(const QString& fileName, QSize size, QColor colour, const char* format = "PNG")
    {
        QImage image(size, QImage::Format_RGB32);
        image.fill(colour);
        ASSERT_TRUE(image.save(Path(fileName), format));
    }

    void WriteRegion(const QString& name, const QRegion& region)
    {
        WriteFile(name + QStringLiteral(".rgn"), RegionToData(region));
    }

    // A dialog on template T with LAYOUT as its layout file L.xml, built.
    template <typename Dialog = CSkinDialog>
    std::unique_ptr<Dialog> Build(const QByteArray& layout)
    {
        WriteFile(QStringLiteral("L.xml"), layout);
        auto dialog = std::make_unique<Dialog>(nullptr, dir_.path(), QStringLiteral("T"), QStringLiteral("L"),
                                               /*modal=*/false, 0);
        dialog->CreateModeless();
        return dialog;
    }

    static QStringList Messages(const CSkinDialog& d)
    {
        QStringList out;
        for (const SkinWarning& w : d.LayoutWarnings())
            out.append(w.ToString());
        return out;
    }

    QTemporaryDir dir_;
};

}  // namespace skin::test
