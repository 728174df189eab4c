#include "io/file_sink.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace vorn {

bool FileSink::open(const std::filesystem::path& path) {
  close();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  start(fd, true);
  return true;
}

void FileSink::adopt(int fd) {
  close();
  start(fd, false);
}

void FileSink::start(int fd, bool owned) {
  dest_ = Destination{};
  dest_.fd = fd;
  owned_ = owned;
  handed_ = false;
  buf_ = wb_.block();
  start_block(buf_.get(), WriteBehind::kBlock);
}

int FileSink::sync() {
  if (dest_.fd < 0) return 0;
  if (handed_) {
    block_full();
    wb_.drain(dest_);
  } else {
    // Nothing queued: written here, in order, and the block starts afresh.
    wb_.write_here(dest_, buf_.get(), block_used());
    start_block(buf_.get(), WriteBehind::kBlock);
  }
  return 0;
}

void FileSink::block_full() {
  const std::size_t used = block_used();
  if (used > 0) {
    wb_.submit(dest_, std::move(buf_), used);
    handed_ = true;
    buf_ = wb_.block();
  }
  start_block(buf_.get(), WriteBehind::kBlock);
}

std::string FileSink::close() {
  if (dest_.fd < 0) return {};
  sync();
  no_block();
  wb_.recycle(std::move(buf_));
  std::string e = std::move(dest_.error);
  if (owned_ && ::close(dest_.fd) != 0 && e.empty() && errno != EINTR) e = std::generic_category().message(errno);
  dest_ = Destination{};
  return e;
}

}  // namespace vorn
