// The wire format: every request and event survives a round trip, malformed lines are refused
// with a reason, and a line never breaks (one '\n', valid JSON even for bad UTF-8).

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "app/server/protocol.h"

namespace {

using app::protocol::decodeEvent;
using app::protocol::decodeRequest;
using app::protocol::encode;
using app::protocol::Event;
using app::protocol::Request;

Request request(Request::Op op) {
  Request r;
  r.op = op;
  return r;
}

TEST(ProtocolRequests, EveryOpSurvivesARoundTrip) {
  Request set = request(Request::Op::Set);
  set.name = "页眉";
  set.value = "第一行,\"引号\"\n第二行\t";
  Request files = request(Request::Op::SetFiles);
  files.names = {"a,b.docx", "通知.txt", ""};
  Request get = request(Request::Op::Get);
  get.name = "DocPath";
  Request main = request(Request::Op::Main);
  main.mode = "YeMian";
  Request quit = request(Request::Op::Quit);

  for (const Request& r : {set, files, get, main, quit}) {
    std::string line = encode(r);
    ASSERT_EQ(line.back(), '\n');
    line.pop_back();
    EXPECT_EQ(line.find('\n'), std::string::npos) << line;
    std::string error;
    auto back = decodeRequest(line, error);
    ASSERT_TRUE(back) << error << " for " << line;
    EXPECT_EQ(back->op, r.op);
    EXPECT_EQ(back->name, r.name);
    EXPECT_EQ(back->value, r.value);
    EXPECT_EQ(back->names, r.names);
    EXPECT_EQ(back->mode, r.mode);
  }
}

TEST(ProtocolRequests, MalformedLinesAreRefusedWithAReason) {
  struct Case {
    const char* line;
    const char* reasonPart;
  } cases[] = {
      {"", "不是 JSON"},
      {"not json", "不是 JSON"},
      {"{\"op\":\"set\"", "不是 JSON"},
      {"[1,2]", "不是 JSON 对象"},
      {"\"set\"", "不是 JSON 对象"},
      {"{}", "\"op\""},
      {"{\"op\":5}", "\"op\""},
      {"{\"op\":\"fly\"}", "未知的请求 \"fly\""},
      {"{\"op\":\"set\",\"name\":\"x\"}", "\"value\""},
      {"{\"op\":\"set\",\"value\":\"x\"}", "\"name\""},
      {"{\"op\":\"set\",\"name\":1,\"value\":\"x\"}", "\"name\""},
      {"{\"op\":\"get\"}", "\"name\""},
      {"{\"op\":\"main\"}", "\"mode\""},
      {"{\"op\":\"main\",\"mode\":0}", "\"mode\""},
      {"{\"op\":\"setFiles\"}", "\"names\""},
      {"{\"op\":\"setFiles\",\"names\":\"a.docx\"}", "\"names\""},
      {"{\"op\":\"setFiles\",\"names\":[\"a\",1]}", "必须是文本"},
  };
  for (const Case& c : cases) {
    std::string error;
    EXPECT_FALSE(decodeRequest(c.line, error)) << c.line;
    EXPECT_NE(error.find(c.reasonPart), std::string::npos) << c.line << " -> " << error;
  }
}

// Hostile lines are refused by their shape before the parser builds anything: a deep nest of
// brackets, more values than any request holds, a line over the request size. Brackets and
// commas inside texts do not count.
TEST(ProtocolRequests, HostileLinesAreRefusedBeforeParsing) {
  struct Case {
    std::string line;
    const char* reasonPart; // "" = accepted
  } cases[] = {
      {std::string(1u << 20, '['), "嵌套"},
      {"{\"op\":\"quit\",\"x\":" + std::string(9, '[') + std::string(9, ']') + "}", "嵌套"},
      {"{\"op\":\"quit\",\"x\":" + std::string(7, '[') + std::string(7, ']') + "}", ""},
      {"{\"op\":\"quit\",\"x\":[" + std::string(200000, ',') + "]}", "值超过"},
      {"{\"op\":\"quit\",\"x\":\"" + std::string(9u << 20, 'a') + "\"}", "MiB"},
      {"{\"op\":\"set\",\"name\":\"a\",\"value\":\"" + std::string(1000, '[') + "\\\"," +
           std::string(1000, ',') + "\"}",
       ""},
  };
  for (const Case& c : cases) {
    std::string error;
    auto r = decodeRequest(c.line, error);
    if (*c.reasonPart == '\0') {
      EXPECT_TRUE(r) << c.line.substr(0, 60) << " -> " << error;
    } else {
      EXPECT_FALSE(r) << c.line.substr(0, 60);
      EXPECT_NE(error.find(c.reasonPart), std::string::npos) << error;
    }
  }
  // A file list of many names still fits.
  Request many;
  many.op = Request::Op::SetFiles;
  many.names.assign(20000, std::string(200, 'x') + ".docx");
  std::string error;
  auto back = decodeRequest(encode(many), error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->names.size(), 20000u);
}

TEST(ProtocolRequests, ExtraMembersAreIgnored) {
  std::string error;
  auto r = decodeRequest(R"({"op":"main","mode":"0","id":7,"comment":"x"})", error);
  ASSERT_TRUE(r) << error;
  EXPECT_EQ(r->mode, "0");
}

TEST(ProtocolEvents, EveryKindSurvivesARoundTrip) {
  std::vector<Event> events(7);
  events[0].kind = Event::Kind::Ready;
  events[0].version = 1;
  events[0].pid = 4242;
  events[1].kind = Event::Kind::Message;
  events[1].msgId = "100";
  events[1].msg = "完成：a.docx";
  events[1].curDocNum = "1";
  events[1].allDocNum = "4";
  events[1].docName = "a.docx";
  events[2].kind = Event::Kind::Error;
  events[2].errId = -7;
  events[2].errMsg = "排版失败：b.docx：损坏";
  events[3].kind = Event::Kind::MainDone;
  events[4].kind = Event::Kind::MainDone;
  events[4].skipped = true;
  events[5].kind = Event::Kind::Value;
  events[5].name = "纸张大小";
  events[5].value = "";
  events[6].kind = Event::Kind::Fail;
  events[6].op = "set";
  events[6].name = "x";
  events[6].reason = "unknown";
  for (const Event& e : events) {
    std::string line = encode(e);
    line.pop_back();
    std::string error;
    auto back = decodeEvent(line, error);
    ASSERT_TRUE(back) << error << " for " << line;
    EXPECT_EQ(back->kind, e.kind) << line;
    EXPECT_EQ(back->version, e.version);
    EXPECT_EQ(back->pid, e.pid);
    EXPECT_EQ(back->msgId, e.msgId);
    EXPECT_EQ(back->msg, e.msg);
    EXPECT_EQ(back->curDocNum, e.curDocNum);
    EXPECT_EQ(back->allDocNum, e.allDocNum);
    EXPECT_EQ(back->docName, e.docName);
    EXPECT_EQ(back->errId, e.errId);
    EXPECT_EQ(back->errMsg, e.errMsg);
    EXPECT_EQ(back->skipped, e.skipped);
    EXPECT_EQ(back->name, e.name);
    EXPECT_EQ(back->value, e.value);
    EXPECT_EQ(back->op, e.op);
    EXPECT_EQ(back->reason, e.reason);
  }
}

TEST(ProtocolEvents, TheKindComesFirstOnTheLine) {
  Event e;
  e.kind = Event::Kind::Message;
  e.msgId = "0";
  EXPECT_EQ(encode(e).rfind("{\"event\":\"Message\"", 0), 0u) << encode(e);
  Request r;
  r.op = Request::Op::Quit;
  EXPECT_EQ(encode(r), "{\"op\":\"quit\"}\n");
}

TEST(ProtocolEvents, InvalidUtf8IsReplacedNotFatal) {
  Event e;
  e.kind = Event::Kind::Message;
  e.msgId = "0";
  e.docName = std::string("bad\xff\xfe name.docx");
  std::string line = encode(e);
  line.pop_back();
  EXPECT_TRUE(nlohmann::json::accept(line)) << line;
  std::string error;
  auto back = decodeEvent(line, error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->docName.rfind("bad", 0), 0u);
  EXPECT_NE(back->docName.find("\xEF\xBF\xBD"), std::string::npos); // U+FFFD
  EXPECT_NE(back->docName.find(" name.docx"), std::string::npos);
}

TEST(ProtocolEvents, UnknownOrMalformedEventsAreRefused) {
  for (const char* line : {"", "{}", "{\"event\":\"Dance\"}", "{\"event\":3}", "[]"}) {
    std::string error;
    EXPECT_FALSE(decodeEvent(line, error)) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
}

TEST(ProtocolEvents, MissingMembersReadAsEmpty) {
  std::string error;
  auto e = decodeEvent(R"({"event":"Error","errId":"x"})", error);
  ASSERT_TRUE(e) << error;
  EXPECT_EQ(e->errId, 0);
  EXPECT_EQ(e->errMsg, "");
  auto m = decodeEvent(R"({"event":"Message","msgId":"101"})", error);
  ASSERT_TRUE(m) << error;
  EXPECT_EQ(m->docName, "");
}

} // namespace
