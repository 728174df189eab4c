#include "control/file_sink.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <system_error>

namespace vorn {

namespace {

// Writes all n bytes; 0, or the errno of the failure.
int write_all(int fd, const char* p, std::size_t n) {
  while (n > 0) {
    const ssize_t k = ::write(fd, p, n);
    if (k < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (k == 0) return EIO;
    p += k;
    n -= static_cast<std::size_t>(k);
  }
  return 0;
}

}  // namespace

std::unique_ptr<char[]> WriteBehind::buffer() {
  {
    std::lock_guard<std::mutex> lock(m_);
    if (!pool_.empty()) {
      auto b = std::move(pool_.back());
      pool_.pop_back();
      return b;
    }
  }
  return std::make_unique_for_overwrite<char[]>(kBlock);
}

void WriteBehind::give_back(std::unique_ptr<char[]> block) {
  if (block && pool_.size() < kMaxQueued + 2) pool_.push_back(std::move(block));
}

void WriteBehind::start() {
  try {
    thread_ = std::thread([this] { work(); });
  } catch (const std::system_error&) {
    no_thread_ = true;
  }
}

void WriteBehind::submit(FileSink& sink, std::unique_ptr<char[]> block, std::size_t n) {
  std::unique_lock<std::mutex> lock(m_);
  if (!thread_.joinable() && !no_thread_) {
    stop_ = false;
    start();
  }
  if (no_thread_) {
    lock.unlock();
    const int e = write_all(sink.fd_, block.get(), n);
    lock.lock();
    if (e != 0 && sink.error_ == 0) sink.error_ = e;
    give_back(std::move(block));
    return;
  }
  done_.wait(lock, [this] { return in_flight_ < kMaxQueued; });
  ++in_flight_;
  ++sink.queued_;
  queue_.push_back(Job{&sink, std::move(block), n});
  wake_.notify_one();
}

void WriteBehind::drain(const FileSink& sink) {
  std::unique_lock<std::mutex> lock(m_);
  done_.wait(lock, [&] { return sink.queued_ == 0; });
}

void WriteBehind::stop() {
  {
    std::lock_guard<std::mutex> lock(m_);
    stop_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
}

void WriteBehind::work() {
  std::unique_lock<std::mutex> lock(m_);
  for (;;) {
    wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (queue_.empty()) return;  // stopped, and nothing left to write
    Job job = std::move(queue_.front());
    queue_.pop_front();
    lock.unlock();
    const int e = write_all(job.sink->fd_, job.block.get(), job.n);
    lock.lock();
    if (e != 0 && job.sink->error_ == 0) job.sink->error_ = e;
    give_back(std::move(job.block));
    --job.sink->queued_;
    --in_flight_;
    done_.notify_all();
  }
}

bool FileSink::open(const std::filesystem::path& path) {
  close();
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  fd_ = fd;
  error_ = 0;
  handed_ = false;
  buf_ = wb_.buffer();
  setp(buf_.get(), buf_.get() + WriteBehind::kBlock);
  return true;
}

void FileSink::write_out(const char* p, std::size_t n) {
  const int e = write_all(fd_, p, n);
  if (e != 0 && error_ == 0) error_ = e;
}

void FileSink::hand_over() {
  const auto n = static_cast<std::size_t>(pptr() - pbase());
  if (n == 0) return;
  wb_.submit(*this, std::move(buf_), n);
  handed_ = true;
  buf_ = wb_.buffer();
  setp(buf_.get(), buf_.get() + WriteBehind::kBlock);
}

int FileSink::overflow(int c) {
  if (fd_ < 0) return traits_type::eof();
  hand_over();
  if (c != traits_type::eof()) {
    *pptr() = static_cast<char>(c);
    pbump(1);
  }
  return traits_type::not_eof(c);
}

std::streamsize FileSink::xsputn(const char* s, std::streamsize n) {
  if (fd_ < 0) return 0;
  std::streamsize left = n;
  while (left > 0) {
    if (pptr() == epptr()) hand_over();
    const auto room = static_cast<std::streamsize>(epptr() - pptr());
    const std::streamsize k = left < room ? left : room;
    std::memcpy(pptr(), s, static_cast<std::size_t>(k));
    pbump(static_cast<int>(k));
    s += k;
    left -= k;
  }
  return n;
}

std::string FileSink::close() {
  if (fd_ < 0) return {};
  const auto n = static_cast<std::size_t>(pptr() - pbase());
  if (handed_) {
    // The last part after the blocks already queued, in order.
    if (n > 0) wb_.submit(*this, std::move(buf_), n);
    wb_.drain(*this);
  } else {
    write_out(pbase(), n);
  }
  setp(nullptr, nullptr);
  buf_.reset();
  if (::close(fd_) != 0 && error_ == 0 && errno != EINTR) error_ = errno;
  fd_ = -1;
  const int e = error_;
  error_ = 0;
  return e == 0 ? std::string() : std::generic_category().message(e);
}

}  // namespace vorn
