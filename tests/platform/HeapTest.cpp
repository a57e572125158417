#include <cstring>

#include "platform/Errors.h"
#include "tests/platform/PlatformTestSupport.h"

namespace {

using namespace platform_test;

using HeapTest = PlatformTest;

TEST_F(HeapTest, FixedBlocksAreZeroedWritableAndCounted) {
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, std::size_t{2049}, std::size_t{65536}}) {
    SCOPED_TRACE(size);
    auto* block = static_cast<unsigned char*>(LocalAlloc(LPTR, size));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(platform::LiveLocalBlocks(), 1u);
    for (std::size_t i = 0; i < size; ++i) {
      ASSERT_EQ(block[i], 0) << "byte " << i;
    }
    std::memset(block, 0xA5, size);
    EXPECT_EQ(LocalFree(block), nullptr);
    EXPECT_EQ(platform::LiveLocalBlocks(), 0u);
  }
}

TEST_F(HeapTest, FreeRefusesWhatIsNoLiveBlock) {
  void* block = LocalAlloc(LPTR, 14);
  ASSERT_NE(block, nullptr);
  ASSERT_EQ(LocalFree(block), nullptr);
  int notABlock = 0;
  for (void* bad : {block, static_cast<void*>(&notABlock)}) {
    SetLastError(0);
    EXPECT_EQ(LocalFree(bad), bad);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  }
  EXPECT_EQ(LocalFree(nullptr), nullptr);
}

TEST_F(HeapTest, MoveableBlocksAreNotOffered) {
  constexpr UINT LMEM_MOVEABLE = 0x0002;
  SetLastError(0);
  EXPECT_EQ(LocalAlloc(LMEM_MOVEABLE, 8), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

}  // namespace
