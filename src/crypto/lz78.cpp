// LZ78 codec of packet contents. The compressor finds children through a hash table instead of
// sibling lists (same dictionary, same output, faster on wide nodes), placed so that the lookups
// of one phrase overlap, and stops as soon as its output is certain to pass the caller's limit;
// the decompressor checks a whole stream before it allocates, then copies each phrase from where
// it was first written.
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

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace lq {
namespace {

constexpr uint16_t kNone = 0xFFFF;       // the empty phrase, and "no child"
constexpr uint32_t kMaxPhrases = 65535;  // per segment

// The dictionary of one segment. Phrases of one byte are found in a direct table by their byte,
// phrases of two in one by their two bytes, longer ones in an open-addressing table of 2^b
// places (b <= 17, at least twice the phrases of a segment). Such a phrase goes by the number
// of its slot, a two-byte phrase by the number of slots plus its two bytes. A slot of 4 bytes
// holds the phrase's key: the name of its parent (bits 0..17) and its byte (18..25). The place
// of a phrase is a hash of all its bytes, not of its parent's name: the input alone tells where
// the next phrase of a walk should lie, so the lookups of one walk do not wait for each other
// and the processor overlaps them. The key in the slot makes a match exact; a collision costs a
// probe. A key that would lie too far from its place (never seen on real data, but possible)
// goes to a side table, and its phrase takes an empty slot for its name.
constexpr unsigned kMaxTableBits = 17;
constexpr uint32_t kNoName = 0xFFFFFFFF;
constexpr uint32_t kHashFactor = 0x9E3779B1u;
constexpr uint32_t kHashSeed = 0x4C5A3738u;

// A fixed random pattern per byte value, which the hash of a phrase adds up.
struct ByteMix {
  uint32_t v[256];
  constexpr ByteMix() : v{} {
    uint64_t x = kHashSeed;
    for (uint32_t& m : v) {
      x += 0x9E3779B97F4A7C15u;  // splitmix64
      uint64_t z = x;
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9u;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBu;
      m = static_cast<uint32_t>(z ^ (z >> 31));
    }
  }
};
constexpr ByteMix kByteMix;

class Dictionary {
 public:
  static constexpr uint32_t kMaxDistance = 126;

  // Sized for the phrases `input_length` bytes can make, so short texts stay cheap. Keys placed
  // more than `max_distance` (at most kMaxDistance) slots away go to the side table.
  explicit Dictionary(size_t input_length, uint32_t max_distance = kMaxDistance)
      : max_distance_(max_distance) {
    const size_t phrases = input_length < kMaxPhrases ? input_length : kMaxPhrases;
    unsigned bits = 8;
    while (bits < kMaxTableBits && (size_t{1} << bits) < 2 * phrases) ++bits;
    mask_ = (1u << bits) - 1;
    // Probes do not wrap around: slots past the last place take the runs that reach them.
    slots_.resize((size_t{1} << bits) + kMaxDistance + kWindow);
    phrase_ = std::make_unique_for_overwrite<uint16_t[]>(slots_.size() + kPairs);
  }

  void Clear() {
    std::memset(root_, 0xFF, sizeof root_);
    std::memset(slots_.data(), 0xFF, slots_.size() * sizeof(uint32_t));
    far_.clear();
    if (++generation_ == kGenerations) {
      std::memset(pairs_.get(), 0, kPairs * sizeof(uint16_t));
      generation_ = 1;
    }
  }

  // What MakePhrases did: where the input goes on, the phrases made, and the phrase number of
  // the match the input ended in (kNoName for none).
  struct Made {
    const unsigned char* next;
    uint32_t phrases;
    uint32_t pending;
  };

  // Makes phrases from `in` on until there are `stop` of them or the input ends at `end`,
  // phrase j with code codes[j] and byte bytes[j].
  [[gnu::noinline]] Made MakePhrases(const unsigned char* in, const unsigned char* const end,
                                     const uint32_t stop, uint16_t* const codes,
                                     unsigned char* const bytes) {
    // Locals, not members, on the path from byte to byte: the byte stores below may alias
    // anything, which would make the compiler reload every member after each.
    const uint32_t* const slots = slots_.data();
    uint16_t* const phrase = phrase_.get();
    uint16_t* const pairs = pairs_.get();
    const uint32_t pair_base = static_cast<uint32_t>(slots_.size());
    const uint16_t generation = generation_;
    const uint32_t mask = mask_;
    uint32_t n = 0;
    while (n < stop && in < end) {
      const unsigned char c1 = *in++;
      const uint16_t first = root_[c1];
      if (first == kNone) {
        root_[c1] = static_cast<uint16_t>(n);
        codes[n] = kNone;
        bytes[n++] = c1;
        continue;
      }
      if (in == end) return {in, n, first};
      unsigned char c = *in++;
      const uint32_t pair = uint32_t{c1} << 8 | c;
      if (pairs[pair] != generation) {
        pairs[pair] = generation;
        phrase[pair_base + pair] = static_cast<uint16_t>(n);
        codes[n] = first;
        bytes[n++] = c;
        continue;
      }
      uint32_t current = pair_base + pair;
      uint32_t hash = Hash(Hash(kHashSeed, c1), c);
      for (;;) {
        if (in == end) return {in, n, phrase[current]};
        const uint32_t b = *in++;  // a wider type saves the compiler a conversion per byte
        hash = Hash(hash, b);
        const uint32_t place = Place(hash, mask);
        const uint32_t key = Key(current, b);
        // The key at its place or the one after, without a branch that guesses which.
        const uint32_t next = place + static_cast<uint32_t>(slots[place] != key);
        if (slots[next] == key) {
          current = next;
          continue;
        }
        const uint32_t child = FindOrAdd(place, key, static_cast<uint16_t>(n));
        if (child == kNoName) {
          codes[n] = phrase[current];
          bytes[n++] = in[-1];  // not b, which would take one more register
          break;
        }
        current = child;
      }
    }
    return {in, n, kNoName};
  }

 private:
  static constexpr uint32_t kWindow = 4;  // slots FindOrAdd reads at once
  static constexpr unsigned kByteShift = kMaxTableBits + 1;
  static constexpr uint32_t kEmpty = 0xFFFFFFFF;
  static constexpr uint32_t kTaken = 0xFFFFFFFE;  // the name of a phrase in the side table

  // One byte more: a rotation and an addition, two cycles from byte to byte; the mixing of all
  // bits happens off that path, in the multiplication that makes the place.
  static uint32_t Hash(uint32_t hash, uint32_t c) { return std::rotl(hash, 5) + kByteMix.v[c]; }
  static uint32_t Place(uint32_t hash, uint32_t mask) {
    return ((hash * kHashFactor) >> (32 - kMaxTableBits)) & mask;
  }
  static uint32_t Key(uint32_t parent, uint32_t c) { return parent | c << kByteShift; }

  // The name of the phrase with `key` whose place is `place`; when there is none, phrase number
  // `phrase` becomes that phrase and kNoName is returned.
  uint32_t FindOrAdd(uint32_t place, uint32_t key, uint16_t phrase) {
    // The first slots of the run at once, without a branch per slot: the key, if there, lies
    // before the first empty slot.
    const uint32_t* const run = slots_.data() + place;
#if defined(__SSE2__)
    const __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run));
    const __m128i found = _mm_cmpeq_epi32(four, _mm_set1_epi32(static_cast<int>(key)));
    const __m128i empty = _mm_cmpeq_epi32(four, _mm_set1_epi32(-1));
    const auto stops =
        static_cast<uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(_mm_or_si128(found, empty))));
#else
    const auto stop = [key](uint32_t slot) {
      return static_cast<uint32_t>((slot == key) | (slot == kEmpty));
    };
    const uint32_t stops = stop(run[0]) | stop(run[1]) << 1 | stop(run[2]) << 2 | stop(run[3]) << 3;
#endif
    if (stops != 0) {
      const uint32_t d = static_cast<uint32_t>(std::countr_zero(stops));
      if (d <= max_distance_) {
        const uint32_t i = place + d;
        if (slots_[i] != kEmpty) return i;
        slots_[i] = key;
        phrase_[i] = phrase;
        return kNoName;
      }
    }
    return Probe(place, key, phrase);
  }

  // FindOrAdd slot by slot, for long runs and short distance limits. Slots do not get free
  // again within a segment, so a key that found none near its place is never looked for there
  // later: only the side table can hold it. A new phrase there takes the next empty slot (the
  // table is at most half full) for its name.
  [[gnu::noinline]] uint32_t Probe(uint32_t place, uint32_t key, uint16_t phrase) {
    uint32_t i = place;
    for (uint32_t d = 0;; ++d, ++i) {
      const uint32_t slot = slots_[i];
      if (slot == key) return i;
      if (slot == kEmpty) {
        slots_[i] = key;
        phrase_[i] = phrase;
        return kNoName;
      }
      if (d == max_distance_) break;
    }
    const auto [it, added] = far_.try_emplace(key, 0);
    if (!added) return it->second;
    while (slots_[i] != kEmpty) i = i + 1 == slots_.size() ? 0 : i + 1;
    slots_[i] = kTaken;
    phrase_[i] = phrase;
    it->second = i;
    return kNoName;
  }

  // Pair entries carry the segment they were made in, so a new segment needs no clearing of
  // them; zeroed memory from the system is touched only where short inputs need it.
  static constexpr uint32_t kGenerations = 65536;
  static constexpr size_t kPairs = 65536;
  struct FreeDeleter {
    void operator()(uint16_t* p) const { std::free(p); }
  };
  static uint16_t* ZeroedPairs() {
    auto* p = static_cast<uint16_t*>(std::calloc(kPairs, sizeof(uint16_t)));
    if (p == nullptr) throw std::bad_alloc();
    return p;
  }

  uint16_t root_[256];
  uint32_t mask_;
  uint32_t max_distance_;
  uint16_t generation_ = 0;
  std::vector<uint32_t> slots_;
  std::unique_ptr<uint16_t[]> phrase_;  // by name: the phrase number
  std::unique_ptr<uint16_t[], FreeDeleter> pairs_{ZeroedPairs()};
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

      const Dictionary::Made made = dict.MakePhrases(in, end, stop, codes.data(), bytes.data());
      in = made.next;
      const uint32_t n = made.phrases;
      const uint32_t pending = made.pending;
      if (limited && n == stop) return kLz78NoGain;

      uint32_t m = n;
      if (pending != kNoName) codes[m++] = static_cast<uint16_t>(pending);
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
