// The dialog kelmskinview shows: a skinned dialog that knows the control
// names and IDs of the suite's windows, and builds the elements that the
// suite's own dialogs add to the layout format (NAVBUTTON, IMAGELISTS) well
// enough to show and check them.
#pragma once

#include "skin/skin_dialog.h"

#include <QImage>
#include <QString>
#include <QStringList>

namespace skinview {

class CSkinPreviewDialog : public skin::CSkinDialog {
    Q_OBJECT
public:
    CSkinPreviewDialog(const QString& resourcePath, const QString& templateName,
                       const QString& layoutName);

    // Reads the layout from FILE instead of the resource of its name.
    void SetLayoutFile(const QString& file) { layoutFile_ = file; }

    // One line per control: name, ID, rectangle (x,y,w,h) and visibility.
    QStringList DescribeControls() const;

protected:
    void InitSkinControlIDs() override;
    bool ProcessElement(const skin::CLayoutElement& element) override;
    std::optional<QByteArray> ReadLayout(QString* source) override;

private:
    void CreateNavButton(const skin::CLayoutElement& element);
    void CheckImageLists(const skin::CLayoutElement& element);

    QString layoutFile_;
};

// The control IDs the suite's dialogs give their skin control names.
const QList<std::pair<const char*, int>>& KnownControlIds();

// The dialog as the screen shows it: outside its window shape transparent.
QImage GrabShaped(QWidget* window);

// Layout name -> template name, from the module's layouts/layout_templates.txt.
QList<std::pair<QString, QString>> ReadLayoutTemplates(const QByteArray& text);

}  // namespace skinview
