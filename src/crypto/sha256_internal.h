// The digest's compression functions and run-time path choice, visible to tests and benchmarks
// so that every path can be checked against the others and measured on its own.
#pragma once

#include <cstddef>
#include <cstdint>

namespace lq::sha256_internal {

// Compresses `count` whole 64-byte blocks at `blocks` into the eight state words.
using CompressFn = void (*)(uint32_t state[8], const unsigned char* blocks, size_t count);

// Plain C++, any processor.
void CompressPortable(uint32_t state[8], const unsigned char* blocks, size_t count);

#if defined(__i386__) || defined(__x86_64__)
#define LQ_SHA256_HAVE_SHANI 1
// x86 SHA extensions; call only when CpuHasShaNi() is true.
void CompressShaNi(uint32_t state[8], const unsigned char* blocks, size_t count);
#endif

// True when the processor has the SHA extensions (and SSSE3, SSE4.1 they are used with).
bool CpuHasShaNi();

// The fastest path for this processor, chosen on first use and fixed from then on.
CompressFn SelectedCompress();

// SHA256_Hash with an explicit compression path.
void HashWith(CompressFn compress, const void* data, size_t length, unsigned char out[32]);

}  // namespace lq::sha256_internal
