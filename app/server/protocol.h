#pragma once
// The engine server's wire format: one JSON object per line, UTF-8, in both directions.
// Requests go from the caller to quillfold-engine on its standard input; events come back on
// its standard output. docs/engine-protocol.md describes the exchange for people.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace app::protocol {

// Version announced in the Ready event; raised when a request or event changes meaning.
inline constexpr int kVersion = 2;

// Longest request line the server accepts (a file list of many thousand names fits easily).
inline constexpr std::size_t kMaxLine = 64u << 20;
// Bounds on one request, checked before it is parsed so that a hostile line cannot make the
// parser build a huge tree: a request is an object holding texts and one list of texts, so it
// nests two deep and holds one value per file name.
inline constexpr std::size_t kMaxRequestBytes = 8u << 20;
inline constexpr int kMaxRequestDepth = 8;
inline constexpr std::size_t kMaxRequestValues = 100000;

// ---- requests (caller -> server) ----

struct Request {
  enum class Op { Set, SetFiles, SetWholeBatch, Get, Main, Quit };
  Op op = Op::Quit;
  std::string name;               // Set, Get
  std::string value;              // Set
  std::vector<std::string> names; // SetFiles, SetWholeBatch
  std::string mode;               // Main
};

// One request as a line (with the trailing '\n').
std::string encode(const Request& request);

// The request of one line (without its '\n'). Nothing, with `error` set to a reason, for a
// line that is no JSON object, names no known op or lacks a member of the op, or that is
// larger, deeper or holds more values than the kMaxRequest bounds (refused before parsing).
std::optional<Request> decodeRequest(std::string_view line, std::string& error);

// ---- events (server -> caller) ----

struct Event {
  enum class Kind {
    Ready,    // the server is up: protocol version and its process id
    Message,  // IQuillfoldEvents::Message
    Error,    // IQuillfoldEvents::Error
    MainDone, // Main has returned (or was skipped after a failed request)
    Written,  // an output has been written whole
    Value,    // the answer to Get
    Fail,     // a request failed: unknown property, malformed line
    Bye,      // the answer to Quit; the server ends right after it
  };
  Kind kind = Kind::Bye;
  // Message
  std::string msgId, msg, curDocNum, allDocNum, docName;
  // Error
  int32_t errId = 0;
  std::string errMsg;
  // Ready
  int version = 0;
  int64_t pid = 0;
  // MainDone: true when Main was not called because a request before it failed
  bool skipped = false;
  // MainDone: the font names the batch's outputs ask for
  std::vector<std::string> fonts;
  // Written: the output file
  std::string path;
  // Value, Fail: the property name (Value, Fail of Set/Get) and its value (Value)
  std::string name, value;
  // Fail: the op concerned ("" when the line could not be read) and the reason
  std::string op, reason;
};

// One event as a line (with the trailing '\n'). Text that is not valid UTF-8 has its bad
// bytes replaced by U+FFFD so that the line stays valid JSON.
std::string encode(const Event& event);

// The event of one line (without its '\n'); nothing, with `error` set, for anything else.
std::optional<Event> decodeEvent(std::string_view line, std::string& error);

} // namespace app::protocol
