#include "app/server/engine_server.h"

#include <cerrno>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/server/protocol.h"
#include "base/interrupt.h"
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

// Tells the caller of each output written whole since the last call, as a Written event: the
// interrupt registry notes every output a batch finishes. The caller then knows what is
// complete even when it is interrupted before the batch ends.
class WrittenOutputs {
public:
  explicit WrittenOutputs(Output& out) : out_(out) {}
  void send() {
    std::vector<std::string> fresh;
    {
      base::interrupt::Registry& r = base::interrupt::registry();
      std::lock_guard<std::mutex> hold(r.lock);
      if (r.finished.size() > sent_)
        fresh.assign(r.finished.begin() + static_cast<std::ptrdiff_t>(sent_), r.finished.end());
      sent_ = r.finished.size();
    }
    for (std::string& path : fresh) {
      Event e;
      e.kind = Event::Kind::Written;
      e.path = std::move(path);
      out_.send(e);
    }
  }

private:
  Output& out_;
  std::size_t sent_ = 0;
};

class Sink : public engine::IQuillfoldEvents {
public:
  Sink(Output& out, WrittenOutputs& written) : out_(out), written_(written) {}
  void Error(int32_t errId, const std::string& errMsg) override {
    written_.send();
    Event e;
    e.kind = Event::Kind::Error;
    e.errId = errId;
    e.errMsg = errMsg;
    out_.send(e);
  }
  void Message(const std::string& msgId, const std::string& msg, const std::string& curDocNum,
               const std::string& allDocNum, const std::string& docName) override {
    written_.send();
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
  WrittenOutputs& written_;
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
  WrittenOutputs written(out);
  Sink sink(out, written);
  engine::clsDoc doc;
  doc.SetEventSink(&sink);
  // The fonts go to the caller with MainDone: a caller that runs a batch on several servers
  // gives one notice about the fonts that stand in for the whole batch.
  doc.setGatherFonts(true);

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
    case Request::Op::SetWholeBatch:
      if (!configurationFailed)
        doc.setWholeBatch(std::move(request->names));
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
        written.send();
        done.fonts.assign(doc.batchFonts().begin(), doc.batchFonts().end());
      }
      // A file list serves one batch; the next one names its files afresh.
      doc.setDocFiles({});
      doc.setWholeBatch({});
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
