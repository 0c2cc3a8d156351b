#pragma once
// Failures of one document: the only exception type the document model throws.

#include <stdexcept>
#include <string>

namespace word {

// A failure that ends the work on one document. `file` is the document's path (may be empty
// while it is not yet known), `part` the package part or step concerned (may be empty) and
// `reason` a sentence a person can act on. what() joins them as "file: part: reason".
class DocumentError : public std::runtime_error {
public:
  DocumentError(std::string file, std::string part, std::string reason);
  explicit DocumentError(std::string reason) : DocumentError({}, {}, std::move(reason)) {}

  const std::string& file() const { return file_; }
  const std::string& part() const { return part_; }
  const std::string& reason() const { return reason_; }

  // Returns a copy that names `file` (used when a lower layer did not know the path).
  DocumentError withFile(const std::string& file) const;

private:
  std::string file_, part_, reason_;
};

} // namespace word
