#include "app/server/engine_pool.h"
#include "base/number.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <future>
#include <map>
#include <optional>
#include <poll.h>
#include <sys/epoll.h>
#include <system_error>
#include <thread>
#include <unistd.h>

#include "base/ascii.h"
#include "base/messages.h"
#include "word/filetypes.h"
#include "word/fonts.h"

namespace fs = std::filesystem;

namespace app {

namespace {

// LibreOffice documents of one start (word::ConvertOptions::maxFilesPerCall): a larger chunk
// would pay the start-up again without sparing anything.
constexpr std::size_t kMaxLibreOfficeChunk = 50;
// The first unit of natively read documents holds 1/(this × servers) of them; each next one
// as much of the rest.
constexpr std::size_t kUnitsPerServer = 4;

// True when the document goes through LibreOffice: read through it, or written through it.
bool throughLibreOffice(const EngineBatch& batch, const std::string& name) {
  const std::string path = batch.docPath.empty() ? name : (fs::path(batch.docPath) / name).string();
  const bool in = word::needsConversion(path);
  const std::string output = word::outputNameFor(fs::path(name).filename().string());
  return in || word::saveFormatFor(output, in) != word::SaveFormat::Ooxml;
}

} // namespace

std::size_t EnginePool::defaultJobs() {
  return std::max(1u, std::thread::hardware_concurrency());
}

std::vector<std::vector<std::size_t>> EnginePool::planUnits(const EngineBatch& batch,
                                                            std::size_t servers) {
  const std::size_t count = batch.files.size();
  std::vector<std::size_t> all(count);
  for (std::size_t i = 0; i < count; ++i)
    all[i] = i;
  if (servers <= 1 || count <= 1)
    return {all};

  // Documents whose outputs share a name, in batch order.
  std::map<std::string, std::size_t> byOutput;
  std::vector<std::vector<std::size_t>> groups;
  for (std::size_t i = 0; i < count; ++i) {
    const std::string output = word::outputNameFor(fs::path(batch.files[i]).filename().string());
    auto [it, fresh] = byOutput.emplace(base::lowerAscii(output), groups.size());
    if (fresh)
      groups.emplace_back();
    groups[it->second].push_back(i);
  }
  std::vector<bool> libreOffice(groups.size(), false);
  std::size_t inChunks = 0, native = 0;
  for (std::size_t g = 0; g < groups.size(); ++g) {
    for (std::size_t i : groups[g])
      libreOffice[g] = libreOffice[g] || throughLibreOffice(batch, batch.files[i]);
    (libreOffice[g] ? inChunks : native) += groups[g].size();
  }
  const std::size_t chunk =
      std::clamp<std::size_t>((inChunks + servers - 1) / servers, 1, kMaxLibreOfficeChunk);

  // LibreOffice documents fill chunks of `chunk`. The others fill units that shrink as the
  // batch goes on: each unit costs its server the setup of a batch, so the first are large; the
  // last are single documents, so that the servers end together.
  std::vector<std::vector<std::size_t>> chunks, units;
  std::vector<std::size_t> open, unit;
  std::size_t unitSize = std::max<std::size_t>(1, native / (kUnitsPerServer * servers));
  for (std::size_t g = 0; g < groups.size(); ++g) {
    if (!libreOffice[g]) {
      unit.insert(unit.end(), groups[g].begin(), groups[g].end());
      if (unit.size() >= unitSize) {
        native -= std::min(native, unit.size());
        units.push_back(std::move(unit));
        unit.clear();
        unitSize = std::max<std::size_t>(1, native / (kUnitsPerServer * servers));
      }
      continue;
    }
    open.insert(open.end(), groups[g].begin(), groups[g].end());
    if (open.size() >= chunk) {
      chunks.push_back(std::move(open));
      open.clear();
    }
  }
  if (!open.empty())
    chunks.push_back(std::move(open));
  if (!unit.empty())
    units.push_back(std::move(unit));
  chunks.insert(chunks.end(), units.begin(), units.end());
  for (auto& u : chunks)
    std::sort(u.begin(), u.end());
  return chunks;
}

EnginePool::EnginePool(std::string serverProgram, EngineCallbacks callbacks, std::size_t jobs,
                       std::string marker)
    : callbacks_(std::move(callbacks)) {
  epoll_ = ::epoll_create1(EPOLL_CLOEXEC);
  slots_.resize(std::max<std::size_t>(jobs, 1));
  for (std::size_t i = 0; i < slots_.size(); ++i) {
    EngineCallbacks c;
    c.message = [this, i](const std::string& id, const std::string& msg, const std::string& cur,
                          const std::string& all,
                          const std::string& name) { onMessage(i, id, msg, cur, all, name); };
    c.error = [this, i](int32_t id, const std::string& text) { onError(i, id, text); };
    c.written = [this](const std::string& path) {
      if (callbacks_.written)
        callbacks_.written(path);
    };
    c.fontsUsed = [this](const std::vector<std::string>& fonts) {
      fonts_.insert(fonts.begin(), fonts.end());
    };
    c.batchEnded = [this, i] { onUnitEnded(i); };
    std::string own = marker.empty() || i == 0 ? marker : marker + "-" + std::to_string(i + 1);
    slots_[i].client = std::make_unique<EngineClient>(serverProgram, std::move(c), own);
    slots_[i].client->setFdWatcher([this, i](int fd) { watch(i, fd); });
  }
}

EnginePool::~EnginePool() {
  stop();
  for (Slot& slot : slots_)
    slot.client->setFdWatcher(nullptr);
  if (epoll_ >= 0)
    ::close(epoll_);
}

void EnginePool::watch(std::size_t slot, int fd) {
  Slot& s = slots_[slot];
  if (s.fd == fd)
    return;
  if (s.fd >= 0 && epoll_ >= 0)
    ::epoll_ctl(epoll_, EPOLL_CTL_DEL, s.fd, nullptr); // fails harmlessly for a closed one
  s.fd = fd;
  if (fd >= 0 && epoll_ >= 0) {
    epoll_event in{};
    in.events = EPOLLIN;
    in.data.u64 = slot;
    ::epoll_ctl(epoll_, EPOLL_CTL_ADD, fd, &in);
  }
}

void EnginePool::setFdWatcher(std::function<void(int)> watcher) {
  watcher_ = std::move(watcher);
  if (watcher_)
    watcher_(epoll_);
}

void EnginePool::setProgramResolver(std::function<std::string()> resolve) {
  for (Slot& slot : slots_)
    slot.client->setProgramResolver(resolve);
}

bool EnginePool::start(std::string& error) {
  return startServers(slots_.size(), error);
}

bool EnginePool::startServers(std::size_t count, std::string& error) {
  // All are launched first and then awaited: the servers start at the same time.
  count = std::min(count, slots_.size());
  std::vector<bool> launched(count, false);
  std::string first;
  for (std::size_t i = 0; i < count; ++i) {
    std::string why;
    launched[i] = slots_[i].client->launch(why);
    if (!launched[i] && first.empty())
      first = why;
  }
  bool any = false;
  for (std::size_t i = 0; i < count; ++i) {
    std::string why;
    if (launched[i] && slots_[i].client->awaitReady(why))
      any = true;
    else if (launched[i] && first.empty())
      first = why;
  }
  if (!any)
    error = first;
  return any;
}

std::vector<pid_t> EnginePool::serverPids() const {
  std::vector<pid_t> pids;
  for (const Slot& slot : slots_)
    pids.push_back(slot.client->running() ? slot.client->serverPid() : -1);
  return pids;
}

std::vector<std::string> EnginePool::markers() const {
  std::vector<std::string> all;
  for (const Slot& slot : slots_)
    all.push_back(slot.client->marker());
  return all;
}

// ---- the batch ---------------------------------------------------------------------------

bool EnginePool::beginBatch(const EngineBatch& batch, std::string& error) {
  if (busy_) {
    error = msg::kClientBusy;
    return false;
  }
  batch_ = batch;
  units_ = planUnits(batch_, slots_.size());
  queue_.resize(units_.size());
  for (std::size_t u = 0; u < units_.size(); ++u)
    queue_[u] = u;
  queued_ = 0;
  unitsEnded_ = 0;
  const std::size_t total = batch_.files.size();
  held_.assign(total, {});
  ended_.assign(total, false);
  next_ = nextEvent_ = 0;
  tailMessages_.clear();
  tailErrors_.clear();
  batchEvents_.clear();
  fonts_.clear();
  batchEndSeen_ = batchEndCounted_ = false;
  batchEndText_ = msg::kEventBatchDone;
  lastStartError_.clear();
  endBuilt_ = false;
  end_.clear();
  endNext_ = 0;
  for (Slot& slot : slots_) {
    slot.unit = -1;
    slot.broken = false;
  }
  busy_ = true;
  // The servers this batch can use start together; one that fails to start is retried, and
  // its failure reported, when a unit is handed to it.
  std::string ignored;
  startServers(std::min(slots_.size(), units_.size()), ignored);
  // The font configuration the notice at the batch's end asks is built while the batch runs,
  // not after it. (Installed fonts may change between batches: built anew for each.)
  try {
    fontMatcher_ =
        std::async(std::launch::async, [] { return std::make_unique<word::FontMatcher>(); });
  } catch (const std::system_error&) {
    fontMatcher_ = {}; // no thread to be had: the notice builds it at the end
  }
  assignUnits();
  bool running = false;
  for (const Slot& slot : slots_)
    running = running || slot.unit >= 0;
  if (!running) {
    busy_ = false;
    ++generation_;
    error = lastStartError_;
    return false;
  }
  return true;
}

void EnginePool::assignUnits() {
  if (!busy_)
    return;
  // No more servers than units: a batch of one document keeps one server busy, not all.
  const std::size_t usable = std::min(slots_.size(), units_.size());
  for (std::size_t i = 0; i < usable && queued_ < queue_.size(); ++i) {
    Slot& slot = slots_[i];
    if (slot.unit >= 0 || slot.broken)
      continue;
    const std::size_t unit = queue_[queued_];
    EngineBatch part;
    part.properties = batch_.properties;
    part.docPath = batch_.docPath;
    part.outFolder = batch_.outFolder;
    part.runMode = batch_.runMode;
    for (std::size_t d : units_[unit])
      part.files.push_back(batch_.files[d]);
    if (units_.size() > 1)
      part.wholeBatch = batch_.files;
    // The unit is the slot's before the batch is sent: its events may arrive at once.
    slot.unit = static_cast<long>(unit);
    std::string why;
    if (slot.client->beginBatch(part, why)) {
      ++queued_;
    } else {
      slot.unit = -1;
      slot.broken = true;
      lastStartError_ = why;
    }
  }
  if (queued_ >= queue_.size())
    return;
  for (std::size_t i = 0; i < usable; ++i)
    if (slots_[i].unit >= 0 || !slots_[i].broken)
      return;
  // No server left to take the rest: its documents are reported undone, as one server whose
  // restart failed reports them.
  std::size_t left = 0;
  for (; queued_ < queue_.size(); ++queued_, ++unitsEnded_)
    for (std::size_t d : units_[queue_[queued_]]) {
      ended_[d] = true;
      ++left;
    }
  Event e;
  e.error = true;
  e.errMsg = msg::text(msg::kClientRestUndone, lastStartError_, left);
  batchEvents_.push_back(e);
  batchEndSeen_ = true;
  batchEndCounted_ = true;
}

long EnginePool::documentOf(std::size_t slot, long long local) const {
  const long unit = slots_[slot].unit;
  if (unit < 0 || local < 1 || static_cast<std::size_t>(local) > units_[unit].size())
    return -1;
  return static_cast<long>(units_[unit][static_cast<std::size_t>(local - 1)]);
}

void EnginePool::keep(std::size_t document, Event event) {
  // Events after a document's "100" come from the end of its server's part (LibreOffice
  // exporting and reading back the outputs): they wait for the end of the whole batch.
  if (ended_[document]) {
    (event.error ? tailErrors_ : tailMessages_).emplace_back(document, std::move(event));
    return;
  }
  const bool last = !event.error && event.msgId == "100";
  held_[document].push_back(std::move(event));
  if (last)
    ended_[document] = true;
}

void EnginePool::onMessage(std::size_t slot, const std::string& msgId, const std::string& msg,
                           const std::string& cur, const std::string& all,
                           const std::string& name) {
  if (!busy_)
    return;
  const std::string total = std::to_string(batch_.files.size());
  std::optional<long long> local = base::parseWholeNumber(cur);
  if (msgId == "101") {
    // One "101" ends the whole batch, after everything else.
    batchEndSeen_ = true;
    batchEndCounted_ = batchEndCounted_ || (local && *local != 0);
    batchEndText_ = msg;
    return;
  }
  Event e;
  e.msgId = msgId;
  e.msg = msg;
  e.cur = cur;
  e.all = base::parseWholeNumber(all) ? total : all;
  e.name = name;
  const long document = local ? documentOf(slot, *local) : -1;
  if (document < 0) {
    batchEvents_.push_back(std::move(e));
    return;
  }
  e.cur = std::to_string(document + 1);
  keep(static_cast<std::size_t>(document), std::move(e));
}

void EnginePool::onError(std::size_t slot, int32_t errId, const std::string& errMsg) {
  if (!busy_)
    return;
  Event e;
  e.error = true;
  e.errId = errId;
  e.errMsg = errMsg;
  const long document = documentOf(slot, errId);
  if (document < 0) {
    // Every part reports the same trouble with the batch as a whole (a run mode the engine
    // does not know): once is enough.
    for (const Event& seen : batchEvents_)
      if (seen.error && seen.errId == errId && seen.errMsg == errMsg)
        return;
    batchEvents_.push_back(std::move(e));
    return;
  }
  e.errId = static_cast<int32_t>(document + 1);
  keep(static_cast<std::size_t>(document), std::move(e));
}

void EnginePool::onUnitEnded(std::size_t slot) {
  Slot& s = slots_[slot];
  if (!busy_ || s.unit < 0)
    return;
  // Documents the server never reported (a skipped Main) are over too.
  for (std::size_t d : units_[static_cast<std::size_t>(s.unit)])
    ended_[d] = true;
  s.unit = -1;
  ++unitsEnded_;
}

// ---- delivery ----------------------------------------------------------------------------

void EnginePool::tell(const Event& event) {
  if (event.error) {
    if (callbacks_.error)
      callbacks_.error(event.errId, event.errMsg);
  } else if (callbacks_.message) {
    callbacks_.message(event.msgId, event.msg, event.cur, event.all, event.name);
  }
}

void EnginePool::buildEnd() {
  auto byDocument = [](const auto& a, const auto& b) { return a.first < b.first; };
  std::stable_sort(tailMessages_.begin(), tailMessages_.end(), byDocument);
  std::stable_sort(tailErrors_.begin(), tailErrors_.end(), byDocument);
  for (auto& [d, e] : tailMessages_)
    end_.push_back(std::move(e));
  for (auto& [d, e] : tailErrors_)
    end_.push_back(std::move(e));
  end_.insert(end_.end(), batchEvents_.begin(), batchEvents_.end());
  const std::string total = std::to_string(batch_.files.size());
  if (!fonts_.empty()) {
    std::unique_ptr<word::FontMatcher> matcher;
    try {
      if (fontMatcher_.valid())
        matcher = fontMatcher_.get();
    } catch (...) {
      // Built again below.
    }
    const std::string standIns =
        matcher ? word::standInNotice(fonts_, *matcher) : word::standInNotice(fonts_);
    if (!standIns.empty()) {
      Event e;
      e.msgId = "3";
      e.msg = standIns;
      e.cur = "0";
      e.all = total;
      end_.push_back(std::move(e));
    }
  }
  if (batchEndSeen_) {
    Event e;
    e.msgId = "101";
    e.msg = batchEndText_;
    e.cur = batchEndCounted_ ? total : "0";
    e.all = total;
    end_.push_back(std::move(e));
  }
  endBuilt_ = true;
}

void EnginePool::deliver() {
  if (delivering_)
    return;
  delivering_ = true;
  const unsigned generation = generation_;
  // A callback may stop the pool or run an event loop that reads more: each step looks again.
  while (busy_ && generation == generation_) {
    if (next_ < held_.size()) {
      std::vector<Event>& events = held_[next_];
      if (nextEvent_ < events.size()) {
        const Event e = events[nextEvent_++];
        tell(e);
        continue;
      }
      if (!ended_[next_])
        break;
      events.clear();
      events.shrink_to_fit();
      ++next_;
      nextEvent_ = 0;
      continue;
    }
    if (unitsEnded_ < units_.size())
      break;
    if (!endBuilt_)
      buildEnd();
    if (endNext_ < end_.size()) {
      const Event e = end_[endNext_++];
      tell(e);
      continue;
    }
    endBatch();
    break;
  }
  delivering_ = false;
}

void EnginePool::endBatch() {
  busy_ = false;
  ++generation_;
  batch_ = EngineBatch{};
  units_.clear();
  held_.clear();
  end_.clear();
  if (callbacks_.batchEnded)
    callbacks_.batchEnded();
}

void EnginePool::processInput() {
  for (Slot& slot : slots_)
    slot.client->processInput();
  assignUnits();
  deliver();
}

void EnginePool::waitForBatch() {
  while (busy_) {
    pollfd p{epoll_, POLLIN, 0};
    // A timeout, so that a state no descriptor announces is looked at again.
    int n = ::poll(&p, 1, 500);
    if (n < 0 && errno != EINTR)
      break;
    processInput();
  }
}

void EnginePool::stop(std::chrono::milliseconds grace) {
  busy_ = false;
  ++generation_;
  // All are asked first, then each is waited for: the servers end at the same time.
  for (Slot& slot : slots_) {
    slot.unit = -1;
    slot.client->askToQuit();
  }
  for (Slot& slot : slots_)
    slot.client->stop(grace);
}

} // namespace app
