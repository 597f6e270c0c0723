// The localized message table ("MESSAGES") of the UI resource module.
//
// The table is a UTF-8 text file: one message a line as KEY = text, lines
// starting with "#" are comments. In the text, "\n", "\t" and "\\" stand for
// a line feed, a tab and a backslash, and %1 to %6 are the parameters of
// Format.
#pragma once

#include "kelmui/resource_module.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace kelmui {

class MessageTable {
public:
    // Parses table text. A line that is neither a comment, blank nor
    // KEY = text is skipped and described in *WARNINGS ("NAME:LINE: ...").
    static MessageTable Parse(const QByteArray& text, const QString& sourceName,
                              QStringList* warnings = nullptr);

    // Loads the table NAME (usually "MESSAGES") from a module; nothing when
    // the module has no such table.
    static std::optional<MessageTable> Load(const ResourceModule& module, const QString& name,
                                            QStringList* warnings = nullptr);

    bool Contains(const QString& key) const { return texts_.contains(key); }
    // The text of KEY, or an empty text when the table has none.
    QString Text(const QString& key) const { return texts_.value(key); }
    // The text of KEY with %1 to %6 replaced by the parameters.
    QString Format(const QString& key, const std::array<QString, 6>& parameters) const;
    QStringList Keys() const { return texts_.keys(); }

private:
    QHash<QString, QString> texts_;
};

}  // namespace kelmui
