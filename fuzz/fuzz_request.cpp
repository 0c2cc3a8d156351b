// Fuzz target for the engine server's request parser: any line must be decoded or refused with
// a reason, never crash, never throw; a decoded request must encode to a line that decodes to
// the same request. Memory stays bounded by the request bounds whatever the line's shape.
//
// Built twice: as a libFuzzer target (QF_FUZZ) and as a replay program (QF_FUZZ_REPLAY) that
// runs every stored input once, as a regular test.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "app/server/protocol.h"

namespace {

void exercise(std::string_view line) {
  using app::protocol::Request;
  std::string error;
  std::optional<Request> request = app::protocol::decodeRequest(line, error);
  if (!request) {
    if (error.empty()) {
      std::fprintf(stderr, "a refused request has no reason\n");
      std::abort();
    }
    return;
  }
  // Only requests with valid UTF-8 texts survive a round trip unchanged (the encoder replaces
  // bad bytes); the decoded form of the encoding must decode in any case.
  std::string again = app::protocol::encode(*request);
  std::string error2;
  std::optional<Request> back =
      app::protocol::decodeRequest(std::string_view(again).substr(0, again.size() - 1), error2);
  if (!back || back->op != request->op) {
    std::fprintf(stderr, "an encoded request does not decode again: %s\n", error2.c_str());
    std::abort();
  }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  exercise(std::string_view(reinterpret_cast<const char*>(data), size));
  return 0;
}

#ifdef QF_FUZZ_REPLAY
#include "replay_main.h"
#endif
