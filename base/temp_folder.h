#pragma once
// Private temporary folders.
//
// Every temporary folder of the program is made here: under the system's temporary folder, by
// mkdtemp (so with mode 0700 and a name no other process can take first), and named
// "<prefix>-XXXXXX" so that one left behind by a crash says whose it is.

#include <string>
#include <string_view>

namespace base {

// The folder temporary files go into: the one std::filesystem::temp_directory_path() names
// (TMPDIR and its relatives) when it is an absolute path to an existing folder, else "/tmp".
std::string systemTempFolder();

// The user's own cache folder for the program: "quillfold" in XDG_CACHE_HOME (when absolute)
// or in ~/.cache; "" when neither is known. Not made here.
std::string userCacheFolder();

// Makes a fresh folder "<parent>/<prefix>-XXXXXX" (parent "" means systemTempFolder()).
// Returns its path, or "" with `error` (when given) set to the errno.
std::string makeTempFolder(std::string_view prefix, const std::string& parent = {},
                           int* error = nullptr);

// A private temporary folder for as long as the object lives: removed with everything in it
// by the destructor. When it could not be made, path() is "" and error() the errno.
class TempFolder {
public:
  explicit TempFolder(std::string_view prefix, const std::string& parent = {});
  ~TempFolder();
  TempFolder(TempFolder&& other) noexcept;
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  bool made() const { return !path_.empty(); }
  int error() const { return error_; }

private:
  std::string path_;
  int error_ = 0;
};

} // namespace base
