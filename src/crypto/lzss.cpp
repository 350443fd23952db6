// LZSS codec of the self-extractor's programs. The compressor keeps the very window the
// launcher will have and measures every candidate match against it, so whatever it emits
// decodes under the launcher's rules (spaces at the start, slack bytes, read-before-append).
#include "crypto/lzss.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <vector>

namespace lq {
namespace {

constexpr size_t kWindow = 4096;
constexpr size_t kSlack = 17;
constexpr size_t kMinMatch = 3;
constexpr size_t kMaxMatch = 18;
constexpr size_t kGroupWorstCase = 17;  // a flag byte and eight two-byte matches
constexpr int kMaxChain = 256;          // candidates examined per position

// The decoder's window: 4096 bytes that the output cycles through, then slack that stays blank.
class Window {
 public:
  Window() { std::memset(bytes_, 0x20, sizeof bytes_); }

  const unsigned char* At(size_t index) const { return bytes_ + index; }

  void Append(const unsigned char* p, size_t n) {
    while (n > 0) {
      if (write_ == kWindow) write_ = 0;
      const size_t chunk = std::min(n, kWindow - write_);
      std::memcpy(bytes_ + write_, p, chunk);
      write_ += chunk;
      p += chunk;
      n -= chunk;
    }
  }

 private:
  unsigned char bytes_[kWindow + kSlack];
  size_t write_ = 0;
};

}  // namespace

int LZSS_Compress(std::string_view input, Bytes& output, int level) {
  (void)level;
  output.clear();
  const size_t length = input.size();
  // The length field has 32 bits (a shift that stays quiet where size_t has only 32).
  if (length < kMinMatch || ((length >> 16) >> 16) != 0) return kLzssFailed;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(input.data());

  Bytes out;
  try {
    // Groups go into an area as large as the input, behind the 4-byte length.
    out.resize(4 + length);
    unsigned char* area = reinterpret_cast<unsigned char*>(out.data()) + 4;
    size_t used = 0;

    auto window = std::make_unique<Window>();
    // Chains of absolute input positions (stored plus one, 0 = none) by their first two bytes,
    // newest first. A chain is followed only while its positions are still in the window, so
    // the slots of prev that newer positions reuse are never read.
    // Large inputs key the heads directly by the two bytes; small ones hash them into a
    // smaller table (a shared chain only costs a few wasted comparisons).
    unsigned head_bits = 8;
    while (head_bits < 16 && (size_t{1} << head_bits) < length) ++head_bits;
    std::vector<uint32_t> head(size_t{1} << head_bits, 0);
    std::vector<uint32_t> prev(kWindow, 0);
    auto slot = [&](size_t a) -> uint32_t& {
      const uint32_t key = in[a] | uint32_t{in[a + 1]} << 8;
      return head[head_bits == 16 ? key : (key * 0x9E3779B1u) >> (32 - head_bits)];
    };
    auto insert = [&](size_t a) {
      if (a + 1 >= length) return;
      uint32_t& h = slot(a);
      prev[a % kWindow] = h;
      h = static_cast<uint32_t>(a + 1);
    };

    size_t i = 0;
    while (i < length) {
      if (length - used < kGroupWorstCase) return kLzssFailed;
      unsigned char* flag = area + used++;
      *flag = 0;
      for (int bit = 0; bit < 8 && i < length; ++bit) {
        const size_t max_len = std::min(kMaxMatch, length - i);
        size_t best = 0, best_pos = 0;
        if (max_len >= kMinMatch) {
          const size_t oldest = i > kWindow ? i - kWindow : 0;
          uint32_t link = slot(i);
          for (int steps = 0; link != 0 && link - 1 >= oldest && steps < kMaxChain; ++steps) {
            const size_t w = (link - 1) % kWindow;
            const size_t limit = std::min(max_len, kWindow + kSlack - w);
            const unsigned char* src = window->At(w);
            size_t len = 0;
            while (len < limit && src[len] == in[i + len]) ++len;
            if (len > best) {
              best = len;
              best_pos = w;
              if (best == max_len) break;
            }
            link = prev[w];
          }
        }
        size_t step;
        if (best >= kMinMatch) {
          const unsigned v = static_cast<unsigned>((best - kMinMatch) << 12 | best_pos);
          area[used++] = static_cast<unsigned char>(v);
          area[used++] = static_cast<unsigned char>(v >> 8);
          step = best;
        } else {
          *flag = static_cast<unsigned char>(*flag | 1u << bit);
          area[used++] = in[i];
          step = 1;
        }
        window->Append(in + i, step);
        for (size_t k = 0; k < step; ++k) insert(i + k);
        i += step;
      }
    }
    out.resize(4 + used);
  } catch (const std::bad_alloc&) {
    return kLzssFailed;
  } catch (const std::length_error&) {
    return kLzssFailed;
  }
  const uint32_t n = static_cast<uint32_t>(length);
  for (int k = 0; k < 4; ++k) out[k] = static_cast<char>(n >> (8 * k));
  output = std::move(out);
  return kLzssOk;
}

int LZSS_Decompress(std::string_view stream, Bytes& output) {
  const size_t size = stream.size();
  const unsigned char* in = reinterpret_cast<const unsigned char*>(stream.data());
  if (size < 4) {
    output.clear();
    return kLzssFailed;
  }
  const uint64_t n =
      uint64_t{in[0]} | uint64_t{in[1]} << 8 | uint64_t{in[2]} << 16 | uint64_t{in[3]} << 24;
  // No group of 17 bytes yields more than 8 * 18 bytes, so no stream expands beyond 9 times
  // its body; a larger stated length is forged or damaged.
  if (n > 9 * uint64_t{size - 4}) {
    output.clear();
    return kLzssFailed;
  }

  Bytes out;
  try {
    out.resize(static_cast<size_t>(n));
    unsigned char* o = reinterpret_cast<unsigned char*>(out.data());
    auto window = std::make_unique<Window>();
    size_t w = 0;
    size_t pos = 4;
    while (pos < size) {
      const unsigned flags = in[pos++];
      for (int bit = 0; bit < 8 && pos < size; ++bit) {
        if (flags & (1u << bit)) {
          if (w == n) {
            output.clear();
            return kLzssFailed;
          }
          o[w] = in[pos++];
          window->Append(o + w, 1);
          ++w;
        } else {
          if (size - pos < 2) {
            output.clear();
            return kLzssFailed;
          }
          const unsigned v = in[pos] | unsigned{in[pos + 1]} << 8;
          pos += 2;
          const size_t len = (v >> 12) + kMinMatch;
          if (n - w < len) {
            output.clear();
            return kLzssFailed;
          }
          // Read first (index + len never passes the slack), append afterwards.
          std::memcpy(o + w, window->At(v & 0x0FFF), len);
          window->Append(o + w, len);
          w += len;
        }
      }
    }
    if (w != n) {
      output.clear();
      return kLzssFailed;
    }
  } catch (const std::bad_alloc&) {
    output.clear();
    return kLzssFailed;
  } catch (const std::length_error&) {
    output.clear();
    return kLzssFailed;
  }
  output = std::move(out);
  return kLzssOk;
}

}  // namespace lq
