// Dialog templates: the window a skinned dialog starts from (its size,
// caption, style and font) and its ordinary controls (edit boxes, lists,
// browser hosts), which the layout may then move.
//
// A template is an XML file (dialogs/NAME.dlg in the resource module):
//
//   <DIALOG width="420" height="300" caption="Tavrel" style="WS_POPUP"
//           font="DejaVu Sans" fontsize="9">
//     <CONTROL id="1001" class="Browser" left="10" top="40" width="400"
//              height="250" style="WS_CHILD|WS_VISIBLE"/>
//   </DIALOG>
//
// Sizes are pixels. Control classes: Static, Button, Edit, ComboBox,
// ListBox, ListView, Progress and Browser (an empty host the dialog fills
// with a web view).
#pragma once

#include "skin/layout_xml.h"
#include "skin/rect.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace skin {

struct CTemplateControl {
    int id = -1;
    QString className;
    CRect rect;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    QString text;
    int line = 0;
};

struct CDialogTemplate {
    QString name;
    int width = 0;
    int height = 0;
    QString caption;
    std::uint32_t style = 0;
    std::uint32_t exStyle = 0;
    QString fontFamily;
    int fontPoints = 0;  // 0: the application font's size
    std::vector<CTemplateControl> controls;
};

// The control classes a template may name.
bool IsTemplateControlClass(const QString& className);

// Reads a template; faults (unknown attributes, classes or styles, bad
// numbers) go to WARNINGS. Nothing when the XML has no root.
std::optional<CDialogTemplate> ParseDialogTemplate(const QByteArray& bytes, const QString& name,
                                                   const QString& source,
                                                   QList<SkinWarning>* warnings);

}  // namespace skin
