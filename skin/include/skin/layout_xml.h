// The element tree of a layout or dialog-template file, with the line of
// every element so faults can be reported where they are.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace skin {

struct CLayoutElement {
    QString tag;
    QList<std::pair<QString, QString>> attributes;  // in document order
    QString text;                                   // the element's own text, trimmed
    int line = 0;
    std::vector<CLayoutElement> children;

    bool HasAttribute(const QString& name) const;
    // The attribute's value; empty when absent.
    QString GetAttribute(const QString& name) const;
};

// One fault found in a layout or template: where and what.
struct SkinWarning {
    SkinWarning() = default;
    SkinWarning(QString source, int line, QString message)
        : source(std::move(source)), line(line), message(std::move(message))
    {
    }

    QString source;  // "kelmui.rcc:layouts/NAME.xml" or a file path
    int line = 0;
    QString message;
    // For the faults a user must see at once (a bitmap that failed to load,
    // controls the layout lacks): the message box title and text.
    QString boxTitle;
    QString boxText;

    QString ToString() const;
};

// Parses XML. Malformed XML gives no root and one warning at the fault's
// line. Nesting deeper than 64 levels is refused the same way.
std::optional<CLayoutElement> ParseLayoutXml(const QByteArray& bytes, const QString& source,
                                             QList<SkinWarning>* warnings);

}  // namespace skin
