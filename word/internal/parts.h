#pragma once
// Names of package parts and the namespaces, relationship types and content types the model
// writes when it adds parts (headers, footers, settings, pictures).

#include <string>

namespace word {

inline constexpr const char* kRelNs =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
inline constexpr const char* kRelTypeBase =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
inline constexpr const char* kHeaderContentType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.header+xml";
inline constexpr const char* kFooterContentType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.footer+xml";
inline constexpr const char* kSettingsContentType =
    "application/vnd.openxmlformats-officedocument.wordprocessingml.settings+xml";
inline constexpr const char* kVmlNs = "urn:schemas-microsoft-com:vml";
inline constexpr const char* kOfficeNs = "urn:schemas-microsoft-com:office:office";
inline constexpr const char* kWordVmlNs = "urn:schemas-microsoft-com:office:word";

// The folder of a part, with its final slash ("word/document.xml" -> "word/").
inline std::string folderOf(const std::string& part) {
  size_t slash = part.rfind('/');
  return slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
}

// The part holding the relationships of `part` ("word/header1.xml" ->
// "word/_rels/header1.xml.rels"; "" is the package itself).
inline std::string relsPartOf(const std::string& part) {
  size_t slash = part.rfind('/');
  std::string dir = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
  std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
  return dir + "_rels/" + file + ".rels";
}

} // namespace word
