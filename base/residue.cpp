#include "base/residue.hpp"

#include <cstring>

#if defined(__x86_64__) && __has_include(<sys/platform/x86.h>)
#define TOLVANE_PROCESSOR_RECORD 1
// As in the AES-NI engine: glibc's header spells bool the C way.
#if defined(__clang__) && !defined(_Bool)
#define _Bool bool // NOLINT(bugprone-reserved-identifier)
#endif
#include <sys/platform/x86.h>
#endif

namespace tolvane {

#if defined(__x86_64__)
namespace {

// Registers 16 to 31 exist only with AVX-512, which glibc's own copying functions use there,
// and only an EVEX instruction reaches them.
[[gnu::target("avx512f")]] void wipeAvx512() noexcept {
  __asm__ __volatile__("vzeroall\n\t"
                       "vpxord %%zmm16, %%zmm16, %%zmm16\n\tvpxord %%zmm17, %%zmm17, %%zmm17\n\t"
                       "vpxord %%zmm18, %%zmm18, %%zmm18\n\tvpxord %%zmm19, %%zmm19, %%zmm19\n\t"
                       "vpxord %%zmm20, %%zmm20, %%zmm20\n\tvpxord %%zmm21, %%zmm21, %%zmm21\n\t"
                       "vpxord %%zmm22, %%zmm22, %%zmm22\n\tvpxord %%zmm23, %%zmm23, %%zmm23\n\t"
                       "vpxord %%zmm24, %%zmm24, %%zmm24\n\tvpxord %%zmm25, %%zmm25, %%zmm25\n\t"
                       "vpxord %%zmm26, %%zmm26, %%zmm26\n\tvpxord %%zmm27, %%zmm27, %%zmm27\n\t"
                       "vpxord %%zmm28, %%zmm28, %%zmm28\n\tvpxord %%zmm29, %%zmm29, %%zmm29\n\t"
                       "vpxord %%zmm30, %%zmm30, %%zmm30\n\tvpxord %%zmm31, %%zmm31, %%zmm31"
                       :
                       :
                       : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
                         "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15", "xmm16",
                         "xmm17", "xmm18", "xmm19", "xmm20", "xmm21", "xmm22", "xmm23", "xmm24",
                         "xmm25", "xmm26", "xmm27", "xmm28", "xmm29", "xmm30", "xmm31");
}

// vzeroall clears all sixteen registers whole; the SSE form below would leave upper halves.
[[gnu::target("avx")]] void wipeAvx() noexcept {
  __asm__ __volatile__("vzeroall"
                       :
                       :
                       : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
                         "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
}

void wipeSse() noexcept {
  __asm__ __volatile__("pxor %%xmm0, %%xmm0\n\tpxor %%xmm1, %%xmm1\n\tpxor %%xmm2, %%xmm2\n\t"
                       "pxor %%xmm3, %%xmm3\n\tpxor %%xmm4, %%xmm4\n\tpxor %%xmm5, %%xmm5\n\t"
                       "pxor %%xmm6, %%xmm6\n\tpxor %%xmm7, %%xmm7\n\tpxor %%xmm8, %%xmm8\n\t"
                       "pxor %%xmm9, %%xmm9\n\tpxor %%xmm10, %%xmm10\n\tpxor %%xmm11, %%xmm11\n\t"
                       "pxor %%xmm12, %%xmm12\n\tpxor %%xmm13, %%xmm13\n\tpxor %%xmm14, %%xmm14\n\t"
                       "pxor %%xmm15, %%xmm15"
                       :
                       :
                       : "xmm0", "xmm1", "xmm2", "xmm3", "xmm4", "xmm5", "xmm6", "xmm7", "xmm8",
                         "xmm9", "xmm10", "xmm11", "xmm12", "xmm13", "xmm14", "xmm15");
}

} // namespace
#endif

// Not inlined, so that its area lies below the caller's frame.
[[gnu::noinline]] void wipeStackBelow() noexcept {
  alignas(64) unsigned char area[kScrubbedStack];
#if defined(__x86_64__)
  // Four aligned 16-byte stores a turn. glibc's memset clears this much with rep stosb, one
  // instruction per byte as instructions are counted: a quarter of a single run's budget.
  unsigned char *at = area;
  __asm__ __volatile__("pxor %%xmm0, %%xmm0\n"
                       "1:\n\t"
                       "movdqa %%xmm0, (%0)\n\tmovdqa %%xmm0, 16(%0)\n\t"
                       "movdqa %%xmm0, 32(%0)\n\tmovdqa %%xmm0, 48(%0)\n\t"
                       "add $64, %0\n\tcmp %1, %0\n\tjb 1b"
                       : "+r"(at)
                       : "r"(area + sizeof area)
                       : "xmm0", "cc", "memory");
#else
  std::memset(area, 0, sizeof area);
  // The area is about to go out of scope; the zeroes must be written all the same.
  __asm__ __volatile__("" : : "r"(area) : "memory");
#endif
}

void wipeVectorRegisters() noexcept {
#if defined(TOLVANE_PROCESSOR_RECORD)
  // From glibc's record of the processor, read once; no cpuid of our own.
  static void (*const wipe)() noexcept = CPU_FEATURE_ACTIVE(AVX512F) ? wipeAvx512
                                         : CPU_FEATURE_ACTIVE(AVX)   ? wipeAvx
                                                                     : wipeSse;
  wipe();
#elif defined(__x86_64__)
  wipeSse();
#endif
}

} // namespace tolvane
