// Registered window messages: one table per login session, in the runtime
// folder, shared by every process.
//
// The table is a text file "window_messages", one line per name:
// "<number in 4 hex digits> <name>\n". A process takes an exclusive advisory
// lock on the file, reads it, and appends the name with the next free number
// when it is missing, so two processes registering at once agree. Lines
// that do not parse, and numbers outside the range, are skipped; a name that
// appears twice keeps its first number, which every reader sees alike.
// Each process keeps what it learnt in memory, so a name costs one file
// access per process.

#include "win/ui/messaging.h"

#include "win/hex.h"
#include "win/state_root.h"

#include <QHash>

#include <cerrno>
#include <fcntl.h>
#include <mutex>
#include <string>
#include <sys/file.h>
#include <unistd.h>

namespace win {
namespace {

constexpr int kMaxNameLength = 255;
constexpr const char* kTableFileName = "window_messages";

// Closes a descriptor (and so drops its lock) on every path.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// Reads the whole table file; false when it cannot be read.
bool ReadAll(int fd, std::string& out)
{
    out.clear();
    if (::lseek(fd, 0, SEEK_SET) < 0)
        return false;
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0)
            return true;
        out.append(buffer, static_cast<size_t>(n));
    }
}

bool WriteAll(int fd, const std::string& data)
{
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

struct ParsedTable {
    QHash<QString, UINT> numbers;  // case-folded name -> number
    UINT highest = 0;
};

ParsedTable ParseTable(const std::string& text)
{
    ParsedTable table;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            break;  // an unfinished last line (a writer died mid-line) is ignored
        std::string_view line(text.data() + pos, end - pos);
        pos = end + 1;
        if (line.size() < 6 || line[4] != ' ')
            continue;
        UINT number = 0;
        bool ok = true;
        for (int i = 0; i < 4 && ok; ++i) {
            int digit = HexDigitValue(line[static_cast<size_t>(i)]);
            ok = digit >= 0;
            number = number * 16 + static_cast<UINT>(digit < 0 ? 0 : digit);
        }
        if (!ok || number < kFirstRegisteredMessage || number > kLastRegisteredMessage)
            continue;
        QString name = QString::fromUtf8(line.data() + 5, static_cast<qsizetype>(line.size() - 5));
        QString key = name.toCaseFolded();
        if (!table.numbers.contains(key))
            table.numbers.insert(key, number);
        if (number > table.highest)
            table.highest = number;
    }
    return table;
}

std::string FormatLine(UINT number, const QString& name)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string line;
    for (int shift = 12; shift >= 0; shift -= 4)
        line += kHex[(number >> shift) & 0xF];
    line += ' ';
    line += name.toUtf8().toStdString();
    line += '\n';
    return line;
}

// Looks NAME up in the session table, adding it when missing. 0 with the
// last error set on failure.
UINT LookUpOrAdd(const std::filesystem::path& tablePath, const QString& name, const QString& key)
{
    FileDescriptor fd(::open(tablePath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600));
    if (fd.get() < 0) {
        SetLastError(static_cast<DWORD>(ERROR_CANTWRITE));
        return 0;
    }
    while (::flock(fd.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            SetLastError(static_cast<DWORD>(ERROR_CANTWRITE));
            return 0;
        }
    }
    std::string text;
    if (!ReadAll(fd.get(), text)) {
        SetLastError(static_cast<DWORD>(ERROR_CANTREAD));
        return 0;
    }
    ParsedTable table = ParseTable(text);
    if (auto it = table.numbers.constFind(key); it != table.numbers.constEnd())
        return it.value();

    UINT number = table.highest == 0 ? kFirstRegisteredMessage : table.highest + 1;
    if (number > kLastRegisteredMessage) {
        SetLastError(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
        return 0;
    }
    // A last line left unfinished by a writer that died was never valid to
    // any reader; cut it off rather than complete it, so no reader ever sees
    // it turn into an entry.
    size_t complete = text.rfind('\n') == std::string::npos ? 0 : text.rfind('\n') + 1;
    if (complete != text.size() && ::ftruncate(fd.get(), static_cast<off_t>(complete)) != 0) {
        SetLastError(static_cast<DWORD>(ERROR_CANTWRITE));
        return 0;
    }
    if (::lseek(fd.get(), 0, SEEK_END) < 0 || !WriteAll(fd.get(), FormatLine(number, name))) {
        SetLastError(static_cast<DWORD>(ERROR_CANTWRITE));
        return 0;
    }
    return number;
}

struct Cache {
    std::mutex mutex;
    std::filesystem::path tablePath;  // the table the cached numbers came from
    QHash<QString, UINT> numbers;
};

Cache& ProcessCache()
{
    static Cache* cache = new Cache;  // lives until exit; used from static initialisers
    return *cache;
}

}  // namespace

UINT RegisterWindowMessage(const QString& name)
{
    if (name.isEmpty() || name.size() > kMaxNameLength || name.contains(QLatin1Char('\n')) ||
        name.contains(QLatin1Char('\r')) || name.contains(QChar(0))) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return 0;
    }
    std::filesystem::path tablePath = StateFolderPath(StateFolder::Runtime) / kTableFileName;
    QString key = name.toCaseFolded();

    Cache& cache = ProcessCache();
    std::lock_guard lock(cache.mutex);
    if (cache.tablePath != tablePath) {
        cache.numbers.clear();
        cache.tablePath = tablePath;
    }
    if (auto it = cache.numbers.constFind(key); it != cache.numbers.constEnd())
        return it.value();
    UINT number = LookUpOrAdd(tablePath, name, key);
    if (number != 0)
        cache.numbers.insert(key, number);
    return number;
}

UINT RegisterWindowMessageW(const wchar_t* name)
{
    if (name == nullptr) {
        SetLastError(static_cast<DWORD>(ERROR_INVALID_PARAMETER));
        return 0;
    }
    return RegisterWindowMessage(QString::fromWCharArray(name));
}

}  // namespace win
