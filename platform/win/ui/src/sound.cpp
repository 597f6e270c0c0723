// MessageBeep and PlaySoundFile (win/ui/shell.h).
#include "win/ui/shell.h"

#include "record_file.h"

#include <QApplication>
#include <QFileInfo>
#include <QMetaObject>
#include <QProcess>
#include <QStandardPaths>
#include <QThread>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace win {
namespace {

// What the file's header says, as far as the player's time-out needs it.
struct WaveFacts {
    std::uint64_t fileSize = 0;
    std::optional<std::uint32_t> bytesPerSecond;
};

std::uint32_t ReadLe32(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// Opens PATH without blocking (a FIFO must not hang us), insists on a
// regular RIFF/WAVE file and finds the byte rate in its "fmt " chunk among
// the first 4 KiB. Sets the last error and answers nothing when it is not
// such a file.
std::optional<WaveFacts> InspectWaveFile(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        SetLastError(errno == EACCES || errno == EPERM ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return std::nullopt;
    }
    std::array<unsigned char, 4096> head{};
    ssize_t got;
    do {
        got = ::pread(fd, head.data(), head.size(), 0);
    } while (got < 0 && errno == EINTR);
    ::close(fd);
    if (got < 12 || std::memcmp(head.data(), "RIFF", 4) != 0 || std::memcmp(head.data() + 8, "WAVE", 4) != 0) {
        SetLastError(got < 0 ? ERROR_ACCESS_DENIED : ERROR_INVALID_DATA);
        return std::nullopt;
    }
    WaveFacts facts;
    facts.fileSize = static_cast<std::uint64_t>(info.st_size);
    // Chunks: 4-byte id, 4-byte size, data padded to an even length.
    std::size_t at = 12;
    const auto end = static_cast<std::size_t>(got);
    while (at + 8 <= end) {
        const std::uint32_t size = ReadLe32(head.data() + at + 4);
        if (std::memcmp(head.data() + at, "fmt ", 4) == 0) {
            if (size >= 16 && at + 8 + 12 <= end) {
                const std::uint32_t rate = ReadLe32(head.data() + at + 8 + 8);
                if (rate != 0)
                    facts.bytesPerSecond = rate;
            }
            break;
        }
        const std::uint64_t next = static_cast<std::uint64_t>(at) + 8 + size + (size & 1U);
        if (next > end)
            break;
        at = static_cast<std::size_t>(next);
    }
    return facts;
}

// How long the player may take: the sound's length (from the byte rate and
// the file size, a slight over-estimate) plus a grace period for starting
// the player, never more than kSoundMaxWaitMs.
int PlayerTimeoutMs(const WaveFacts& facts)
{
    if (!facts.bytesPerSecond)
        return kSoundMaxWaitMs;
    const std::uint64_t rate = *facts.bytesPerSecond;
    // Divided first, so no file size can overflow the product.
    const std::uint64_t lengthMs = facts.fileSize / rate * 1000 + facts.fileSize % rate * 1000 / rate;
    return static_cast<int>(std::min<std::uint64_t>(lengthMs + kSoundGraceMs, kSoundMaxWaitMs));
}

// The first command-line WAV player on PATH, with the arguments it needs
// before the file name.
std::optional<std::pair<QString, QStringList>> FindPlayer()
{
    QString program = QStandardPaths::findExecutable(QStringLiteral("paplay"));
    if (!program.isEmpty())
        return std::make_pair(program, QStringList{});
    program = QStandardPaths::findExecutable(QStringLiteral("aplay"));
    if (!program.isEmpty())
        return std::make_pair(program, QStringList{QStringLiteral("-q")});
    return std::nullopt;
}

}  // namespace

BOOL MessageBeep(UINT type)
{
    char line[32];
    std::snprintf(line, sizeof line, "beep 0x%08x", type);
    if (detail::AppendRecordLine(kSoundRecordVariable, line) != detail::RecordResult::NotRequested)
        return TRUE;
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    if (app == nullptr)
        return TRUE;
    if (QThread::currentThread() == app->thread())
        QApplication::beep();
    else
        QMetaObject::invokeMethod(app, [] { QApplication::beep(); }, Qt::QueuedConnection);
    return TRUE;
}

bool PlaySoundFile(const std::string& path)
{
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    const std::optional<WaveFacts> facts = InspectWaveFile(path);
    if (!facts)
        return false;
    const QString file = QFileInfo(QString::fromStdString(path)).absoluteFilePath();
    switch (detail::AppendRecordLine(kSoundRecordVariable, file.toStdString())) {
    case detail::RecordResult::Written:
        return true;
    case detail::RecordResult::Failed:
        SetLastError(ERROR_CANTWRITE);
        return false;
    case detail::RecordResult::NotRequested:
        break;
    }
    const auto player = FindPlayer();
    if (!player) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return false;
    }
    QProcess process;
    process.setProgram(player->first);
    process.setArguments(player->second + QStringList{file});
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setStandardErrorFile(QProcess::nullDevice());
    process.start();
    if (!process.waitForStarted(kSoundGraceMs)) {
        SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    if (!process.waitForFinished(PlayerTimeoutMs(*facts))) {
        process.kill();
        process.waitForFinished(kSoundGraceMs);
        SetLastError(ERROR_TIMEOUT);
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        SetLastError(ERROR_GEN_FAILURE);
        return false;
    }
    return true;
}

BOOL PlaySound(const char* sound, void* /*module*/, DWORD flags)
{
    if (sound == nullptr || (flags & SND_FILENAME) == 0 || (flags & ~(SND_FILENAME | SND_NODEFAULT)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return PlaySoundFile(sound) ? TRUE : FALSE;
}

}  // namespace win
