#include "text_stores.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace korvad {

namespace {

std::string Lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

std::vector<std::string_view> Fields(std::string_view line, const char* separators)
{
    std::vector<std::string_view> out;
    std::size_t start = 0;
    while (start < line.size()) {
        const auto first = line.find_first_not_of(separators, start);
        if (first == std::string_view::npos)
            break;
        const auto end = line.find_first_of(separators, first);
        out.push_back(line.substr(first, end == std::string_view::npos ? std::string_view::npos : end - first));
        if (end == std::string_view::npos)
            break;
        start = end;
    }
    return out;
}

}  // namespace

bool ParseCookieLine(std::string_view line, CookieLine& cookie)
{
    constexpr std::string_view kHttpOnly = "#HttpOnly_";
    if (line.substr(0, kHttpOnly.size()) == kHttpOnly)
        line.remove_prefix(kHttpOnly.size());
    else if (line.empty() || line.front() == '#')
        return false;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    // Exactly tab-separated; the value (last field) may be empty.
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const auto tab = line.find('\t', start);
        fields.push_back(line.substr(start, tab == std::string_view::npos ? std::string_view::npos : tab - start));
        if (tab == std::string_view::npos)
            break;
        start = tab + 1;
    }
    if (fields.size() != 7 || fields[0].empty() || fields[5].empty())
        return false;
    std::string_view domain = fields[0];
    if (domain.front() == '.')
        domain.remove_prefix(1);
    cookie.domain = Lower(domain);
    cookie.path = std::string(fields[2]);
    cookie.name = std::string(fields[5]);
    return !cookie.domain.empty();
}

bool DomainMatches(std::string_view domain, std::string_view pattern)
{
    if (domain == pattern)
        return true;
    return domain.size() > pattern.size() && domain.substr(domain.size() - pattern.size()) == pattern &&
           domain[domain.size() - pattern.size() - 1] == '.';
}

std::string CookieItemName(const CookieLine& cookie) { return cookie.name + "@" + cookie.domain + cookie.path; }

std::vector<std::string> HijackedHosts(std::string_view line)
{
    const auto hash = line.find('#');
    if (hash != std::string_view::npos)
        line = line.substr(0, hash);
    const auto fields = Fields(line, " \t\r");
    if (fields.size() < 2)
        return {};
    const std::string_view address = fields[0];
    if (address == "127.0.0.1" || address == "0.0.0.0" || address == "::1" || address == "::" ||
        address.substr(0, 4) == "127.")
        return {};
    std::vector<std::string> hosts;
    for (std::size_t i = 1; i < fields.size(); ++i)
        hosts.push_back(Lower(fields[i]));
    return hosts;
}

bool ReadLines(const std::string& path, std::vector<std::string>& lines, bool missingOk, std::string* error)
{
    lines.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        if (missingOk && errno == ENOENT)
            return true;
        if (error != nullptr)
            *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        if (error != nullptr)
            *error = path + " is not a regular file";
        return false;
    }
    std::string text;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        text.append(chunk, static_cast<std::size_t>(std::min<std::size_t>(static_cast<std::size_t>(got),
                                                                           kMaxTextStoreBytes - text.size())));
        if (text.size() >= kMaxTextStoreBytes)
            break;
    }
    ::close(fd);
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

bool WriteLinesAtomically(const std::string& path, const std::vector<std::string>& lines, std::string* error)
{
    const auto fail = [&](const std::string& what) {
        if (error != nullptr)
            *error = what + ": " + std::strerror(errno);
        return false;
    };
    mode_t mode = 0600;
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    const std::filesystem::path target(path);
    std::error_code ec;
    std::filesystem::create_directories(target.parent_path(), ec);
    const std::string temp = path + ".korvad-tmp";
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode);
    if (fd < 0)
        return fail("cannot write " + temp);
    std::string text;
    for (const std::string& line : lines)
        text += line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            ::close(fd);
            ::unlink(temp.c_str());
            return fail("cannot write " + temp);
        }
        done += static_cast<std::size_t>(put);
    }
    ::fchmod(fd, mode);
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(temp.c_str());
        return fail("cannot write " + temp);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        return fail("cannot replace " + path);
    }
    const int dir = ::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

}  // namespace korvad
