// Fuzz target: the hash record and packet decomposition with the golden keyfile (secret keys,
// key pairs, a public-only key), so every pass of the key search can be reached. The first
// byte chooses the route: a hash record, a bare encryption packet, or armored text.
#include <cstdint>
#include <string>

#include "fuzz_engine.h"
#include "packet/encryption_packet.h"
#include "packet/packet_records.h"
#include "packet/signature_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  lq::fuzz::Engine& e = lq::fuzz::TheEngine();
  lq::PacketSession& s = e.Fresh();
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  switch (data[0] % 3) {
    case 0: {
      const lq::Bytes packet = lq::Decompose_HashRecord(s, input);
      if (!packet.empty()) lq::Decompose_EncryptionPacket(s, packet);
      break;
    }
    case 1:
      lq::Decompose_EncryptionPacket(s, input);
      break;
    default:
      lq::ReadArmoredText(s, input);
      break;
  }
  return 0;
}
