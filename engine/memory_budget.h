#pragma once
// How much memory a run may still take, and whether a document's run fits in it. A document
// too large for the memory left is refused before its steps start, with a reason that says
// how much it needs and how much there is, instead of failing half-way for want of memory.

#include <cstdint>
#include <optional>
#include <string>

namespace engine {

// Bytes this process may still allocate: the least of the memory the system has available,
// what the process's control group still allows and what its address-space and data limits
// leave, as read at most 250 ms ago (by this thread). std::nullopt when none of them can be
// read.
std::optional<uint64_t> availableMemory();

// What a run of `runMode` adds to an opened document of `paragraphs` paragraphs (text of the
// main story, tables included), in bytes. The full run writes every paragraph's format and
// fonts; the partial runs touch sections, headers or existing sizes only.
uint64_t runMemoryEstimate(int64_t paragraphs, const std::string& runMode);

// The reason a run does not fit, or std::nullopt when it does (or when nothing is known
// about the memory left). The reason is the catalogue's text, ready to report.
std::optional<std::string> memoryShortfall(int64_t paragraphs, const std::string& runMode,
                                           std::optional<uint64_t> available);

} // namespace engine
