// Fuzz target: finding and reading armor in any text (packet, signed text, both key armors),
// also quoted; results must be the Base64 of what lies between the markers or empty.
#include <cstdint>
#include <string>

#include "fuzz_engine.h"
#include "keys/key_export.h"
#include "packet/armor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  lq::fuzz::QuietUi ui;
  lq::DetectArmor(ui, text, true);
  lq::Dearmor_Packet(ui, text);
  lq::Dearmor_SignedText(ui, text);
  lq::DearmorBlock(ui, text, lq::kPublicKeyStart, lq::kPublicKeyEnd);
  lq::DearmorExportedKey(ui, text);
  // What an armor carries comes back out of it.
  const std::string armor = lq::Armor_Packet(ui, text);
  if (lq::Dearmor_Packet(ui, "> " + armor) != text) __builtin_trap();
  return 0;
}
