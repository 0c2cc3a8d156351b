#include "app/cli/common.h"

#include <cerrno>
#include <filesystem>
#include <ostream>

#include <fmt/format.h>
#include <unistd.h>

#include "base/messages.h"
#include "base/utf8.h"
#include "settings/inifile.h"

namespace fs = std::filesystem;

namespace quillfold::cli {

void prepareOutputFolder(const std::string& folder) {
  std::error_code ec;
  const fs::path path(folder);
  if (fs::exists(fs::symlink_status(path, ec)) && !fs::is_directory(path, ec))
    throw UsageError(msg::text(msg::kCliOutputNotFolder, folder));
  fs::create_directories(path, ec);
  if (ec)
    throw UsageError(
        msg::text(msg::kCliOutputCannotCreate, folder, settings::systemErrorText(ec.value())));
  if (!fs::is_directory(path, ec))
    throw UsageError(msg::text(msg::kCliOutputNotFolder, folder));
  if (::access(path.c_str(), W_OK | X_OK) != 0)
    throw UsageError(
        msg::text(msg::kCliOutputNotWritable, folder, settings::systemErrorText(errno)));
}

int reportUsage(std::ostream& err, std::string_view reason) {
  err << msg::text(msg::kCliPrefix, terminalSafe(reason)) << '\n' << std::flush;
  return kExitUsage;
}

// ---- terminal-safe text ------------------------------------------------------------------

std::string terminalSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c < 0x20 || c == 0x7F) {
      switch (c) {
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += fmt::format("\\x{:02x}", c);
      }
      ++i;
      continue;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
      ++i;
      continue;
    }
    const size_t len = base::utf8SequenceLength(text, i);
    if (len == 0) {
      out += fmt::format("\\x{:02x}", c);
      ++i;
      continue;
    }
    size_t next = i;
    const char32_t cp = base::decodeUtf8(text, next);
    const bool invisible = (cp >= 0x80 && cp <= 0x9F) || cp == 0x200E || cp == 0x200F ||
                           (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069);
    if (invisible)
      out += fmt::format("\\u{:04x}", static_cast<unsigned>(cp));
    else
      out.append(text.substr(i, len));
    i += len;
  }
  return out;
}

} // namespace quillfold::cli
