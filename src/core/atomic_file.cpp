#include "core/atomic_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <string>
#include <system_error>

#include "core/interrupt.hpp"

namespace tarnwick {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void fail(const fs::path& target, int err) {
  throw fs::filesystem_error("cannot write the file", target, std::error_code(err, std::generic_category()));
}

// Where the bytes end up: the target itself, or the file that the symbolic link at the target (and
// any link it names in turn) leads to; the links stay links. A link to a file that is not there
// yet leads to where that file is made.
fs::path destination(const fs::path& target) {
  fs::path at = target;
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code ec;
    if (!fs::is_symlink(fs::symlink_status(at, ec))) return at;
    const fs::path next = fs::read_symlink(at, ec);
    if (ec) fail(target, ec.value());
    at = next.is_absolute() ? next : at.parent_path() / next;
  }
  fail(target, ELOOP);
}

// Removes the temporary file unless the rename took it over; closes the descriptor if still open.
class TemporaryFile {
 public:
  TemporaryFile(const fs::path& dest, const fs::path& target) : target_(target) {
    const fs::path dir = dest.has_parent_path() ? dest.parent_path() : fs::path(".");
    std::random_device entropy;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const unsigned long tag = (static_cast<unsigned long>(entropy()) << 16) ^ entropy();
      std::string name(1, '.');
      name.append(dest.filename().string()).append(".tmp").append(std::to_string(tag));
      path_ = dir / name;
      fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      if (fd_ >= 0) return;
      if (errno != EEXIST) fail(target_, errno);
    }
    fail(target_, EEXIST);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (fd_ >= 0) ::close(fd_);
    if (!renamed_) ::unlink(path_.c_str());
  }

  int fd() const { return fd_; }
  void close() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail(target_, errno);
  }
  void rename_to(const fs::path& dest) {
    if (::rename(path_.c_str(), dest.c_str()) != 0) fail(target_, errno);
    renamed_ = true;
  }

 private:
  fs::path target_;
  fs::path path_;
  int fd_ = -1;
  bool renamed_ = false;
};

void write_all(int fd, std::string_view bytes, const fs::path& target) {
  constexpr std::size_t kBlock = std::size_t(1) << 22;
  std::size_t done = 0;
  while (done < bytes.size()) {
    poll_interrupt();
    const std::size_t want = std::min(kBlock, bytes.size() - done);
    const ssize_t n = ::write(fd, bytes.data() + done, want);
    if (n < 0) {
      if (errno == EINTR) continue;
      fail(target, errno);
    }
    done += std::size_t(n);
  }
}

// A pipe or a device (/dev/stdout, /dev/null) cannot be replaced by a rename, and holds nothing
// that a failed write could lose: it is written in place.
void write_in_place(const fs::path& target, std::string_view bytes) {
  const int fd = ::open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
  if (fd < 0) fail(target, errno);
  try {
    write_all(fd, bytes, target);
  } catch (...) {
    ::close(fd);
    throw;
  }
  if (::close(fd) != 0) fail(target, errno);
}

}  // namespace

void write_file_atomically(const fs::path& target, std::string_view bytes) {
  struct stat old {};
  const bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode) && !S_ISDIR(old.st_mode)) {
    write_in_place(target, bytes);
    return;
  }
  if (exists && S_ISDIR(old.st_mode)) fail(target, EISDIR);
  const fs::path dest = destination(target);
  TemporaryFile tmp(dest, target);
  // A file that is replaced keeps its permission bits; a new one gets the usual 0666 less umask.
  if (exists) ::fchmod(tmp.fd(), old.st_mode & 07777);
  write_all(tmp.fd(), bytes, target);
  if (::fsync(tmp.fd()) != 0) fail(target, errno);
  tmp.close();
  tmp.rename_to(dest);
}

}  // namespace tarnwick
