// What the report script of every frame tells the browser: a document was
// created in a frame, or finished loading. The script runs in a world of its
// own (page script cannot reach it) and reports through console messages
// that start with the host's secret prefix; the fields it sends (address,
// frame name) come from the page and are checked like any page input.
#pragma once

#include <QString>

#include <optional>
#include <vector>

namespace kb::engine {

struct FrameReport {
    enum class Kind { Created, Loaded };
    Kind kind = Kind::Created;
    std::vector<int> path;  // frame indexes from the top; empty for the top document
    QString url;
    QString name;
};

// The script (for every frame, at document creation) with NONCE as prefix.
QString FrameReportScript(const QString& nonce);

// Parses MESSAGE; nothing when it is not a well-formed report of NONCE.
// Paths deeper than 32 frames, indexes beyond 1000 and texts longer than
// 8192 characters are refused.
std::optional<FrameReport> ParseFrameReport(const QString& message, const QString& nonce);

}  // namespace kb::engine
