// Fuzz target: signature packets over a clear text (the input split at its first zero byte
// into packet and text) and signed-text armor, with the golden keyfile's keys.
#include <cstdint>
#include <string>

#include "fuzz_engine.h"
#include "packet/encryption_packet.h"
#include "packet/signature_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lq::fuzz::Engine& e = lq::fuzz::TheEngine();
  lq::PacketSession& s = e.Fresh();
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t cut = input.find('\0');
  const std::string packet = input.substr(0, cut);
  const std::string text = cut == std::string::npos ? "" : input.substr(cut + 1);
  lq::Decompose_SignaturePacket(s, packet, text);
  lq::Decompose_SignedDatablock(s, text, packet);
  lq::ReadArmoredText(s, input);
  std::string normal = input;
  lq::NormalizeSignedText(normal);
  std::string again = normal;
  lq::NormalizeSignedText(again);
  if (again != normal) __builtin_trap();  // normalising is idempotent
  return 0;
}
