#include "tools/output_file.hpp"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <system_error>

namespace rcpspdc {

namespace {

std::string reason(int error) { return std::generic_category().message(error); }

FileOutcome unwritable(std::string why) {
  return FileOutcome{FileFault::cannot_write, std::move(why)};
}

// Takes the exclusive lock of `fd` without waiting.
FileOutcome take_lock(int fd, const std::string& path) {
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return {};
  if (errno == EWOULDBLOCK)
    return unwritable(path + " is locked: another run is writing it (nothing was changed)");
  return unwritable("cannot lock " + path + ": " + reason(errno));
}

// Whether a file could be created at `path`: its directory exists and is writable.
FileOutcome could_create(const std::string& path) {
  std::filesystem::path parent = std::filesystem::path(path).parent_path();
  if (parent.empty()) parent = ".";
  if (access(parent.c_str(), W_OK | X_OK) != 0)
    return unwritable("cannot write " + path + ": " + reason(errno));
  return {};
}

}  // namespace

OutputFile::~OutputFile() { close(); }

FileOutcome OutputFile::open(const std::string& path, std::FILE* out, bool probe) {
  name_ = path == "-" ? "standard output" : path;
  path_ = path;
  if (path == "-") {
    stream_ = probe ? nullptr : out;
    return {};
  }
  struct stat before {};
  const bool existed = stat(path.c_str(), &before) == 0;
  if (probe && !existed) return could_create(path);
  const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | (probe ? 0 : O_CREAT), 0666);
  if (fd < 0) return unwritable("cannot write " + path + ": " + reason(errno));
  struct stat info {};
  fstat(fd, &info);
  // Two runs could only garble a regular file; a device or a pipe (say
  // /dev/null for rows nobody keeps) may be shared.
  const FileOutcome problem = S_ISREG(info.st_mode) ? take_lock(fd, path) : FileOutcome{};
  if (!problem.ok() || probe) {
    ::close(fd);
    if (!existed && !probe) unlink(path.c_str());
    return problem;
  }
  fd_ = fd;
  created_ = !existed;
  regular_ = S_ISREG(info.st_mode);
  return {};
}

bool OutputFile::replace(const std::string& text) {
  if (fd_ >= 0 && regular_ && (ftruncate(fd_, 0) != 0 || lseek(fd_, 0, SEEK_SET) != 0))
    failed_ = true;
  return put(text);
}

bool OutputFile::put(const std::string& text) {
  if (failed_) return false;
  if (stream_ != nullptr) {
    failed_ = std::fputs(text.c_str(), stream_) < 0 || std::fflush(stream_) != 0;
  } else if (fd_ >= 0) {
    written_ = true;
    for (std::size_t at = 0; at < text.size() && !failed_;) {
      const ssize_t wrote = ::write(fd_, text.data() + at, text.size() - at);
      if (wrote > 0)
        at += static_cast<std::size_t>(wrote);
      else if (wrote < 0 && errno != EINTR)
        failed_ = true;
    }
  }
  return !failed_;
}

bool OutputFile::close() {
  bool ok = !failed_;
  if (stream_ != nullptr) ok = std::fflush(stream_) == 0 && std::ferror(stream_) == 0 && ok;
  if (fd_ >= 0) ok = ::close(fd_) == 0 && ok;  // the lock goes with the descriptor
  stream_ = nullptr;
  fd_ = -1;
  return ok;
}

void OutputFile::abandon() {
  const bool remove = fd_ >= 0 && created_ && !written_;
  close();
  if (remove) unlink(path_.c_str());
}

DirectoryLock::~DirectoryLock() {
  if (fd_ >= 0) ::close(fd_);
}

FileOutcome DirectoryLock::lock(const std::string& path, bool probe) {
  std::error_code ignored;
  if (!std::filesystem::is_directory(path, ignored)) {
    if (probe) return could_create(path);
    if (!std::filesystem::create_directories(path, ignored))
      return unwritable("cannot create the directory " + path);
  }
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return unwritable("cannot open the directory " + path + ": " + reason(errno));
  const FileOutcome problem = access(path.c_str(), W_OK | X_OK) != 0
                                  ? unwritable("cannot write in " + path + ": " + reason(errno))
                                  : take_lock(fd, path);
  if (!problem.ok() || probe) {
    ::close(fd);
    return problem;
  }
  fd_ = fd;
  return {};
}

}  // namespace rcpspdc
