// The help viewer's names: which page a topic means and which topic a help
// context number means. Plain text work, no window, so it is tested alone.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <optional>

struct HelpTopic {
    QString page;    // a file of the help folder, "scan.html"
    QString anchor;  // a section of it, or empty
    QString PageWithAnchor() const { return anchor.isEmpty() ? page : page + QLatin1Char('#') + anchor; }
};

// "" -> index.html; "scan" or "scan.html" -> scan.html; "scan#results" adds
// the section. Nothing for anything else: a page name is letters, digits,
// "_" and "-" (at most 64), a section the same; no folders, no other
// extension.
std::optional<HelpTopic> ParseHelpTopic(const QString& topic);

// help/contexts.txt: "NUMBER = TOPIC" a line, "#" starts a comment line.
// Lines that do not parse (or whose topic does not) are skipped and
// described in *WARNINGS ("contexts.txt:LINE: ...").
QHash<int, HelpTopic> ParseHelpContexts(const QByteArray& text, QStringList* warnings = nullptr);
