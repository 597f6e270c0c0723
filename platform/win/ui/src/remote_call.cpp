#include "remote_call.h"

#include "peer_directory.h"

#include <QDeadlineTimer>
#include <QLocalSocket>

#include <atomic>

namespace win::detail {
namespace {

std::uint32_t NextRequestId()
{
    static std::atomic<std::uint32_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace

RemoteOutcome CallWindowServer(std::uint32_t processId, wire::Request request, int timeoutMs)
{
    RemoteOutcome outcome;
    request.id = NextRequestId();
    QDeadlineTimer deadline(timeoutMs);

    QLocalSocket socket;
    socket.connectToServer(SocketPathFor(processId));
    if (!socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
        ReapIfDead(processId);
        return outcome;
    }
    QByteArray frame = wire::EncodeRequest(request);
    if (socket.write(frame) != frame.size())
        return outcome;
    while (socket.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime())))
            return outcome;
    }
    outcome.delivered = true;

    // The server may close the connection right after answering, so read
    // what is there before giving up on a disconnect.
    QByteArray buffer;
    for (;;) {
        buffer += socket.readAll();
        QByteArray payload;
        switch (wire::TakeFrame(buffer, payload)) {
        case wire::Split::Bad:
            return outcome;
        case wire::Split::Frame: {
            std::optional<wire::Reply> reply = wire::DecodeReply(payload);
            if (reply && reply->id == request.id && reply->kind == request.kind) {
                outcome.reply = std::move(reply);
                return outcome;
            }
            continue;  // not ours: keep reading
        }
        case wire::Split::NeedMore:
            break;
        }
        if (socket.state() != QLocalSocket::ConnectedState && socket.bytesAvailable() == 0)
            return outcome;
        if (deadline.hasExpired() || !socket.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            if (socket.bytesAvailable() == 0)
                return outcome;
        }
    }
}

}  // namespace win::detail
