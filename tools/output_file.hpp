// The outputs of a batch run. A named regular file is opened without cutting
// it and locked (flock, exclusive) for the whole run, so a second run on the
// same file is refused before it changes anything; it is cut only once every
// output of the run has been opened and checked. Devices and pipes are not
// locked.
#pragma once

#include <cstdio>
#include <string>

#include "formats/file_outcome.hpp"

namespace rcpspdc {

class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Opens and locks `path` ("-": the stream `out`), creating it if needed;
  // with `probe` only checks that this could be done, creating nothing.
  // Fails with why not, naming the file.
  FileOutcome open(const std::string& path, std::FILE* out, bool probe = false);
  bool is_open() const { return fd_ >= 0 || stream_ != nullptr; }
  // A regular file, which can be cut and rewritten (not a device or a pipe).
  bool regular() const { return regular_; }
  // The file's name in messages ("standard output" for "-").
  const std::string& name() const { return name_; }

  // Cuts the file and writes `text` as its whole content.
  bool replace(const std::string& text);
  // Appends `text` and flushes it, so a stopped run keeps every line written.
  bool put(const std::string& text);
  // Closes the file; true when everything written reached it.
  bool close();
  // Closes, removing the file when this run created it and wrote nothing to it.
  void abandon();

 private:
  std::string name_;
  std::string path_;
  int fd_ = -1;
  std::FILE* stream_ = nullptr;  // standard output
  bool regular_ = false;
  bool created_ = false;
  bool written_ = false;
  bool failed_ = false;
};

// A directory locked the same way, for the pictures of a run.
class DirectoryLock {
 public:
  DirectoryLock() = default;
  DirectoryLock(const DirectoryLock&) = delete;
  DirectoryLock& operator=(const DirectoryLock&) = delete;
  ~DirectoryLock();
  // Creates `path` if needed (unless `probe`) and locks it; fails with why not.
  FileOutcome lock(const std::string& path, bool probe = false);

 private:
  int fd_ = -1;
};

}  // namespace rcpspdc
