#include "companion_launcher.h"

#include <QProcess>
#include <QString>
#include <QStringList>
#include <cctype>
#include <filesystem>
#include <unistd.h>

namespace korvad {

namespace {

// Application names the suite sends, and the program each starts.
struct KnownApplication {
    const char* name;
    const char* program;
};
constexpr KnownApplication kKnown[] = {
    {"tavrel.blacklist_panel", "qvpopuplog"},
    {"tavrel.restorekit", "qvrestorekit"},
    {"tavrel.console", "qvconsole"},
    {"eventlog", "kelmeventlog"},
    {"companion", "kelmcompanion"},
};

bool PlainName(const std::string& name)
{
    if (name.empty() || name.size() > 128 || name[0] == '.' || name[0] == '-')
        return false;
    for (const char c : name)
        if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '_' || c == '-'))
            return false;
    return true;
}

}  // namespace

std::string CompanionLauncher::ResolveProgram(const std::string& application) const
{
    if (!PlainName(application) || m_folder.empty())
        return {};
    std::string program = application;
    for (const KnownApplication& known : kKnown)
        if (application == known.name)
            program = known.program;
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::canonical(m_folder, ec);
    if (ec)
        return {};
    const std::filesystem::path candidate = std::filesystem::canonical(folder / program, ec);
    // A symbolic link that leads out of the folder does not count.
    if (ec || candidate.parent_path() != folder || !std::filesystem::is_regular_file(candidate, ec))
        return {};
    if (::access(candidate.c_str(), X_OK) != 0)
        return {};
    return candidate.string();
}

std::vector<std::string> CompanionLauncher::SplitParams(const std::string& params)
{
    std::vector<std::string> out;
    std::string current;
    bool inToken = false, quoted = false;
    for (const char c : params) {
        if (c == '"') {
            quoted = !quoted;
            inToken = true;
        } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '\r')) {
            if (inToken)
                out.push_back(current);
            current.clear();
            inToken = false;
        } else {
            current += c;
            inToken = true;
        }
    }
    if (inToken)
        out.push_back(current);
    return out;
}

CompanionLauncher::Result CompanionLauncher::Start(const std::string& application, const std::string& params) const
{
    Result result;
    const std::string program = ResolveProgram(application);
    if (program.empty()) {
        result.notFound = true;
        result.error = "no companion program \"" + application + "\" in " + m_folder;
        return result;
    }
    QStringList args;
    for (const std::string& arg : SplitParams(params))
        args.append(QString::fromStdString(arg));
    qint64 pid = 0;
    // startDetached runs the program itself with ARGS; no shell sees them.
    if (!QProcess::startDetached(QString::fromStdString(program), args, QString::fromStdString(m_folder), &pid)) {
        result.error = "cannot start " + program;
        return result;
    }
    result.started = true;
    result.pid = pid;
    return result;
}

}  // namespace korvad
