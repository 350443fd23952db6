// Fuzz target: packet files (".lqe"): the input is written as a file and opened as the desktop
// program opens a dropped file, with the golden keyfile's keys.
#include <cstdint>
#include <cstdio>
#include <string>

#include "fuzz_engine.h"
#include "packet/signature_packet.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lq::fuzz::Engine& e = lq::fuzz::TheEngine();
  lq::PacketSession& s = e.Fresh();
  const std::string path = e.folder + "/input.lqe";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size) std::fwrite(data, 1, size, f);
  std::fclose(f);
  lq::Decompose_PacketFile(s, path);
  return 0;
}
