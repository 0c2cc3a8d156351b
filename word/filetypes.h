#pragma once
// How a file is read and written, by its extension and its first bytes.

#include <string>

#include "base/ascii.h"

namespace word {

// The extension of `path` with its dot, lowered: "A.DOCX" -> ".docx"; "" when there is none.
using base::lowerExtension;
// .docx .docm .dotx .dotm
bool isOoxmlExtension(const std::string& ext);
// .doc .dot .rtf .wps .wpt .odt .ott: read and written through LibreOffice.
bool isLegacyExtension(const std::string& ext);

enum class SourceKind { Text, Ooxml, Legacy, Unsupported };
// How Application::open reads a file whose first bytes are `magic` (at least 8, zero-padded):
// OLE content through LibreOffice whatever the name; .txt as text; RTF content through
// LibreOffice; OOXML extensions and zip content natively; legacy extensions through LibreOffice.
SourceKind sourceKind(const std::string& path, const char* magic);
// True when Application::open would read `path` through LibreOffice. Files it refuses before
// converting (missing, empty, unreadable, folders) answer false, so open() reports them.
bool needsConversion(const std::string& path);

// The format a document is saved in.
enum class SaveFormat {
  Ooxml, // natively, whatever the extension
  Doc,   // Word 97-2003, through LibreOffice
  Rtf,   // through LibreOffice
  Odt,   // through LibreOffice
};
// The format of an output named `path`, by its extension (any case): .docx .docm .dotx .dotm
// OOXML; .doc .dot Word 97-2003, and .wps .wpt too (LibreOffice writes no WPS format; WPS
// opens Word 97-2003 content); .rtf; .odt .ott. Any other extension, or none, keeps the family
// the document came in: Word 97-2003 when LibreOffice read it (`readThroughLibreOffice`),
// OOXML otherwise.
SaveFormat saveFormatFor(const std::string& path, bool readThroughLibreOffice);
// The converter's name of a format LibreOffice writes ("doc", "rtf", "odt"); "" for OOXML.
const char* converterFormat(SaveFormat format);

// The name a batch gives the output of the source named `fileName` (a bare name): ".txt" (any
// case) becomes ".doc", so that the text is written as a Word document; other names stay.
std::string outputNameFor(const std::string& fileName);

} // namespace word
