#include "control/heap_reserve.hpp"

#include <sys/mman.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <system_error>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vorn {

namespace {

#if defined(__GLIBC__) && defined(MADV_POPULATE_WRITE) && !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
constexpr bool kSupported = true;
#else
constexpr bool kSupported = false;
#endif

constexpr std::uintptr_t kPage = 4096;
constexpr std::size_t kStep = std::size_t{1} << 20;  // prefaulted a megabyte at a time, the first first

}  // namespace

// Measured on generated structures: a run keeps about fifteen bytes of heap
// for every byte of its structure file.
std::size_t HeapReserve::estimate(std::size_t structure_file_bytes) { return structure_file_bytes * 16; }

HeapReserve::HeapReserve(std::size_t bytes) {
  if (!kSupported || bytes < kMinBytes) return;
#if defined(__GLIBC__)
  bytes = std::min(bytes, kMaxBytes);
  // What the run frees stays with it (no trimming of the heap's top), and
  // blocks up to 32 MB come from the heap, so that it is used again.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 1 << 30);
  // A block taken and given back at once: the top of the heap is now this
  // stretch, from which the next allocations are carved.
  void* p = std::malloc(bytes);
  if (p == nullptr) return;
  const auto at = reinterpret_cast<std::uintptr_t>(p);
  const std::uintptr_t begin = (at + kPage - 1) & ~(kPage - 1);
  const std::uintptr_t end = (at + bytes) & ~(kPage - 1);
  std::free(p);
  try {
    thread_ = std::thread([begin, end] {
      for (std::uintptr_t a = begin; a < end; a += kStep)
        if (madvise(reinterpret_cast<void*>(a), std::min<std::uintptr_t>(kStep, end - a), MADV_POPULATE_WRITE) != 0)
          return;  // not supported here, or the heap shrank: nothing to do
    });
  } catch (const std::system_error&) {
    // no thread: the run touches its pages itself, as without the reserve
  }
#endif
}

HeapReserve::~HeapReserve() {
  if (thread_.joinable()) thread_.join();
}

}  // namespace vorn
