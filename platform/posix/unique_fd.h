// An owned POSIX file descriptor, closed when it goes.
#ifndef LUMOREL_PLATFORM_POSIX_UNIQUE_FD_H_
#define LUMOREL_PLATFORM_POSIX_UNIQUE_FD_H_

#include <unistd.h>

#include <utility>

namespace lumorel {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      close();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~UniqueFd() { close(); }

  bool valid() const { return fd_ >= 0; }
  int get() const { return fd_; }

  // Closes now; false when the close reported an error (a write that failed late).
  bool close() {
    if (fd_ < 0) return true;
    return ::close(std::exchange(fd_, -1)) == 0;
  }

 private:
  int fd_ = -1;
};

}  // namespace lumorel

#endif  // LUMOREL_PLATFORM_POSIX_UNIQUE_FD_H_
