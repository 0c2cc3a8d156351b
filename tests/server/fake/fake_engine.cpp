// A stand-in for quillfold-engine that speaks the same protocol without typesetting anything,
// so that tests can make it misbehave on purpose:
//   - a document whose name contains "crash" kills the server right after its Message "0";
//     with QF_FAKE_ORPHAN set, the server first starts a long "sleep" in a process group of
//     its own (as LibreOffice would be), which outlives it;
//   - a document whose name contains "slow" takes 300 ms;
//   - a property named "bad" is refused like an unknown property;
//   - QF_FAKE_LOG=path appends every request line to that file;
//   - QF_FAKE_MAINS=path appends a line "<pid> <name> <name>…" for every Main;
//   - QF_FAKE_EXIT_AFTER_READY=1 ends right after Ready; QF_FAKE_GARBAGE=1 starts with a line
//     that is not Ready.
//   - QF_FAKE_MEET=folder: before Ready, the server leaves a file in that folder and waits (up
//     to 3 s) until QF_FAKE_MEET_COUNT servers have; one that waited in vain also leaves a
//     file "alone-<pid>" there.
// Every document gets a Message "2" "模式 <run mode>", then a Written event naming
// <DocOutLocation>/<name>, before its "100". A document named "字体-<font>.docx" asks for the
// font <font>: MainDone lists it. A setWholeBatch request is logged like the others.

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <spawn.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

#include "app/server/protocol.h"

extern char** environ;

using app::protocol::Event;
using app::protocol::Request;

namespace {

void send(const Event& e) {
  std::string line = app::protocol::encode(e);
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fflush(stdout);
}

void message(const std::string& id, const std::string& msg, std::size_t cur, std::size_t all,
             const std::string& name) {
  Event e;
  e.kind = Event::Kind::Message;
  e.msgId = id;
  e.msg = msg;
  e.curDocNum = std::to_string(cur);
  e.allDocNum = std::to_string(all);
  e.docName = name;
  send(e);
}

void startOrphan() {
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setpgroup(&attr, 0);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
  char sleepPath[] = "/bin/sleep";
  char seconds[] = "300";
  char* argv[] = {sleepPath, seconds, nullptr};
  pid_t pid = 0;
  if (posix_spawn(&pid, sleepPath, nullptr, &attr, argv, environ) == 0) {
    if (const char* file = std::getenv("QF_FAKE_ORPHAN"))
      std::ofstream(file) << pid << "\n";
  }
  posix_spawnattr_destroy(&attr);
}

} // namespace

// QF_FAKE_MEET: waits for the other servers of a pool to have started too.
void meetTheOthers(const std::string& folder) {
  const char* countText = std::getenv("QF_FAKE_MEET_COUNT");
  const long count = countText ? std::strtol(countText, nullptr, 10) : 2;
  std::ofstream(folder + "/started-" + std::to_string(::getpid())) << "\n";
  for (int i = 0; i < 300; ++i) {
    long started = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
      started += entry.path().filename().string().rfind("started-", 0) == 0;
    if (started >= count)
      return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  std::ofstream(folder + "/alone-" + std::to_string(::getpid())) << "\n";
}

int main() {
  if (const char* folder = std::getenv("QF_FAKE_MEET"))
    meetTheOthers(folder);
  if (std::getenv("QF_FAKE_GARBAGE")) {
    std::puts("hello");
    std::fflush(stdout);
  }
  Event ready;
  ready.kind = Event::Kind::Ready;
  ready.version = app::protocol::kVersion;
  ready.pid = ::getpid();
  send(ready);
  if (std::getenv("QF_FAKE_EXIT_AFTER_READY"))
    return 3;

  const char* logPath = std::getenv("QF_FAKE_LOG");
  std::map<std::string, std::string> props;
  std::vector<std::string> files;
  bool failed = false;
  std::string line;
  while (std::getline(std::cin, line)) {
    if (logPath)
      std::ofstream(logPath, std::ios::app) << line << "\n";
    std::string error;
    auto r = app::protocol::decodeRequest(line, error);
    if (!r) {
      Event f;
      f.kind = Event::Kind::Fail;
      f.reason = error;
      send(f);
      failed = true;
      continue;
    }
    switch (r->op) {
    case Request::Op::Set:
      if (failed)
        break;
      if (r->name == "bad") {
        Event f;
        f.kind = Event::Kind::Fail;
        f.op = "set";
        f.name = r->name;
        f.reason = "unknown engine property: bad";
        send(f);
        failed = true;
      } else {
        props[r->name] = r->value;
      }
      break;
    case Request::Op::SetFiles:
      if (!failed)
        files = r->names;
      break;
    case Request::Op::SetWholeBatch:
      break;
    case Request::Op::Get: {
      Event v;
      v.kind = Event::Kind::Value;
      v.name = r->name;
      v.value = props[r->name];
      send(v);
      break;
    }
    case Request::Op::Main: {
      if (const char* mains = std::getenv("QF_FAKE_MAINS")) {
        std::string line = std::to_string(::getpid());
        for (const auto& name : files)
          line += " " + name;
        std::ofstream(mains, std::ios::app) << line << "\n";
      }
      if (!failed) {
        for (std::size_t i = 0; i < files.size(); ++i) {
          const std::string& name = files[i];
          message("0", "正在处理", i + 1, files.size(), name);
          if (name.find("crash") != std::string::npos) {
            if (std::getenv("QF_FAKE_ORPHAN"))
              startOrphan();
            ::raise(SIGKILL);
          }
          if (name.find("slow") != std::string::npos)
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
          message("2", "模式 " + r->mode, i + 1, files.size(), name);
          Event written;
          written.kind = Event::Kind::Written;
          written.path = props["DocOutLocation"] + "/" + name;
          send(written);
          message("100", "完成：" + name, i + 1, files.size(), name);
        }
        message("101", "处理完毕！", files.size(), files.size(), "");
      }
      Event done;
      done.kind = Event::Kind::MainDone;
      done.skipped = failed;
      const std::string fontPrefix = "字体-";
      for (const auto& name : files)
        if (!failed && name.rfind(fontPrefix, 0) == 0 && name.size() > fontPrefix.size() + 5)
          done.fonts.push_back(name.substr(fontPrefix.size(), name.size() - fontPrefix.size() - 5));
      send(done);
      failed = false;
      files.clear();
      break;
    }
    case Request::Op::Quit: {
      Event bye;
      bye.kind = Event::Kind::Bye;
      send(bye);
      return 0;
    }
    }
  }
  return 0;
}
