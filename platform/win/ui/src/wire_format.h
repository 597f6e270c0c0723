// The frames window servers and their callers exchange over a local socket.
//
//   frame   = length (u32, little-endian) payload[length]
//   payload = version (u8, 1) kind (u8) request id (u32) body
//
// Every request has the same body, every reply too (fields a kind does not
// use are 0 or empty), which keeps decoding one straight path:
//
//   request body = hwnd (u64) message (u32) wParam (u64) lParam (u64)
//                  command (i32) flags (u8: 1 class given, 2 caption given)
//                  class length (u16) class (UTF-8) caption length (u16) caption
//   reply body   = status (u8) hwnd (u64) result (i64) flag (u8)
//                  text length (u16) text (UTF-8)
//
// A reply's kind is its request's kind with 0x80 set and carries the same
// request id. All integers are little-endian. A payload longer than
// kMaxPayload or shorter than its header ends the connection; a payload
// that does not decode exactly (unknown version or kind, texts longer than
// kMaxTextBytes, lengths that overrun, bytes left over, unknown flag bits)
// is dropped.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <optional>

namespace win::detail::wire {

inline constexpr std::uint8_t kVersion = 1;
inline constexpr std::uint32_t kHeaderSize = 6;
inline constexpr std::uint32_t kMaxPayload = 4096;
inline constexpr int kMaxTextBytes = 1024;
inline constexpr std::uint8_t kReplyBit = 0x80;

enum class Kind : std::uint8_t {
    FindWindow = 1,     // class, caption -> hwnd
    PostMessage = 2,    // hwnd, message, wParam, lParam -> status
    SendMessage = 3,    // hwnd, message, wParam, lParam -> status, result
    SetForeground = 4,  // hwnd -> status, flag (done)
    ShowWindow = 5,     // hwnd, command -> status, flag (was visible)
    QueryWindow = 6,    // hwnd -> status, flag (visible), text (caption)
};

enum class Status : std::uint8_t {
    Ok = 0,
    NoWindow = 1,  // the handle names no window of the process
    Refused = 2,   // the process does not take this message from others
};

struct Request {
    Kind kind = Kind::FindWindow;
    std::uint32_t id = 0;
    std::uint64_t hwnd = 0;
    std::uint32_t message = 0;
    std::uint64_t wParam = 0;
    std::uint64_t lParam = 0;
    std::int32_t command = 0;
    std::optional<QString> className;
    std::optional<QString> caption;
};

struct Reply {
    Kind kind = Kind::FindWindow;
    std::uint32_t id = 0;
    Status status = Status::Ok;
    std::uint64_t hwnd = 0;
    std::int64_t result = 0;
    bool flag = false;
    QString text;
};

// Whole frames, length prefix included. Texts are cut to kMaxTextBytes at a
// character boundary.
QByteArray EncodeRequest(const Request& request);
QByteArray EncodeReply(const Reply& reply);

// Decode one payload (without its length prefix).
std::optional<Request> DecodeRequest(QByteArrayView payload);
std::optional<Reply> DecodeReply(QByteArrayView payload);

enum class Split { NeedMore, Frame, Bad };
// Takes the first whole frame's payload off the front of BUFFER. Bad when
// the length prefix is out of bounds (the stream cannot be trusted after
// that).
Split TakeFrame(QByteArray& buffer, QByteArray& payload);

}  // namespace win::detail::wire
