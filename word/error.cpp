#include "word/error.h"

namespace word {

static std::string joinMessage(const std::string& file, const std::string& part,
                               const std::string& reason) {
  std::string m;
  if (!file.empty())
    m += file + ": ";
  if (!part.empty())
    m += part + ": ";
  return m + reason;
}

DocumentError::DocumentError(std::string file, std::string part, std::string reason)
    : std::runtime_error(joinMessage(file, part, reason)), file_(std::move(file)),
      part_(std::move(part)), reason_(std::move(reason)) {}

DocumentError DocumentError::withFile(const std::string& file) const {
  if (!file_.empty())
    return *this;
  return DocumentError(file, part_, reason_);
}

} // namespace word
