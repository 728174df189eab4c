#include "io/write_behind.hpp"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <system_error>

#include "format/record.hpp"

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

std::string reason(int e) { return std::generic_category().message(e); }

// A formatted line is built in the text buffer when this much room is left.
constexpr std::size_t kLineRoom = 512;

}  // namespace

std::unique_ptr<char[]> WriteBehind::block() {
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

void WriteBehind::recycle(std::unique_ptr<char[]> block) {
  std::lock_guard<std::mutex> lock(m_);
  give_back(std::move(block));
}

void WriteBehind::give_back(std::unique_ptr<char[]> block) {
  if (block && pool_.size() < kMaxQueued + 2) pool_.push_back(std::move(block));
}

void WriteBehind::start() {
  // The thread takes no SIGINT or SIGTERM: they reach the run's own thread,
  // whose wait at a prompt they must end.
  sigset_t stops, before;
  sigemptyset(&stops);
  sigaddset(&stops, SIGINT);
  sigaddset(&stops, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stops, &before);
  try {
    thread_ = std::thread([this] { work(); });
  } catch (const std::system_error&) {
    no_thread_ = true;
  }
  pthread_sigmask(SIG_SETMASK, &before, nullptr);
}

void WriteBehind::write_here(Destination& file, const char* block, std::size_t n) {
  own_text_.clear();
  std::string why = block_text(block, n, own_text_);
  if (why.empty())
    if (const int e = write_all(file.fd, own_text_.text().data(), own_text_.text().size()); e != 0) why = reason(e);
  std::lock_guard<std::mutex> lock(m_);
  if (!why.empty() && file.error.empty()) file.error = std::move(why);
}

// Turns the first queued block into text with the lock released, and
// writes it once the blocks of its file queued before it are written; the
// lock is held again on return.
void WriteBehind::run_job(std::unique_lock<std::mutex>& lock, TextBuffer& tb) {
  Job job = std::move(queue_.front());
  queue_.pop_front();
  Destination& file = *job.file;
  lock.unlock();
  tb.clear();
  std::string why = block_text(job.block.get(), job.n, tb);
  lock.lock();
  done_.wait(lock, [&] { return file.written == job.seq; });
  lock.unlock();
  if (why.empty())
    if (const int e = write_all(file.fd, tb.text().data(), tb.text().size()); e != 0) why = reason(e);
  lock.lock();
  if (!why.empty() && file.error.empty()) file.error = std::move(why);
  give_back(std::move(job.block));
  ++file.written;
  --file.queued;
  --in_flight_;
  done_.notify_all();
}

// Until done() holds, the run turns queued blocks into text itself rather
// than wait.
template <class Done>
void WriteBehind::help_until(std::unique_lock<std::mutex>& lock, Done done) {
  while (!done()) {
    if (!queue_.empty())
      run_job(lock, own_text_);
    else
      done_.wait(lock);
  }
}

void WriteBehind::submit(Destination& file, std::unique_ptr<char[]> block, std::size_t n) {
  std::unique_lock<std::mutex> lock(m_);
  if (!thread_.joinable() && !no_thread_) {
    stop_ = false;
    start();
  }
  if (no_thread_) {
    lock.unlock();
    write_here(file, block.get(), n);
    lock.lock();
    give_back(std::move(block));
    return;
  }
  help_until(lock, [this] { return in_flight_ < kMaxQueued; });
  ++in_flight_;
  ++file.queued;
  queue_.push_back(Job{&file, std::move(block), n, file.seq++});
  lock.unlock();
  wake_.notify_one();
}

void WriteBehind::drain(const Destination& file) {
  std::unique_lock<std::mutex> lock(m_);
  help_until(lock, [&] { return file.queued == 0; });
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
    if (!queue_.empty()) {
      run_job(lock, writer_text_);
      continue;
    }
    if (stop_) return;  // nothing left to write
    wake_.wait(lock);
  }
}

void TextBuffer::grow(std::size_t k) {
  const std::size_t cap = std::max({2 * cap_, fill_ + k, std::size_t{1} << 20});
  auto data = std::make_unique_for_overwrite<char[]>(cap);
  if (fill_ > 0) std::memcpy(data.get(), data_.get(), fill_);
  data_ = std::move(data);
  cap_ = cap;
}

std::string block_text(const char* p, std::size_t n, TextBuffer& tb) {
  const char* end = p + n;
  try {
    while (p < end) {
      std::uint32_t head = 0;
      std::memcpy(&head, p, 4);
      p += 4;
      const std::size_t len = head & ~ff::RecordBuf::kRecordBit;
      if ((head & ff::RecordBuf::kRecordBit) != 0) {
        char* room = tb.room(kLineRoom);
        const std::string_view text = ff::format_record(p, len, room, tb.free(), tb.spill);
        if (text.data() == room)
          tb.commit(text.size());
        else
          tb.append(text);
      } else {
        tb.append(std::string_view(p, len));
      }
      p += len;
    }
  } catch (const std::exception& x) {
    return std::string("internal error: ") + x.what();
  }
  return {};
}

}  // namespace vorn
