// Byte string helpers shared by every layer.
#include "base/bytes.h"

#include <climits>
#include <cstring>

namespace lq {

std::string NumText(long long n) {
  std::string digits = std::to_string(n);
  return n >= 0 ? " " + digits : digits;
}

long long ParseNumber(std::string_view text, bool* ok) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
    negative = text[i] == '-';
    ++i;
  }
  unsigned long long value = 0;
  bool any = false;
  bool overflow = false;
  const unsigned long long limit = negative ? 0x8000000000000000ULL : LLONG_MAX;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    any = true;
    unsigned digit = static_cast<unsigned>(text[i] - '0');
    if (value > (limit - digit) / 10) {
      overflow = true;
    } else {
      value = value * 10 + digit;
    }
  }
  if (ok) *ok = any;
  if (overflow) return negative ? LLONG_MIN : LLONG_MAX;
  if (negative) return value == 0x8000000000000000ULL ? LLONG_MIN : -static_cast<long long>(value);
  return static_cast<long long>(value);
}

void AppendLe32(std::string& out, uint32_t value) {
  char b[4];
  StoreLe32(b, value);
  out.append(b, 4);
}

uint32_t LoadLe32(const void* p) {
  const unsigned char* b = static_cast<const unsigned char*>(p);
  return uint32_t{b[0]} | uint32_t{b[1]} << 8 | uint32_t{b[2]} << 16 | uint32_t{b[3]} << 24;
}

void StoreLe32(void* p, uint32_t value) {
  unsigned char* b = static_cast<unsigned char*>(p);
  b[0] = static_cast<unsigned char>(value);
  b[1] = static_cast<unsigned char>(value >> 8);
  b[2] = static_cast<unsigned char>(value >> 16);
  b[3] = static_cast<unsigned char>(value >> 24);
}

bool ConstantTimeEqual(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  unsigned char diff = 0;
  for (size_t i = 0; i < a.size(); ++i) diff |= static_cast<unsigned char>(a[i] ^ b[i]);
  return diff == 0;
}

void WipeMemory(void* p, size_t n) {
  if (n == 0) return;
  std::memset(p, 0, n);
  // The empty asm that may read the memory keeps the compiler from dropping the memset as a
  // dead store; a byte-wise volatile loop would do the same at a tenth of the speed.
  __asm__ __volatile__("" : : "r"(p) : "memory");
}

void Wipe(std::string& secret) {
  // Zero the whole capacity: earlier, longer contents may still sit behind the current end.
  // Growing the string to its capacity writes zeros there, so only the bytes before the old end
  // need wiping, and each byte is written once.
  const size_t n = secret.size();
  secret.resize(secret.capacity());
  WipeMemory(secret.data(), n);
  __asm__ __volatile__("" : : "r"(secret.data()) : "memory");
  secret.clear();
}

void AppendSecret(std::string& secret, char c) {
  if (secret.size() == secret.capacity()) {
    // Grow by hand: a plain append would leave the old buffer, secret and all, unwiped.
    std::string bigger;
    bigger.reserve(secret.capacity() < 64 ? 128 : secret.capacity() * 2);
    bigger.assign(secret);
    Wipe(secret);
    secret.swap(bigger);
  }
  secret.push_back(c);
}

uint32_t NextUtf8CodePoint(std::string_view s, size_t& pos) {
  const auto b = static_cast<unsigned char>(s[pos]);
  size_t length = 0;
  uint32_t cp = 0;
  if (b >= 0xC2 && b <= 0xDF) {
    length = 2, cp = b & 0x1F;
  } else if (b >= 0xE0 && b <= 0xEF) {
    length = 3, cp = b & 0x0F;
  } else if (b >= 0xF0 && b <= 0xF4) {
    length = 4, cp = b & 0x07;
  }
  if (length == 0 || pos + length > s.size()) {
    ++pos;
    return b;
  }
  for (size_t k = 1; k < length; ++k) {
    const auto c = static_cast<unsigned char>(s[pos + k]);
    if ((c & 0xC0) != 0x80) {
      ++pos;
      return b;
    }
    cp = (cp << 6) | (c & 0x3F);
  }
  pos += length;
  return cp;
}


std::string HexText(std::string_view bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * 2);
  for (unsigned char c : bytes) {
    out.push_back(kDigits[c >> 4]);
    out.push_back(kDigits[c & 15]);
  }
  return out;
}

}  // namespace lq
