#pragma once
// Picture files: their kind and natural size, read from the first bytes (PNG, JPEG, GIF, BMP).

#include <optional>
#include <string>

namespace word {

struct PictureInfo {
  const char* ext;
  const char* contentType;
  double widthPt = 0, heightPt = 0;
};

// Kind and natural size of a picture from its bytes, or nothing when it is not one.
std::optional<PictureInfo> probePicture(const std::string& bytes);

} // namespace word
