// BigNum operations: the kernel on the native limb width. 64-bit limbs where the compiler
// offers 128-bit products, 32-bit limbs otherwise (the i686 build).
#include "crypto/bignum.h"

#include <algorithm>

#include "crypto/bignum_kernel.h"

namespace lq {
namespace {

#if defined(__SIZEOF_INT128__) && !defined(LQ_BIGNUM_LIMB32)
using Limb = uint64_t;
#else
using Limb = uint32_t;
#endif
using Ops = bignum_detail::BigOps<Limb>;

}  // namespace

BigNum BigFromWord(uint32_t value) { return Ops::Word(value); }

uint64_t BigToU64(const BigNum& a) {
  uint64_t v = 0;
  for (size_t i = 0; i < a.size() && i < 8; ++i) {
    v |= static_cast<uint64_t>(static_cast<unsigned char>(a[i])) << (8 * i);
  }
  return v;
}

BigNum BigAdd(const BigNum& a, const BigNum& b) { return Ops::Add(a, b); }
BigNum BigSubtract(const BigNum& a, const BigNum& b) { return Ops::Subtract(a, b); }
BigNum BigMultiply(const BigNum& a, const BigNum& b) { return Ops::Multiply(a, b); }

void BigDivide(const BigNum& a, const BigNum& m, BigNum& quotient, BigNum& remainder) {
  Ops::Divide(a, m, quotient, remainder);
}

BigNum BigMod(const BigNum& a, const BigNum& m) { return Ops::Mod(a, m); }
BigNum BigShiftRight1(const BigNum& a) { return Ops::ShiftRight1(a); }
BigNum BigDouble(const BigNum& a) { return Ops::Double(a); }

bool BigIsZero(const BigNum& a) {
  return std::all_of(a.begin(), a.end(), [](char c) { return c == 0; });
}

bool BigIsOdd(const BigNum& a) { return !a.empty() && (a[0] & 1); }
int BigCompare(const BigNum& a, const BigNum& b) { return Ops::Compare(a, b); }
bool BigLessThan(const BigNum& a, const BigNum& b) { return Ops::Compare(a, b) < 0; }
int BigBitLength(const BigNum& a) { return Ops::BitLength(a); }
BigNum BigGcd(const BigNum& a, const BigNum& b) { return Ops::Gcd(a, b); }

bool BigCoprime(const BigNum& a, const BigNum& b) {
  return Ops::Compare(Ops::Gcd(a, b), Ops::Word(1)) == 0;
}

BigNum BigModInverse(const BigNum& e, const BigNum& m, bool& exists) {
  return Ops::ModInverse(e, m, exists);
}

BigNum BigPowMod(const BigNum& base, const BigNum& exponent, const BigNum& modulus) {
  return Ops::PowMod(base, exponent, modulus);
}

std::string BigToDecimal(const BigNum& a) { return Ops::ToDecimal(a); }
BigNum BigFromDecimal(const std::string& text) { return Ops::FromDecimal(text); }

BigNum BigSetBit(const BigNum& a, int bit) {
  BigNum out = a;
  if (bit >= 0) {
    const size_t words = static_cast<size_t>(bit) / 32 + 1;
    if (out.size() < 4 * words) out.resize(4 * words, '\0');
    out[static_cast<size_t>(bit) / 8] |= static_cast<char>(1 << (bit % 8));
  }
  return Ops::Out(Ops::In(out));
}

bool BigTestBit(const BigNum& a, int bit) {
  if (bit < 0 || static_cast<size_t>(bit) / 8 >= a.size()) return false;
  return (static_cast<unsigned char>(a[static_cast<size_t>(bit) / 8]) >> (bit % 8)) & 1;
}

}  // namespace lq
