#pragma once
// The failure of one step on one document.

#include <stdexcept>

namespace engine {

// A step cannot be done on the current document (for example a setting that is not a number).
// Its text is the reason, in Chinese, naming the setting where one is at fault; the batch
// reports it for the document and goes on with the next one.
class StepError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

} // namespace engine
