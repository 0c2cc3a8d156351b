#include "word/internal/pictures.h"

#include <cmath>
#include <cstdint>

namespace word {

namespace {

uint32_t be32(const std::string& b, size_t i) {
  return (uint32_t(uint8_t(b[i])) << 24) | (uint32_t(uint8_t(b[i + 1])) << 16) |
         (uint32_t(uint8_t(b[i + 2])) << 8) | uint32_t(uint8_t(b[i + 3]));
}
uint32_t be16(const std::string& b, size_t i) {
  return (uint32_t(uint8_t(b[i])) << 8) | uint32_t(uint8_t(b[i + 1]));
}
uint32_t le16(const std::string& b, size_t i) {
  return uint32_t(uint8_t(b[i])) | (uint32_t(uint8_t(b[i + 1])) << 8);
}
int32_t le32(const std::string& b, size_t i) {
  return static_cast<int32_t>(le16(b, i) | (le16(b, i + 2) << 16));
}

} // namespace

std::optional<PictureInfo> probePicture(const std::string& b) {
  double w = 0, h = 0, dpiX = 96, dpiY = 96;
  PictureInfo info{};
  if (b.size() >= 24 && !b.compare(0, 8, "\x89PNG\r\n\x1a\n", 8) && !b.compare(12, 4, "IHDR")) {
    info = {"png", "image/png"};
    w = be32(b, 16);
    h = be32(b, 20);
    for (size_t pos = 8; pos + 8 <= b.size();) {
      uint32_t len = be32(b, pos);
      std::string type = b.substr(pos + 4, 4);
      if (type == "pHYs" && len >= 9 && pos + 17 <= b.size() && b[pos + 16] == 1) {
        dpiX = be32(b, pos + 8) * 0.0254;
        dpiY = be32(b, pos + 12) * 0.0254;
      }
      if (type == "IDAT" || len > b.size())
        break;
      pos += 12 + static_cast<size_t>(len);
    }
  } else if (b.size() >= 4 && uint8_t(b[0]) == 0xFF && uint8_t(b[1]) == 0xD8) {
    info = {"jpeg", "image/jpeg"};
    size_t pos = 2;
    while (pos + 4 <= b.size()) {
      if (uint8_t(b[pos]) != 0xFF)
        break;
      uint8_t m = uint8_t(b[pos + 1]);
      if (m == 0xFF) {
        ++pos;
        continue;
      }
      if (m == 0x01 || (m >= 0xD0 && m <= 0xD8)) {
        pos += 2;
        continue;
      }
      uint32_t len = be16(b, pos + 2);
      if (m == 0xE0 && pos + 16 <= b.size() && !b.compare(pos + 4, 5, "JFIF\0", 5)) {
        uint8_t units = uint8_t(b[pos + 11]);
        double dx = be16(b, pos + 12), dy = be16(b, pos + 14);
        if (units == 1)
          dpiX = dx, dpiY = dy;
        else if (units == 2)
          dpiX = dx * 2.54, dpiY = dy * 2.54;
      }
      if (m >= 0xC0 && m <= 0xCF && m != 0xC4 && m != 0xC8 && m != 0xCC && pos + 9 <= b.size()) {
        h = be16(b, pos + 5);
        w = be16(b, pos + 7);
        break;
      }
      if (m == 0xDA || len < 2)
        break;
      pos += 2 + len;
    }
  } else if (b.size() >= 10 && (!b.compare(0, 6, "GIF87a") || !b.compare(0, 6, "GIF89a"))) {
    info = {"gif", "image/gif"};
    w = le16(b, 6);
    h = le16(b, 8);
  } else if (b.size() >= 26 && b[0] == 'B' && b[1] == 'M') {
    info = {"bmp", "image/bmp"};
    uint32_t dib = static_cast<uint32_t>(le32(b, 14));
    if (dib == 12) {
      w = le16(b, 18);
      h = le16(b, 20);
    } else if (dib >= 40 && b.size() >= 46) {
      w = le32(b, 18);
      h = std::abs(static_cast<double>(le32(b, 22)));
      int32_t px = le32(b, 38), py = le32(b, 42);
      if (px > 0)
        dpiX = px * 0.0254;
      if (py > 0)
        dpiY = py * 0.0254;
    }
  } else {
    return std::nullopt;
  }
  if (!(w >= 1 && w <= 100000 && h >= 1 && h <= 100000))
    return std::nullopt;
  if (!(dpiX >= 1 && dpiX <= 10000))
    dpiX = 96;
  if (!(dpiY >= 1 && dpiY <= 10000))
    dpiY = 96;
  info.widthPt = w * 72.0 / dpiX;
  info.heightPt = h * 72.0 / dpiY;
  return info;
}

} // namespace word
