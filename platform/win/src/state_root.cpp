#include "win/state_root.h"

#include <cerrno>
#include <cstdlib>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace win {
namespace {

std::filesystem::path EnvPath(const char* name)
{
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0')
        return {};
    return std::filesystem::path(value);
}

std::filesystem::path HomePath()
{
    std::filesystem::path home = EnvPath("HOME");
    if (home.empty())
        home = std::filesystem::path("/tmp") / ("kelm-" + std::to_string(::getuid()));
    return home;
}

// A folder in /tmp that only this user may use (mode 0700, owned by us, no
// symbolic link); FALLBACK when someone else got there first.
std::filesystem::path PrivateTmpFolder(const std::string& name, const std::filesystem::path& fallback)
{
    const std::filesystem::path folder = std::filesystem::path("/tmp") / name;
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)
        return fallback;
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return fallback;
    ::chmod(folder.c_str(), 0700);
    return folder;
}

std::filesystem::path Ensure(const std::filesystem::path& path)
{
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return path;
}

std::filesystem::path XdgFolder(StateFolder kind)
{
    std::filesystem::path data = EnvPath("XDG_DATA_HOME");
    if (data.empty())
        data = HomePath() / ".local/share";
    std::filesystem::path config = EnvPath("XDG_CONFIG_HOME");
    if (config.empty())
        config = HomePath() / ".config";
    std::filesystem::path state = EnvPath("XDG_STATE_HOME");
    if (state.empty())
        state = HomePath() / ".local/state";
    std::filesystem::path runtime = EnvPath("XDG_RUNTIME_DIR");
    if (runtime.empty())
        runtime = PrivateTmpFolder("kelm-runtime-" + std::to_string(::getuid()), HomePath() / ".cache/kelm-runtime");

    switch (kind) {
    case StateFolder::Registry: return data / "kelm/registry";
    case StateFolder::Runtime: return runtime / "kelm";
    case StateFolder::Service: return data / "kelm/service";
    case StateFolder::Logs: return state / "kelm/logs";
    case StateFolder::Config: return config / "kelm";
    }
    return data / "kelm";
}

const char* FolderName(StateFolder kind)
{
    switch (kind) {
    case StateFolder::Registry: return "registry";
    case StateFolder::Runtime: return "runtime";
    case StateFolder::Service: return "service";
    case StateFolder::Logs: return "logs";
    case StateFolder::Config: return "config";
    }
    return "misc";
}

}  // namespace

std::filesystem::path StateFolderPath(StateFolder kind)
{
    std::filesystem::path root = EnvPath(kStateRootVariable);
    if (!root.empty())
        return Ensure(root / FolderName(kind));
    return Ensure(XdgFolder(kind));
}

std::filesystem::path GlobalRuntimePath()
{
    std::filesystem::path root = EnvPath(kStateRootVariable);
    if (!root.empty())
        return Ensure(root / "global");
    // Shared by every user of the machine: world-writable with the sticky
    // bit, like /tmp, so each user can add objects but not remove others'.
    // Only the folder's owner can set that; for everyone else it is a no-op.
    const std::filesystem::path global = Ensure(std::filesystem::path("/tmp") / "kelm-global");
    struct stat st {};
    if (::lstat(global.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid())
        ::chmod(global.c_str(), 01777);
    return global;
}

}  // namespace win
