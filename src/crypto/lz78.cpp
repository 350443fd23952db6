// LZ78 codec of packet contents. The compressor finds children through a hash table instead of
// sibling lists (same dictionary, same output, faster on wide nodes) and stops as soon as its
// output is certain to pass the caller's limit; the decompressor checks a whole stream before it
// allocates, then copies each phrase from where it was first written.
#include "crypto/lz78.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <unordered_map>
#include <vector>

#include "crypto/lz78_internal.h"

namespace lq {
namespace {

constexpr uint16_t kNone = 0xFFFF;       // the empty phrase, and "no child"
constexpr uint32_t kMaxPhrases = 65535;  // per segment

// Inside the dictionary phrase p goes by the name p * kScramble mod 2^b, b the table's size in
// bits. The names of phrases made one after the other then lie far apart, which keeps probe
// runs short on repetitive input, and a name leads to its children's slots without a
// multiplication on the path from one input byte to the next.
constexpr unsigned kMaxTableBits = 17;  // twice the phrases of a segment
constexpr uint32_t kNameMask = (1u << kMaxTableBits) - 1;
constexpr uint32_t kNoName = 0xFFFFFFFF;
constexpr uint32_t kScramble = 0x13C6Du;  // odd, so naming is a bijection

constexpr uint32_t InverseMod2To32(uint32_t k) {
  uint32_t x = k;  // Newton's iteration doubles the correct low bits each round
  for (int i = 0; i < 5; ++i) x *= 2 - k * x;
  return x;
}
constexpr uint32_t kUnscramble = InverseMod2To32(kScramble);
static_assert(kScramble * kUnscramble == 1);

// Where the children of a phrase with byte c lie: the phrase's name mixed with a fixed random
// pattern per byte value.
struct ByteMix {
  uint32_t v[256];
  constexpr ByteMix() : v{} {
    uint64_t x = 0x4C5A3738u;
    for (uint32_t& m : v) {
      x += 0x9E3779B97F4A7C15u;  // splitmix64
      uint64_t z = x;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
      m = static_cast<uint32_t>(z ^ (z >> 31)) & kNameMask;
    }
  }
};
constexpr ByteMix kByteMix;

// The dictionary of one segment: children of the empty phrase in a direct table, all others in
// one open-addressing table keyed by (parent, byte), at most 65535 entries in 2^17 slots. A slot
// is 4 bytes: the child's name (bits 0..16), the byte (17..24) and how far the slot lies past
// the one the key hashes to (25..31). The parent is not stored: the name is the key's hash
// place mixed with the byte, so the byte and the distance pin the key down and a probe is one
// load and one compare. The table (512 KiB) stays in the second-level cache. A key that would
// lie too far from its place (never seen on real data, but possible) goes to a side table.
class Dictionary {
 public:
  static constexpr uint32_t kMaxDistance = 126;

  // Sized for the phrases `input_length` bytes can make, so short texts stay cheap. Keys placed
  // more than `max_distance` (at most kMaxDistance) slots away go to the side table.
  explicit Dictionary(size_t input_length, uint32_t max_distance = kMaxDistance)
      : max_tag_(max_distance << kDistanceShift) {
    const size_t phrases = input_length < kMaxPhrases ? input_length : kMaxPhrases;
    unsigned bits = 8;
    while (bits < kMaxTableBits && (size_t{1} << bits) < 2 * phrases) ++bits;
    mask_ = (1u << bits) - 1;
    slots_.resize(size_t{1} << bits);
  }

  void Clear() {
    std::memset(root_, 0xFF, sizeof root_);
    std::memset(slots_.data(), 0xFF, slots_.size() * sizeof(uint32_t));
    far_.clear();
    if (++generation_ == kGenerations) {
      std::memset(pairs_.get(), 0, kPairs * sizeof(uint32_t));
      generation_ = 1;
    }
  }

  uint32_t NameOf(uint32_t phrase) const { return (phrase * kScramble) & mask_; }
  uint16_t PhraseOf(uint32_t name) const {
    return static_cast<uint16_t>((name * kUnscramble) & mask_);
  }

  uint32_t Root(unsigned char c) const { return root_[c]; }
  void SetRoot(unsigned char c, uint32_t name) { root_[c] = name; }

  // The two-byte phrase c1 c2, found without the name of phrase c1: every phrase walk starts
  // with one, at a place the input alone gives.
  uint32_t Pair(unsigned char c1, unsigned char c2) const {
    const uint32_t entry = pairs_[c1 << 8 | c2];
    return entry >> kNameBitsInPair == generation_ ? entry & kNameMask : kNoName;
  }
  void SetPair(unsigned char c1, unsigned char c2, uint32_t name) {
    pairs_[c1 << 8 | c2] = generation_ << kNameBitsInPair | name;
  }

  // The name of the child of `parent` with byte c; when there is none, `name` becomes that
  // child (in the slot the search ended on) and kNoName is returned.
  uint32_t FindOrAdd(uint32_t parent, unsigned char c, uint32_t name) {
    uint32_t i = (parent ^ kByteMix.v[c]) & mask_;
    uint32_t tag = uint32_t{c} << kByteShift;  // at distance 0
    for (;;) {
      const uint32_t slot = slots_[i];
      if ((slot & ~kNameMask) == tag) return slot & kNameMask;
      if (slot == kEmpty) {
        slots_[i] = tag | name;
        return kNoName;
      }
      if (tag >= max_tag_) return FindOrAddFar(parent, c, name);
      tag += 1u << kDistanceShift;
      i = (i + 1) & mask_;
    }
  }

 private:
  static constexpr unsigned kByteShift = kMaxTableBits;
  static constexpr unsigned kDistanceShift = kByteShift + 8;
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;  // its distance, 127, is never a real one

  // Slots do not get free again within a segment, so a key that found none near its place is
  // never looked for there later: only the side table can hold it.
  uint32_t FindOrAddFar(uint32_t parent, unsigned char c, uint32_t name) {
    const auto [it, added] = far_.try_emplace(parent << 8 | c, name);
    return added ? kNoName : it->second;
  }

  // Pair entries carry the segment they were made in, so a new segment needs no clearing of
  // them; zeroed memory from the system is touched only where short inputs need it.
  static constexpr unsigned kNameBitsInPair = kMaxTableBits;
  static constexpr uint32_t kGenerations = uint32_t{1} << (32 - kNameBitsInPair);
  static constexpr size_t kPairs = 65536;
  struct FreeDeleter {
    void operator()(uint32_t* p) const { std::free(p); }
  };
  static uint32_t* ZeroedPairs() {
    auto* p = static_cast<uint32_t*>(std::calloc(kPairs, sizeof(uint32_t)));
    if (p == nullptr) throw std::bad_alloc();
    return p;
  }

  uint32_t root_[256];
  uint32_t mask_;
  uint32_t max_tag_;
  uint32_t generation_ = 0;
  std::vector<uint32_t> slots_;
  std::unique_ptr<uint32_t[], FreeDeleter> pairs_{ZeroedPairs()};
  std::unordered_map<uint32_t, uint32_t> far_;
};

void AppendLe16(Bytes& out, uint32_t v) {
  out.push_back(static_cast<char>(v & 0xFF));
  out.push_back(static_cast<char>(v >> 8));
}

uint32_t LoadLe16(const unsigned char* p) { return uint32_t{p[0]} | uint32_t{p[1]} << 8; }

// One segment as read from a stream: where its codes and phrase bytes lie.
struct Segment {
  const unsigned char* codes;
  const unsigned char* bytes;
  uint32_t m, n;
};

// Reads the segment header at `pos` and advances past the segment; false when it is malformed
// or runs past the end.
bool ReadSegment(const unsigned char* in, size_t size, size_t& pos, Segment& seg) {
  if (size - pos < 2) return false;
  seg.m = LoadLe16(in + pos);
  pos += 2;
  if ((size - pos) / 2 < seg.m) return false;
  seg.codes = in + pos;
  pos += 2 * size_t{seg.m};
  if (size - pos < 2) return false;
  seg.n = LoadLe16(in + pos);
  pos += 2;
  // Every phrase needs a code, and only one pending match may follow them.
  if (seg.m != seg.n && seg.m != seg.n + 1) return false;
  const size_t body = seg.n + (seg.n & 1);
  if (size - pos < body) return false;
  seg.bytes = in + pos;
  pos += body;
  return true;
}

// Phrase lengths of a segment; false when a code names a phrase not yet made. `emitted`
// receives the bytes the segment produces.
bool PhraseLengths(const Segment& seg, uint32_t* length, uint64_t& emitted) {
  uint64_t total = 0;
  for (uint32_t j = 0; j < seg.n; ++j) {
    const uint32_t code = LoadLe16(seg.codes + 2 * size_t{j});
    if (code == kNone) {
      length[j] = 1;
    } else if (code < j) {
      length[j] = length[code] + 1;
    } else {
      return false;
    }
    total += length[j];
  }
  if (seg.m > seg.n) {
    const uint32_t code = LoadLe16(seg.codes + 2 * size_t{seg.n});
    if (code != kNone) {
      if (code >= seg.n) return false;
      total += length[code];
    }
  }
  emitted = total;
  return true;
}

int Compress(std::string_view input, Bytes& output, size_t max_output, uint32_t max_distance) {
  output.clear();
  if (input.empty()) return kLz78EmptyInput;
  // The length field has 32 bits (a shift that stays quiet where size_t has only 32).
  if (((input.size() >> 16) >> 16) != 0) return kLz78TooLarge;

  Bytes out;
  try {
    Dictionary dict(input.size(), max_distance);
    const size_t most = std::min<size_t>(input.size(), kMaxPhrases) + 1;
    std::vector<uint16_t> codes(most);
    std::vector<unsigned char> bytes(most);
    out.reserve(std::min(input.size() / 2, max_output) + 64);
    AppendLe16(out, static_cast<uint32_t>(input.size() & 0xFFFF));
    AppendLe16(out, static_cast<uint32_t>(input.size() >> 16));

    const unsigned char* in = reinterpret_cast<const unsigned char*>(input.data());
    const unsigned char* const end = in + input.size();
    while (in < end) {
      dict.Clear();
      // Every phrase made adds its code and its byte to the output for certain; once they pass
      // the limit the rest need not be made.
      const size_t certain = out.size() + 4;  // and the segment's two counts
      if (certain > max_output) return kLz78NoGain;
      const bool limited = (max_output - certain) / 3 < kMaxPhrases;
      const uint32_t stop =
          limited ? static_cast<uint32_t>((max_output - certain) / 3 + 1) : kMaxPhrases;

      uint32_t n = 0;
      uint32_t pending = kNoName;
      while (n < stop && in < end) {
        unsigned char c = *in++;
        uint32_t current = dict.Root(c);
        if (current == kNoName) {
          dict.SetRoot(c, dict.NameOf(n));
          codes[n] = kNone;
          bytes[n++] = c;
          continue;
        }
        const uint32_t name = dict.NameOf(n);
        if (in == end) {
          pending = current;
          break;
        }
        const unsigned char c1 = c;
        c = *in++;
        const uint32_t pair = dict.Pair(c1, c);
        if (pair == kNoName) {
          dict.SetPair(c1, c, name);
          codes[n] = dict.PhraseOf(current);
          bytes[n++] = c;
          continue;
        }
        current = pair;
        for (;;) {
          if (in == end) {
            pending = current;
            break;
          }
          c = *in++;
          const uint32_t child = dict.FindOrAdd(current, c, name);
          if (child == kNoName) {
            codes[n] = dict.PhraseOf(current);
            bytes[n++] = c;
            break;
          }
          current = child;
        }
      }
      if (limited && n == stop) return kLz78NoGain;

      uint32_t m = n;
      if (pending != kNoName) codes[m++] = dict.PhraseOf(pending);
      const size_t start = out.size();
      out.resize(start + 2 + 2 * size_t{m} + 2 + n + (n & 1));
      unsigned char* o = reinterpret_cast<unsigned char*>(out.data()) + start;
      *o++ = static_cast<unsigned char>(m);
      *o++ = static_cast<unsigned char>(m >> 8);
      if constexpr (std::endian::native == std::endian::little) {
        std::memcpy(o, codes.data(), 2 * size_t{m});
        o += 2 * size_t{m};
      } else {
        for (uint32_t j = 0; j < m; ++j) {
          *o++ = static_cast<unsigned char>(codes[j]);
          *o++ = static_cast<unsigned char>(codes[j] >> 8);
        }
      }
      *o++ = static_cast<unsigned char>(n);
      *o++ = static_cast<unsigned char>(n >> 8);
      std::memcpy(o, bytes.data(), n);
      if (n & 1) o[n] = 0x20;
    }
  } catch (const std::bad_alloc&) {
    return kLz78TooLarge;
  } catch (const std::length_error&) {
    return kLz78TooLarge;
  }
  if (out.size() > max_output) return kLz78NoGain;
  output = std::move(out);
  return kLz78Ok;
}

}  // namespace

int LZ78_Compress(std::string_view input, Bytes& output) {
  return Compress(input, output, SIZE_MAX, Dictionary::kMaxDistance);
}

int LZ78_Compress(std::string_view input, Bytes& output, size_t max_output) {
  return Compress(input, output, max_output, Dictionary::kMaxDistance);
}

namespace lz78_internal {
int CompressWithProbeLimit(std::string_view input, Bytes& output, uint32_t max_distance) {
  return Compress(input, output, SIZE_MAX, std::min(max_distance, Dictionary::kMaxDistance));
}
}  // namespace lz78_internal

uint64_t LZ78_StatedLength(std::string_view stream) {
  if (stream.size() < 4) return 0;
  const unsigned char* in = reinterpret_cast<const unsigned char*>(stream.data());
  return LoadLe16(in) | static_cast<uint64_t>(LoadLe16(in + 2)) << 16;
}

int LZ78_Decompress(std::string_view stream, Bytes& output, uint64_t limit) {
  if (stream.empty()) {
    output.clear();
    return kLz78Ok;
  }
  const unsigned char* in = reinterpret_cast<const unsigned char*>(stream.data());
  const size_t size = stream.size();
  if (size < 4) {
    output.clear();
    return kLz78Damaged;
  }
  const uint32_t stated = LoadLe16(in) | LoadLe16(in + 2) << 16;
  if (stated > limit) {
    output.clear();
    return kLz78OverLimit;
  }

  Bytes out;
  try {
    std::vector<uint32_t> length;

    // First pass: the structure and the exact output size, before anything is allocated.
    uint64_t total = 0;
    for (size_t pos = 4; pos < size;) {
      Segment seg;
      uint64_t emitted = 0;
      if (!ReadSegment(in, size, pos, seg)) {
        output.clear();
        return kLz78Damaged;
      }
      if (length.size() < seg.n + size_t{1}) length.resize(seg.n + size_t{1});
      if (!PhraseLengths(seg, length.data(), emitted)) {
        output.clear();
        return kLz78Damaged;
      }
      total += emitted;
      if (total > stated) {
        output.clear();
        return kLz78Damaged;
      }
    }
    if (total != stated) {
      output.clear();
      return kLz78Damaged;
    }

    // Second pass: phrase j's bytes are where phrase j was written, so each phrase is a copy
    // of its parent's bytes plus its own last byte.
    std::vector<uint32_t> start(length.size());
    out.resize(stated);
    unsigned char* o = reinterpret_cast<unsigned char*>(out.data());
    size_t w = 0;
    for (size_t pos = 4; pos < size;) {
      Segment seg;
      ReadSegment(in, size, pos, seg);
      const size_t base = w;
      for (uint32_t j = 0; j < seg.n; ++j) {
        const uint32_t code = LoadLe16(seg.codes + 2 * size_t{j});
        start[j] = static_cast<uint32_t>(w - base);
        if (code == kNone) {
          length[j] = 1;
        } else {
          const uint32_t len = length[code];
          std::memcpy(o + w, o + base + start[code], len);
          w += len;
          length[j] = len + 1;
        }
        o[w++] = seg.bytes[j];
      }
      if (seg.m > seg.n) {
        const uint32_t code = LoadLe16(seg.codes + 2 * size_t{seg.n});
        if (code != kNone) {
          std::memcpy(o + w, o + base + start[code], length[code]);
          w += length[code];
        }
      }
    }
  } catch (const std::bad_alloc&) {
    output.clear();
    return kLz78TooLarge;
  } catch (const std::length_error&) {
    output.clear();
    return kLz78TooLarge;
  }
  output = std::move(out);
  return kLz78Ok;
}

}  // namespace lq
