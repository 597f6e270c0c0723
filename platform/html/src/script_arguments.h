// Reading page script arguments. Values arrive from page script through the
// web channel as JSON values (numbers as doubles); nothing about them is
// trusted.
#pragma once

#include <QString>
#include <QVariant>

#include <optional>

// A text argument: a text, or a number (a whole number as its decimal text).
std::optional<QString> ScriptArgumentAsText(const QVariant& value);

// An integer argument: a whole number in the 32-bit range, or a text that is
// exactly such a number in decimal (blanks around it allowed).
std::optional<int> ScriptArgumentAsInt(const QVariant& value);
