#pragma once
// LibreOffice headless as a converter for legacy formats (.doc, .rtf, .wps, .odt) and PDF.

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace word {

class KeptOffice;

struct ConversionJob {
  std::string input;  // source file (read only)
  std::string output; // wanted output file; its extension chooses the filter
  std::string format; // "" = from output's extension; else "docx", "doc", "pdf", "odt", "rtf",
                      // "txt" (for an output whose name does not end in its format, e.g. .TXT)
  std::string error;  // set on failure: a reason a person can act on
  bool ok = false;
};

// Knobs of one convertFiles call. The defaults are what the program uses; tests shorten the
// time limit or point at another executable.
struct ConvertOptions {
  std::chrono::milliseconds baseTimeLimit{60'000};   // per soffice start
  std::chrono::milliseconds perMiBTimeLimit{10'000}; // per MiB of input in that start
  std::chrono::milliseconds perFileTimeLimit{5'000}; // per input file beyond the first
  std::string soffice;                               // executable; "" = findSoffice()
  size_t maxFilesPerCall = 50;                       // inputs handed to one soffice start
  // soffice starts that may run at once, each with its own profile. Above 1 the inputs of a
  // format are spread over that many starts (each still at most maxFilesPerCall), so a batch
  // uses several cores; start-up is then paid once per start, at the same time.
  size_t parallelStarts = 1;
  // A folder (made by the caller, removed by it) where the user profile of a start that ended
  // well is kept for the next start of the same caller: LibreOffice sets up a new profile and
  // then restarts itself, which a start on a kept one does not. "" = every start makes its own.
  // A profile is used by one start at a time; starts that find none kept make their own.
  std::string profileShelf;
  // A LibreOffice kept running for this caller's later starts (see KeptOffice); null = every
  // start is a LibreOffice of its own. Needs a profile shelf.
  KeptOffice* office = nullptr;

  // The defaults, with as many starts at once as the processor has cores: for callers that
  // convert a batch in one call (merge, print, the check, PDF rendering). An engine server
  // keeps one, since the servers themselves run one per core.
  static ConvertOptions onEveryCore();
};

// A LibreOffice kept running between the starts of one caller: a batch reads its legacy
// sources, exports its outputs and reads those back, three starts that would each pay
// LibreOffice's start-up. The first start launches the kept office, on a profile a start set up
// earlier: one on the caller's shelf, else a copy of the one kept in the user's cache. (An
// office cannot set up a new profile: LibreOffice restarts itself then, which an office holding
// a document open does not survive. So the very first start of a user runs on its own, and its
// profile is kept in the cache.) The office holds a small document open so that it stays.
// Starts hand their files to it over LibreOffice's own single-instance pipe: the soffice
// started for them passes them on and waits until they are converted. Starts go through it one
// at a time; one that finds it busy runs on its own.
// A start through it that fails or runs out of time ends it (with its whole process group and
// the pipes it made), and later starts run on their own again; so does an office that is not
// ready in time. The destructor ends it.
class KeptOffice {
public:
  KeptOffice();
  ~KeptOffice();
  KeptOffice(const KeptOffice&) = delete;
  KeptOffice& operator=(const KeptOffice&) = delete;

  // How many times it was launched, and whether it runs now (for tests and statistics).
  unsigned launches() const;
  bool running() const;

  struct State;

private:
  std::unique_ptr<State> state_;
  friend struct OfficeAccess;
};

// Converts many files, starting soffice once per output format (up to maxFilesPerCall inputs
// per start, spread over up to parallelStarts starts running at once) to pay its start-up once
// per batch. Each start uses a private user profile in a
// temporary folder and a time limit that grows with the inputs (base + per MiB + per file);
// on timeout the whole soffice process group is killed and every job of that start fails.
// Every output is checked to exist, be non-empty and start like its format, then copied into
// place atomically (temporary file in the target folder, fsync, rename). Never throws: each
// job reports. Filters: .docx "MS Word 2007 XML", .doc "MS Word 97", .pdf "writer_pdf_Export",
// .odt, .rtf "Rich Text Format", .txt "Text (encoded)" in UTF-8.
// Inputs are copied under plain ASCII names into a private folder first, so any file name (also
// two inputs with the same base name) works in one start and the source is never touched.
// Inputs that are binary but none of the container formats LibreOffice reads (OLE2, zip, RTF,
// Word 1/2, WordPerfect, Write) are refused up front: LibreOffice would import such bytes as
// plain text and report success. An output that resolves to its own input is refused.
void convertFiles(std::vector<ConversionJob>& jobs, const ConvertOptions& options = {});

// Convenience for one file; throws DocumentError naming the input on failure.
void convertFile(const std::string& input, const std::string& output);

// Path of the soffice executable, or "" when LibreOffice is not installed.
std::string findSoffice();
// The message used when LibreOffice is missing (names the Debian package).
std::string sofficeMissingMessage();
// How many times this process has started LibreOffice so far: starts that ran on their own and
// kept offices launched, not the starts that handed their files to one (for tests and
// statistics).
unsigned sofficeLaunchCount();
// The GLIBC_TUNABLES entry soffice is started with, given the caller's own value (null when
// unset). soffice allocates and frees large blocks all through its start and each conversion;
// with the C library's defaults each goes back to the system and is faulted in again (about
// 300 000 page faults per start, over half its processor time). Ours keep them in the heap;
// the caller's own tunables follow ours, so a setting of theirs wins.
std::string sofficeMallocTunables(const char* callers);

// The name of the pipe (in /tmp, or /var/tmp) a LibreOffice on the profile at `profileUrl`
// listens on for later starts on the same profile: "OSL_PIPE_<uid>_SingleOfficeIPC_" and the
// MD5 of the address in UTF-16LE, each byte in hexadecimal without a leading zero. A soffice
// that crashes or is killed leaves it behind.
std::string sofficePipeName(const std::string& profileUrl);

} // namespace word
