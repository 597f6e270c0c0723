// The bus's wire format: how requests, answers and notifications are laid
// out in D-Bus messages, and the limits a receiver enforces.
//
//   Request(s name, a{ss} values, a(sasaas) rowsets) -> (i code, s text, a(sasaas) rowsets)
//   Subscribe(as names) -> ()      Unsubscribe(as names) -> ()
//   signal Notification(s name, a{ss} values, a(sasaas) rowsets)
//
// A row set is (name, column names, rows), each row a list of texts with one
// text per column. Dictionary entries keep their order on the wire.
#pragma once

#include <QDBusMessage>
#include <QList>
#include <QString>
#include <QVariant>
#include <cstddef>
#include <string>

#include "servicelink/msg_row_set.h"
#include "servicelink/value_accessor.h"

namespace bus {

inline constexpr const char* kRequestMethod = "Request";
inline constexpr const char* kSubscribeMethod = "Subscribe";
inline constexpr const char* kUnsubscribeMethod = "Unsubscribe";
inline constexpr const char* kNotificationSignal = "Notification";
inline constexpr const char* kRequestSignature = "sa{ss}a(sasaas)";
inline constexpr const char* kAnswerSignature = "isa(sasaas)";
inline constexpr const char* kNotificationSignature = "sa{ss}a(sasaas)";
inline constexpr const char* kNamesSignature = "as";

// What a receiver accepts. Anything beyond is refused as a whole.
struct Limits {
    std::size_t maxBytes = 8u << 20;       // characters of all texts of one message
    std::size_t maxNameLength = 255;       // request, value, column and row-set names
    std::size_t maxValues = 10000;         // named values of one message
    std::size_t maxRowSets = 64;
    std::size_t maxColumns = 1024;         // per row set
    std::size_t maxCells = 1u << 20;       // rows times columns, all row sets
};

enum class DecodeStatus { Ok, Malformed, TooLarge };

struct Decoded {
    DecodeStatus status = DecodeStatus::Ok;
    std::string error;  // what was wrong, for the error answer
    std::string name;
    CDictionary values;
    CMsgRowSets rowSets;
};

// Message arguments for a request or a notification.
QList<QVariant> EncodeMessage(const std::string& name, const CDictionary& values, const CMsgRowSets& rowSets);
// Arguments of an answer.
QList<QVariant> EncodeAnswer(int code, const std::string& text, const CMsgRowSets& rowSets);

// Reads a request or notification, checking its signature, shape and LIMITS.
Decoded DecodeMessage(const QDBusMessage& message, const Limits& limits = Limits());

struct DecodedAnswer {
    bool ok = false;
    std::string error;
    int code = 0;
    std::string text;
    CMsgRowSets rowSets;
};
DecodedAnswer DecodeAnswer(const QDBusMessage& message, const Limits& limits = Limits());

// A list of names (Subscribe, Unsubscribe); false when malformed.
bool DecodeNames(const QDBusMessage& message, QStringList& names, const Limits& limits = Limits());

// Registers the D-Bus types; called by every entry point before use.
void RegisterTypes();

}  // namespace bus
