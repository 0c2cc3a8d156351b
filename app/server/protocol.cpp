#include "app/server/protocol.h"

#include <nlohmann/json.hpp>

#include "base/messages.h"

namespace app::protocol {

using nlohmann::json;
// Lines are written with their members in a fixed, readable order ("op" or "event" first).
using ordered = nlohmann::ordered_json;

namespace {

std::string line(const ordered& j) {
  // Replace invalid UTF-8 rather than throw: a file name read from disk may hold any bytes.
  return j.dump(-1, ' ', false, ordered::error_handler_t::replace) + "\n";
}

// The member `key` of `j` as text; false when it is missing or not a string.
bool text(const json& j, const char* key, std::string& out) {
  auto it = j.find(key);
  if (it == j.end() || !it->is_string())
    return false;
  out = it->get<std::string>();
  return true;
}

// Checks a request line against the request bounds without building anything: its size, the
// nesting of its arrays and objects, and the number of values (separators + 1 per container).
// Returns the reason the line is refused, or "" when it may be parsed.
std::string boundsProblem(std::string_view line) {
  if (line.size() > kMaxRequestBytes)
    return msg::text(msg::kServerRequestTooLarge, kMaxRequestBytes >> 20);
  int depth = 0;
  std::size_t values = 0;
  bool inString = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (inString) {
      if (c == '\\')
        ++i;
      else if (c == '"')
        inString = false;
      continue;
    }
    switch (c) {
    case '"':
      inString = true;
      break;
    case '[':
    case '{':
      if (++depth > kMaxRequestDepth)
        return msg::text(msg::kServerRequestTooDeep, kMaxRequestDepth);
      ++values;
      break;
    case ']':
    case '}':
      --depth;
      break;
    case ',':
      ++values;
      break;
    default:
      break;
    }
    if (values > kMaxRequestValues)
      return msg::text(msg::kServerRequestTooManyValues, kMaxRequestValues);
  }
  return {};
}

std::optional<json> parseObject(std::string_view line, std::string& error) {
  json j = json::parse(line.begin(), line.end(), nullptr, false);
  if (j.is_discarded()) {
    error = msg::kServerLineNotJson;
    return std::nullopt;
  }
  if (!j.is_object()) {
    error = msg::kServerLineNotObject;
    return std::nullopt;
  }
  return j;
}

} // namespace

std::string encode(const Request& r) {
  ordered j;
  switch (r.op) {
  case Request::Op::Set:
    j = {{"op", "set"}, {"name", r.name}, {"value", r.value}};
    break;
  case Request::Op::SetFiles:
    j = {{"op", "setFiles"}, {"names", r.names}};
    break;
  case Request::Op::SetWholeBatch:
    j = {{"op", "setWholeBatch"}, {"names", r.names}};
    break;
  case Request::Op::Get:
    j = {{"op", "get"}, {"name", r.name}};
    break;
  case Request::Op::Main:
    j = {{"op", "main"}, {"mode", r.mode}};
    break;
  case Request::Op::Quit:
    j = {{"op", "quit"}};
    break;
  }
  return line(j);
}

std::optional<Request> decodeRequest(std::string_view text_, std::string& error) {
  error = boundsProblem(text_);
  if (!error.empty())
    return std::nullopt;
  std::optional<json> j = parseObject(text_, error);
  if (!j)
    return std::nullopt;
  std::string op;
  if (!text(*j, "op", op)) {
    error = msg::kServerNoOp;
    return std::nullopt;
  }
  Request r;
  auto need = [&](const char* key, std::string& out) {
    if (text(*j, key, out))
      return true;
    error = msg::text(msg::kServerMissingText, op, key);
    return false;
  };
  if (op == "set") {
    r.op = Request::Op::Set;
    if (!need("name", r.name) || !need("value", r.value))
      return std::nullopt;
  } else if (op == "get") {
    r.op = Request::Op::Get;
    if (!need("name", r.name))
      return std::nullopt;
  } else if (op == "setFiles" || op == "setWholeBatch") {
    r.op = op == "setFiles" ? Request::Op::SetFiles : Request::Op::SetWholeBatch;
    auto it = j->find("names");
    if (it == j->end() || !it->is_array()) {
      error = msg::text(msg::kServerNamesNotList, op);
      return std::nullopt;
    }
    for (const json& n : *it) {
      if (!n.is_string()) {
        error = msg::kServerNameNotText;
        return std::nullopt;
      }
      r.names.push_back(n.get<std::string>());
    }
  } else if (op == "main") {
    r.op = Request::Op::Main;
    if (!need("mode", r.mode))
      return std::nullopt;
  } else if (op == "quit") {
    r.op = Request::Op::Quit;
  } else {
    error = msg::text(msg::kServerUnknownOp, op);
    return std::nullopt;
  }
  return r;
}

std::string encode(const Event& e) {
  ordered j;
  switch (e.kind) {
  case Event::Kind::Ready:
    j = {{"event", "Ready"}, {"protocol", e.version}, {"pid", e.pid}};
    break;
  case Event::Kind::Message:
    j = {{"event", "Message"},       {"msgId", e.msgId},         {"msg", e.msg},
         {"curDocNum", e.curDocNum}, {"allDocNum", e.allDocNum}, {"docName", e.docName}};
    break;
  case Event::Kind::Error:
    j = {{"event", "Error"}, {"errId", e.errId}, {"errMsg", e.errMsg}};
    break;
  case Event::Kind::MainDone:
    j = {{"event", "MainDone"}};
    if (e.skipped)
      j["skipped"] = true;
    if (!e.fonts.empty())
      j["fonts"] = e.fonts;
    break;
  case Event::Kind::Written:
    j = {{"event", "Written"}, {"path", e.path}};
    break;
  case Event::Kind::Value:
    j = {{"event", "Value"}, {"name", e.name}, {"value", e.value}};
    break;
  case Event::Kind::Fail:
    j = {{"event", "Fail"}, {"op", e.op}, {"reason", e.reason}};
    if (!e.name.empty())
      j["name"] = e.name;
    break;
  case Event::Kind::Bye:
    j = {{"event", "Bye"}};
    break;
  }
  return line(j);
}

std::optional<Event> decodeEvent(std::string_view text_, std::string& error) {
  std::optional<json> j = parseObject(text_, error);
  if (!j)
    return std::nullopt;
  std::string kind;
  if (!text(*j, "event", kind)) {
    error = msg::kServerNoEvent;
    return std::nullopt;
  }
  Event e;
  if (kind == "Ready") {
    e.kind = Event::Kind::Ready;
    e.version = j->value("protocol", 0);
    e.pid = j->value("pid", int64_t{0});
  } else if (kind == "Message") {
    e.kind = Event::Kind::Message;
    text(*j, "msgId", e.msgId);
    text(*j, "msg", e.msg);
    text(*j, "curDocNum", e.curDocNum);
    text(*j, "allDocNum", e.allDocNum);
    text(*j, "docName", e.docName);
  } else if (kind == "Error") {
    e.kind = Event::Kind::Error;
    auto it = j->find("errId");
    if (it != j->end() && it->is_number_integer())
      e.errId = it->get<int32_t>();
    text(*j, "errMsg", e.errMsg);
  } else if (kind == "MainDone") {
    e.kind = Event::Kind::MainDone;
    auto it = j->find("skipped");
    e.skipped = it != j->end() && it->is_boolean() && it->get<bool>();
    auto fonts = j->find("fonts");
    if (fonts != j->end() && fonts->is_array())
      for (const json& f : *fonts)
        if (f.is_string())
          e.fonts.push_back(f.get<std::string>());
  } else if (kind == "Written") {
    e.kind = Event::Kind::Written;
    text(*j, "path", e.path);
  } else if (kind == "Value") {
    e.kind = Event::Kind::Value;
    text(*j, "name", e.name);
    text(*j, "value", e.value);
  } else if (kind == "Fail") {
    e.kind = Event::Kind::Fail;
    text(*j, "op", e.op);
    text(*j, "reason", e.reason);
    text(*j, "name", e.name);
  } else if (kind == "Bye") {
    e.kind = Event::Kind::Bye;
  } else {
    error = msg::text(msg::kServerUnknownEvent, kind);
    return std::nullopt;
  }
  return e;
}

} // namespace app::protocol
