#include "app/server/engine_server.h"

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <string>
#include <unistd.h>

#include "app/server/protocol.h"
#include "base/messages.h"
#include "engine/clsdoc.h"

namespace app {

namespace {

using protocol::Event;
using protocol::Request;

// Writes whole lines; a caller that has gone away ends the server (there is nobody left to
// report to, and the batch's outputs are already on disk up to this document).
class Output {
public:
  explicit Output(int fd) : fd_(fd) {}
  void send(const Event& e) {
    std::string bytes = protocol::encode(e);
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
      ssize_t n = ::write(fd_, p, left);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0)
        std::_Exit(0);
      p += n;
      left -= static_cast<std::size_t>(n);
    }
  }

private:
  int fd_;
};

class Sink : public engine::IQuillfoldEvents {
public:
  explicit Sink(Output& out) : out_(out) {}
  void Error(int32_t errId, const std::string& errMsg) override {
    Event e;
    e.kind = Event::Kind::Error;
    e.errId = errId;
    e.errMsg = errMsg;
    out_.send(e);
  }
  void Message(const std::string& msgId, const std::string& msg, const std::string& curDocNum,
               const std::string& allDocNum, const std::string& docName) override {
    Event e;
    e.kind = Event::Kind::Message;
    e.msgId = msgId;
    e.msg = msg;
    e.curDocNum = curDocNum;
    e.allDocNum = allDocNum;
    e.docName = docName;
    out_.send(e);
  }

private:
  Output& out_;
};

// Reads '\n'-terminated lines from a descriptor. A line longer than kMaxLine is dropped whole
// and reported as too long.
class LineReader {
public:
  explicit LineReader(int fd) : fd_(fd) {}
  enum class Result { Line, TooLong, End };
  Result next(std::string& line) {
    bool overflow = false;
    for (;;) {
      std::size_t nl = buffer_.find('\n', scanned_);
      if (nl != std::string::npos) {
        line.assign(buffer_, 0, nl);
        buffer_.erase(0, nl + 1);
        scanned_ = 0;
        if (!line.empty() && line.back() == '\r')
          line.pop_back();
        return overflow ? Result::TooLong : Result::Line;
      }
      scanned_ = buffer_.size();
      if (buffer_.size() > protocol::kMaxLine) {
        overflow = true;
        buffer_.clear();
        scanned_ = 0;
      }
      char chunk[65536];
      ssize_t n = ::read(fd_, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR)
        continue;
      if (n <= 0) {
        // A last line without '\n' still counts.
        if (!buffer_.empty() && !overflow) {
          line.swap(buffer_);
          buffer_.clear();
          scanned_ = 0;
          return Result::Line;
        }
        return Result::End;
      }
      buffer_.append(chunk, static_cast<std::size_t>(n));
    }
  }

private:
  int fd_;
  std::string buffer_;
  std::size_t scanned_ = 0;
};

Event fail(std::string op, std::string reason, std::string name = {}) {
  Event e;
  e.kind = Event::Kind::Fail;
  e.op = std::move(op);
  e.reason = std::move(reason);
  e.name = std::move(name);
  return e;
}

} // namespace

int serveEngine(int inFd, int outFd) {
  Output out(outFd);
  Sink sink(out);
  engine::clsDoc doc;
  doc.SetEventSink(&sink);
  doc.setReportFontStandIns(true);

  Event ready;
  ready.kind = Event::Kind::Ready;
  ready.version = protocol::kVersion;
  ready.pid = static_cast<int64_t>(::getpid());
  out.send(ready);

  LineReader reader(inFd);
  std::string line;
  bool configurationFailed = false;
  for (;;) {
    LineReader::Result got = reader.next(line);
    if (got == LineReader::Result::End)
      return 0;
    if (got == LineReader::Result::TooLong) {
      out.send(fail("", msg::text(msg::kServerLineTooLong, protocol::kMaxLine >> 20)));
      configurationFailed = true;
      continue;
    }
    if (line.find_first_not_of(" \t") == std::string::npos)
      continue;
    std::string error;
    std::optional<Request> request = protocol::decodeRequest(line, error);
    if (!request) {
      out.send(fail("", error));
      configurationFailed = true;
      continue;
    }
    switch (request->op) {
    case Request::Op::Set:
      if (configurationFailed)
        break;
      try {
        doc.setProperty(request->name, request->value);
      } catch (const std::exception& e) {
        out.send(fail("set", e.what(), request->name));
        configurationFailed = true;
      }
      break;
    case Request::Op::SetFiles:
      if (!configurationFailed)
        doc.setDocFiles(std::move(request->names));
      break;
    case Request::Op::Get:
      try {
        Event value;
        value.kind = Event::Kind::Value;
        value.name = request->name;
        value.value = doc.property(request->name);
        out.send(value);
      } catch (const std::exception& e) {
        out.send(fail("get", e.what(), request->name));
      }
      break;
    case Request::Op::Main: {
      Event done;
      done.kind = Event::Kind::MainDone;
      if (configurationFailed) {
        done.skipped = true;
      } else {
        doc.Main(request->mode);
      }
      // A file list serves one batch; the next one names its files afresh.
      doc.setDocFiles({});
      configurationFailed = false;
      out.send(done);
      break;
    }
    case Request::Op::Quit: {
      Event bye;
      bye.kind = Event::Kind::Bye;
      out.send(bye);
      return 0;
    }
    }
  }
}

} // namespace app
