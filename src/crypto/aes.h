// AES (FIPS-197, 128/192/256-bit keys chosen by key length) with the system's padding and CBC
// layout, the cipher of packets, session keys and keyfile records:
//   padding: k = 16 - (L mod 16) bytes, the first k - 1 random, the last the value k;
//   CBC output: C1..Cn followed by the 16-byte IV (at the end, not the front).
// Uses the CPU's AES instructions when present, a table implementation otherwise.
#pragma once

#include <cstddef>
#include <string_view>

#include "base/bytes.h"
#include "base/ui.h"
#include "crypto/random.h"

namespace lq {

constexpr size_t kAesBlockSize = 16;

// Every failure below shows its text in a plain message box (no catalogue key, default caption,
// OK button) and returns what its comment says. Round-key schedules live only for the call and
// are wiped before it returns; so are the copies of plaintext a routine makes.

// One block, no padding. A block that is not 16 bytes gives an empty result; a key that is not
// 16, 24 or 32 bytes gives 16 zero bytes.
Bytes AES_Encrypt_1Block(Ui& ui, std::string_view block, std::string_view key);
Bytes AES_Decrypt_1Block(Ui& ui, std::string_view block, std::string_view key);

// ECB with the padding above (random bytes from the runtime generator). A wrong key length gives
// L + k zero bytes.
Bytes AES_Encrypt_ECB(RandomContext& random, Ui& ui, std::string_view plaintext,
                      std::string_view key);

// Decrypts and strips as many bytes as the last plaintext byte says (empty when that is more
// than there is; the other padding bytes are not checked). A length that is not a multiple of 16
// gives an empty result; a wrong key length gives as many zero bytes as the input.
Bytes AES_Decrypt_ECB(Ui& ui, std::string_view ciphertext, std::string_view key);

// CBC with the padding above: C1..Cn || IV, L + k + 16 bytes. An empty `iv` asks for a fresh
// random one, drawn after the padding bytes; an IV of another length than 0 or 16, or a wrong key
// length, gives an empty result.
Bytes AES_Encrypt_CBC(RandomContext& random, Ui& ui, std::string_view plaintext,
                      std::string_view key, std::string_view iv);

// Takes the IV from the last 16 bytes, decrypts the rest and strips the padding as in
// AES_Decrypt_ECB. A length that is not a multiple of 16 or a wrong key length gives an empty
// result; an input of 16 bytes (IV only) or none gives an empty result without a message.
// A wrong key of the right length is not detected: callers check their own check values.
Bytes AES_Decrypt_CBC(Ui& ui, std::string_view data, std::string_view key);

// The same two in place, for large packet layers that should not be held twice.
// Encrypts buffer[offset..] and appends the padding and the IV: the result and the random bytes
// drawn are those of AES_Encrypt_CBC with an empty IV. The buffer grows by at most 32 bytes; if it
// must move, the old copy is wiped. False (box shown, buffer unchanged) for a wrong key length.
bool AES_Encrypt_CBC_InPlace(RandomContext& random, Ui& ui, Bytes& buffer, size_t offset,
                             std::string_view key);
// Decrypts `data` (n bytes, IV last) where it lies and returns the plaintext length: the
// plaintext is the first bytes of `data`, the rest (padding, IV) is wiped. Failures, messages and
// empty results are those of AES_Decrypt_CBC (the length is then 0).
size_t AES_Decrypt_CBC_InPlace(Ui& ui, char* data, size_t n, std::string_view key);

// Known-answer check (FIPS-197 Appendix C, SP 800-38A ECB and CBC, every key size) through the
// routines above. Sends "Checking AES-CBC-256 proper functioning: N errors in AES-CBC routines"
// to the trace and returns N.
int AES_SelfTest(RandomContext& random, Ui& ui);

}  // namespace lq
