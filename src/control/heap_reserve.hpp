// Memory for a large run, made ready on the other processor.
//
// The first touch of every page costs the process a page fault: about a
// microsecond and a half on a virtual machine, and a 20,000-atom run touches
// some forty megabytes, most of it while it reads the structure and sets up
// the atoms. For a large run the allocator is told to keep what is freed
// instead of giving it back, and a stretch of the heap the size of what the
// run will need is prefaulted by a background thread while the run reads its
// input, so that the run's own allocations find their pages ready. The
// prefault fills page tables only (MADV_POPULATE_WRITE) and never changes a
// byte, so it is safe beside the run's own use of the same memory; where the
// system or the allocator lacks what it needs, nothing happens.
#pragma once

#include <cstddef>
#include <thread>

namespace vorn {

class HeapReserve {
 public:
  // Heap bytes a run on a structure file of this size will touch, about.
  static std::size_t estimate(std::size_t structure_file_bytes);
  // Starts making `bytes` of heap ready in the background; nothing below
  // kMinBytes (a small run does not gain from it).
  explicit HeapReserve(std::size_t bytes);
  HeapReserve(const HeapReserve&) = delete;
  HeapReserve& operator=(const HeapReserve&) = delete;
  ~HeapReserve();

  static constexpr std::size_t kMinBytes = std::size_t{8} << 20;
  static constexpr std::size_t kMaxBytes = std::size_t{30} << 20;

 private:
  std::thread thread_;
};

}  // namespace vorn
