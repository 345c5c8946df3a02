// What the wipes leave. wipeBytes: every size up to past its short paths, at every alignment,
// zeroes exactly its bytes. The vector registers after wipeVectorRegisters: every one the
// processor has that a program without AVX-512 can read, filled with a pattern first, must read
// back as zero.

#include <array>
#include <cstdint>
#include <gtest/gtest.h>

#include "base/residue.hpp"
#include "base/secret.hpp"

namespace tolvane {
namespace {

TEST(Residue, WipeBytesZeroesItsBytesAndNoOther) {
  for (std::size_t size = 0; size <= 80; ++size) {
    for (std::size_t offset = 0; offset < 16; ++offset) {
      std::array<std::uint8_t, 128> area{};
      area.fill(0xA5);
      wipeBytes(area.data() + offset, size);
      for (std::size_t i = 0; i < area.size(); ++i) {
        const bool inside = i >= offset && i < offset + size;
        ASSERT_EQ(area[i], inside ? 0 : 0xA5)
            << "size " << size << " offset " << offset << " byte " << i;
      }
    }
  }
}

#if defined(__x86_64__)
TEST(Residue, NoVectorRegisterKeepsAValueAcrossTheWipe) {
  alignas(16) std::array<std::uint8_t, 16> pattern{};
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    pattern[i] = static_cast<std::uint8_t>(0xA5 ^ i);
  }
  alignas(16) std::array<std::uint8_t, 16 * 16> seen{};
  // One statement, so that no code of the compiler's own runs between the pattern, the call and
  // the reading. The call gets an aligned stack below the red zone; the C library's calling
  // convention lets it change any register the clobbers name.
  __asm__ __volatile__(
      "movdqa (%[pattern]), %%xmm0\n\t"
      "movdqa %%xmm0, %%xmm1\n\tmovdqa %%xmm0, %%xmm2\n\tmovdqa %%xmm0, %%xmm3\n\t"
      "movdqa %%xmm0, %%xmm4\n\tmovdqa %%xmm0, %%xmm5\n\tmovdqa %%xmm0, %%xmm6\n\t"
      "movdqa %%xmm0, %%xmm7\n\tmovdqa %%xmm0, %%xmm8\n\tmovdqa %%xmm0, %%xmm9\n\t"
      "movdqa %%xmm0, %%xmm10\n\tmovdqa %%xmm0, %%xmm11\n\tmovdqa %%xmm0, %%xmm12\n\t"
      "movdqa %%xmm0, %%xmm13\n\tmovdqa %%xmm0, %%xmm14\n\tmovdqa %%xmm0, %%xmm15\n\t"
      "mov %%rsp, %%rbx\n\tsub $128, %%rsp\n\tand $-16, %%rsp\n\t"
      "call *%[wipe]\n\t"
      "mov %%rbx, %%rsp\n\t"
      "movdqu %%xmm0, 0(%[seen])\n\tmovdqu %%xmm1, 16(%[seen])\n\t"
      "movdqu %%xmm2, 32(%[seen])\n\tmovdqu %%xmm3, 48(%[seen])\n\t"
      "movdqu %%xmm4, 64(%[seen])\n\tmovdqu %%xmm5, 80(%[seen])\n\t"
      "movdqu %%xmm6, 96(%[seen])\n\tmovdqu %%xmm7, 112(%[seen])\n\t"
      "movdqu %%xmm8, 128(%[seen])\n\tmovdqu %%xmm9, 144(%[seen])\n\t"
      "movdqu %%xmm10, 160(%[seen])\n\tmovdqu %%xmm11, 176(%[seen])\n\t"
      "movdqu %%xmm12, 192(%[seen])\n\tmovdqu %%xmm13, 208(%[seen])\n\t"
      "movdqu %%xmm14, 224(%[seen])\n\tmovdqu %%xmm15, 240(%[seen])"
      :
      : [pattern] "r"(pattern.data()), [seen] "r"(seen.data()), [wipe] "r"(&wipeVectorRegisters)
      : "rax", "rbx", "rcx", "rdx", "rsi", "rdi", "r8", "r9", "r10", "r11", "xmm0", "xmm1", "xmm2",
        "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8", "xmm9", "xmm10", "xmm11", "xmm12", "xmm13",
        "xmm14", "xmm15", "cc", "memory");
  for (std::size_t i = 0; i < seen.size(); ++i) {
    EXPECT_EQ(seen[i], 0) << "xmm" << i / 16 << " byte " << i % 16;
  }
}
#endif

} // namespace
} // namespace tolvane
