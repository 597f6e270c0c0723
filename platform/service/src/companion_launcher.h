// Starts companion programs by name from one folder, never through a shell.
#pragma once

#include <string>
#include <vector>

namespace korvad {

class CompanionLauncher {
public:
    explicit CompanionLauncher(std::string folder) : m_folder(std::move(folder)) {}

    struct Result {
        bool started = false;
        bool notFound = false;  // no such companion (or a name that is not a plain name)
        long long pid = 0;
        std::string error;
    };
    // Starts APPLICATION with PARAMS split into arguments (blanks separate,
    // double quotes group). APPLICATION is a known application name or the
    // plain file name of a program in the folder.
    Result Start(const std::string& application, const std::string& params) const;

    const std::string& Folder() const { return m_folder; }
    // The program file an application name stands for, or "" when it names
    // none (also for names with path separators or leading dots).
    std::string ResolveProgram(const std::string& application) const;

    static std::vector<std::string> SplitParams(const std::string& params);

private:
    std::string m_folder;
};

}  // namespace korvad
