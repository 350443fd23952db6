// Fuzz target: public-key import: dearmoring, the exported key record's checks, and the import
// into the open golden keyfile (whose table is put back after every input).
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_engine.h"
#include "keys/key_export.h"
#include "keys/key_records.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  lq::fuzz::Engine& e = lq::fuzz::TheEngine();
  static const std::vector<lq::Bytes> kTable = e.kf.table;
  const std::string text(reinterpret_cast<const char*>(data), size);
  lq::ExportedKey key;
  lq::DecomposeExportedKeyRecord(e.ui, text, key);  // a bare record
  lq::WipeExportedKey(key);
  lq::Bytes id;
  lq::ImportExportedKey(e.kf, text, id);  // armored, as pasted
  e.kf.table = kTable;
  e.kf.private_keys.clear();
  lq::RebuildLists(e.kf);
  return 0;
}
