// Multi-precision integers for RSA and the Blum-Blum-Shub generator: the BigNum byte-string form
// (little-endian 32-bit words) and the arithmetic on it. Inner work is done on native limbs
// (64-bit where the compiler has 128-bit products), so the stored form never changes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "base/bytes.h"

namespace lq {

// A non-negative integer as a byte string of whole 32-bit words, least significant word first,
// each word least significant byte first. "" and any run of zero bytes are zero.
// Inputs of any length are accepted (a ragged tail counts as the low bytes of one more word).
// Results are normalised: the fewest words that hold the value, and at least one word, so zero
// comes back as 00 00 00 00 and one as 01 00 00 00.
using BigNum = Bytes;

// The one-word BigNum of a small constant.
BigNum BigFromWord(uint32_t value);
// The value of a BigNum below 2^64 (higher words are ignored).
uint64_t BigToU64(const BigNum& a);

BigNum BigAdd(const BigNum& a, const BigNum& b);
// a - b; zero when b > a (callers ensure a >= b).
BigNum BigSubtract(const BigNum& a, const BigNum& b);
BigNum BigMultiply(const BigNum& a, const BigNum& b);
// Quotient and remainder of a / m. Division by zero gives quotient 0 and remainder a.
void BigDivide(const BigNum& a, const BigNum& m, BigNum& quotient, BigNum& remainder);
// a mod m; a itself (normalised) when m is zero.
BigNum BigMod(const BigNum& a, const BigNum& m);
BigNum BigShiftRight1(const BigNum& a);
BigNum BigDouble(const BigNum& a);
bool BigIsZero(const BigNum& a);
bool BigIsOdd(const BigNum& a);
// Numeric comparison; strings of different lengths compare as if padded with zero words.
bool BigLessThan(const BigNum& a, const BigNum& b);
// -1, 0 or 1 as a is below, equal to or above b.
int BigCompare(const BigNum& a, const BigNum& b);
// Number of significant bits (0 for zero).
int BigBitLength(const BigNum& a);
BigNum BigGcd(const BigNum& a, const BigNum& b);
// True when gcd(a, b) is one.
bool BigCoprime(const BigNum& a, const BigNum& b);
// d with e * d = 1 (mod m) and 0 <= d < m; `exists` is false (and d zero) when gcd(e, m) is not
// one or m is zero. For m = 1 the inverse is 0.
BigNum BigModInverse(const BigNum& e, const BigNum& m, bool& exists);
// base ^ exponent mod modulus. Exponent zero gives one (one word) whatever the modulus, as the
// right-to-left method starts from one; otherwise modulus zero or one gives zero.
// Odd moduli use Montgomery multiplication with a sliding window; even ones plain reduction.
BigNum BigPowMod(const BigNum& base, const BigNum& exponent, const BigNum& modulus);
// Decimal digits without sign or blank ("0" for zero).
std::string BigToDecimal(const BigNum& a);
// Parses decimal digits (tests and constants); stops at the first non-digit.
BigNum BigFromDecimal(const std::string& text);

// Bit operations the prime search needs.
BigNum BigSetBit(const BigNum& a, int bit);
bool BigTestBit(const BigNum& a, int bit);

}  // namespace lq
