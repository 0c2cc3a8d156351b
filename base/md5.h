#pragma once
// MD5 (RFC 1321). Not for security: it names things the way another program names them (the
// pipe a LibreOffice listens on is named by the MD5 of its profile's address).

#include <array>
#include <cstdint>
#include <string_view>

namespace base {

std::array<std::uint8_t, 16> md5(std::string_view bytes);

} // namespace base
