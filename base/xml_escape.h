#pragma once
// Text written into XML that this program builds as text (a fragment parsed later, a
// configuration file another program reads): the characters markup gives a meaning, and the
// white space an attribute value would lose to normalisation, as references. The result reads
// back as the same text in element content and in attribute values alike.

#include <string>
#include <string_view>

namespace base {

inline void appendXmlEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
    case '&':
      out += "&amp;";
      break;
    case '<':
      out += "&lt;";
      break;
    case '>':
      out += "&gt;";
      break;
    case '"':
      out += "&quot;";
      break;
    case '\t':
      out += "&#9;";
      break;
    case '\n':
      out += "&#10;";
      break;
    case '\r':
      out += "&#13;";
      break;
    default:
      out += c;
    }
  }
}

inline std::string xmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  appendXmlEscaped(out, text);
  return out;
}

} // namespace base
