#include "word/filetypes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>

namespace word {

bool isOoxmlExtension(const std::string& ext) {
  return ext == ".docx" || ext == ".docm" || ext == ".dotx" || ext == ".dotm";
}

bool isLegacyExtension(const std::string& ext) {
  return ext == ".doc" || ext == ".dot" || ext == ".rtf" || ext == ".wps" || ext == ".wpt" ||
         ext == ".odt" || ext == ".ott";
}

SourceKind sourceKind(const std::string& path, const char* magic) {
  std::string ext = lowerExtension(path);
  bool zip = magic[0] == 'P' && magic[1] == 'K';
  bool ole = std::memcmp(magic, "\xD0\xCF\x11\xE0", 4) == 0;
  bool rtf = std::strncmp(magic, "{\\rtf", 5) == 0;
  // Content decides where it is unambiguous: an OLE compound file is a Word 97-2003 (or WPS,
  // Works, encrypted) document whatever its name says, and only LibreOffice reads it; RTF is
  // text LibreOffice reads. A zip is OOXML unless its name says ODF.
  if (ole)
    return SourceKind::Legacy;
  if (ext == ".txt")
    return SourceKind::Text;
  if (rtf)
    return SourceKind::Legacy;
  if (isOoxmlExtension(ext) || (zip && !isLegacyExtension(ext)))
    return SourceKind::Ooxml;
  if (isLegacyExtension(ext))
    return SourceKind::Legacy;
  return SourceKind::Unsupported;
}

bool needsConversion(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size == 0 ||
      ::access(path.c_str(), R_OK) != 0)
    return false;
  char magic[8] = {};
  {
    std::ifstream in(path, std::ios::binary);
    in.read(magic, sizeof magic);
  }
  return sourceKind(path, magic) == SourceKind::Legacy;
}

SaveFormat saveFormatFor(const std::string& path, bool readThroughLibreOffice) {
  const std::string ext = lowerExtension(path);
  if (isOoxmlExtension(ext))
    return SaveFormat::Ooxml;
  if (ext == ".doc" || ext == ".dot" || ext == ".wps" || ext == ".wpt")
    return SaveFormat::Doc;
  if (ext == ".rtf")
    return SaveFormat::Rtf;
  if (ext == ".odt" || ext == ".ott")
    return SaveFormat::Odt;
  return readThroughLibreOffice ? SaveFormat::Doc : SaveFormat::Ooxml;
}

const char* converterFormat(SaveFormat format) {
  switch (format) {
  case SaveFormat::Doc:
    return "doc";
  case SaveFormat::Rtf:
    return "rtf";
  case SaveFormat::Odt:
    return "odt";
  case SaveFormat::Ooxml:
    break;
  }
  return "";
}

std::string outputNameFor(const std::string& fileName) {
  if (fileName.size() >= 4 && base::equalsNoCase(fileName.substr(fileName.size() - 4), ".txt"))
    return fileName.substr(0, fileName.size() - 4) + ".doc";
  return fileName;
}

} // namespace word
