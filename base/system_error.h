#pragma once
// A system error number as a Chinese reason from the catalogue (strerror and
// std::error_code::message() speak English, and their text depends on the locale).

#include <cerrno>
#include <string>

#include "base/messages.h"

namespace msg {

inline std::string systemError(int errnum) {
  switch (errnum) {
  case EACCES:
  case EPERM:
    return kErrNoAccess;
  case ENOENT:
    return kErrNotFound;
  case EISDIR:
    return kErrIsFolder;
  case ENOTDIR:
    return kErrNotFolder;
  case EROFS:
    return kErrReadOnlyFs;
  case ENOSPC:
    return kErrNoSpace;
  case EDQUOT:
    return kErrQuota;
  case ENAMETOOLONG:
    return kErrNameTooLong;
  case ELOOP:
    return kErrLoop;
  case EFBIG:
    return kErrTooBig;
  case EIO:
    return kErrIo;
  default:
    return text(kErrOther, errnum);
  }
}

} // namespace msg
