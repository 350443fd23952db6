// LZ78 compressor internals for tests: the side table for keys placed far from their hash place
// is never needed on real data, so tests shorten the distance allowed to reach it.
#pragma once

#include <cstdint>
#include <string_view>

#include "base/bytes.h"

namespace lq::lz78_internal {

// LZ78_Compress with keys more than `max_distance` slots from their place (0 sends every
// collision there) kept in the side table. The stream is the same as LZ78_Compress's.
int CompressWithProbeLimit(std::string_view input, Bytes& output, uint32_t max_distance);

}  // namespace lq::lz78_internal
