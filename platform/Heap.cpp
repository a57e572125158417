#include "Heap.h"

#include <cstdlib>
#include <mutex>
#include <unordered_set>

#include "Errors.h"
#include "Faults.h"

namespace platform {
namespace {

// Blocks handed out and not yet freed, so that LocalFree can refuse a pointer that is not one of
// them (a double free, a foreign pointer) instead of corrupting the heap.
struct BlockTable {
  std::mutex lock;
  std::unordered_set<void*> blocks;
};

BlockTable& Blocks() {
  static auto* table = new BlockTable;  // never destroyed: threads may outlive statics
  return *table;
}

}  // namespace

std::size_t LiveLocalBlocks() {
  auto& table = Blocks();
  std::lock_guard guard(table.lock);
  return table.blocks.size();
}

}  // namespace platform

HLOCAL LocalAlloc(UINT flags, std::size_t bytes) {
  if (platform::ShouldFail(platform::FaultPoint::LocalAlloc)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if ((flags & ~LPTR) != 0) {  // only fixed blocks exist here
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  const std::size_t size = bytes == 0 ? 1 : bytes;  // a zero-byte block is still a distinct block
  void* block = (flags & LMEM_ZEROINIT) != 0 ? std::calloc(1, size) : std::malloc(size);
  if (block == nullptr) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto& table = platform::Blocks();
  std::lock_guard guard(table.lock);
  table.blocks.insert(block);
  return block;
}

HLOCAL LocalFree(HLOCAL block) {
  if (block == nullptr) {
    return nullptr;
  }
  {
    auto& table = platform::Blocks();
    std::lock_guard guard(table.lock);
    if (table.blocks.erase(block) == 0) {
      SetLastError(ERROR_INVALID_HANDLE);
      return block;
    }
  }
  std::free(block);
  return nullptr;
}
