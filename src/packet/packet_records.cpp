// Builders and checked readers of the records inside packets, and saving included files.
#include "packet/packet_records.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/catalogue.h"
#include "base/records.h"
#include "crypto/aes.h"
#include "crypto/lz78.h"
#include "crypto/sha256.h"
#include "packet/armor.h"

namespace lq {

std::string_view FieldView(std::string_view list, long& position) {
  if (position < 0) return {};
  const size_t start = static_cast<size_t>(position) - 1;
  if (position == 0 || start + 4 > list.size()) {
    position = kFieldShortLength;
    return {};
  }
  const int32_t n = static_cast<int32_t>(LoadLe32(list.data() + start));
  if (n < 0 || static_cast<size_t>(n) > list.size() - start - 4) {
    position = kFieldOverlong;
    return {};
  }
  const size_t next = start + 4 + static_cast<size_t>(n);
  position = next >= list.size() ? kFieldEnd : static_cast<long>(next + 1);
  return list.substr(start + 4, static_cast<size_t>(n));
}

Bytes Field(std::string_view content) {
  Bytes out;
  AppendField(content, out);
  return out;
}

namespace {

// The bare file name the system would show for a path.
std::string BareName(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Checks type and format of a record; both show their own message.
bool CheckHeader(Ui& ui, std::string_view record, std::string_view type) {
  return CheckRecordType(ui, record, type) && CheckRecordFormat(ui, record, kRecordFormat001);
}

std::string Percent(double ratio) {
  char buf[32];
  std::snprintf(buf, sizeof buf, " %.1f%%", ratio * 100.0);
  return buf;
}

}  // namespace

Bytes Compose_TextMessageRecord(std::string_view text) {
  return RecordHeader(pkt::kTextMessage) + Field(text);
}

namespace {

// Makes room for `extra` more bytes without leaving a copy of the secret contents behind in
// memory that std::string growth would free unwiped.
void GrowSecret(Bytes& b, size_t extra) {
  if (b.capacity() - b.size() >= extra) return;
  Bytes bigger;
  bigger.reserve(std::max(b.size() + extra, 2 * b.capacity()));
  bigger.append(b);
  Drop(b);
  b.swap(bigger);
}

}  // namespace

bool AppendPlainTextFileRecord(PacketSession& s, const std::string& path, Bytes& list) {
  s.LogLine("Including file: " + path);
  if (!s.files.Exists(path)) {
    ShowMessage(s.ui, "Error_FileNotFound", mb::kIconHand, path);
    s.LogLine("File not found: " + path);
    return false;
  }
  LocalTime written, created;
  if (!ReadFileTimes(path, written, created)) written = created = CurrentLocalTime();
  Bytes contents;
  if (const int err = ReadWholeFile(s.files, path, contents); err != fe::kOk) {
    ReportFileError(s.ui, err, path);
    return false;
  }
  // The record goes straight into the list, length first: the contents are copied once.
  Bytes head = RecordHeader(pkt::kPlainTextFile);
  AppendField(BareName(path), head);
  AppendField(MakeDateTimeRecord(written), head);
  AppendField(MakeDateTimeRecord(created), head);
  const size_t record_size = head.size() + 4 + contents.size();
  GrowSecret(list, 4 + record_size);
  AppendLe32(list, static_cast<uint32_t>(record_size));
  list.append(head);
  AppendField(contents, list);
  Drop(contents);
  return true;
}

Bytes Compose_PlainTextFileRecord(PacketSession& s, const std::string& path) {
  Bytes field;
  if (!AppendPlainTextFileRecord(s, path, field)) return {};
  Bytes record(std::string_view(field).substr(4));
  Drop(field);
  return record;
}

Bytes Compose_HMACrecord(std::string_view key, std::string_view data) {
  Bytes out = RecordHeader(pkt::kHmac);
  out.reserve(data.size() + 50);
  AppendField(HMAC_SHA256(key, data), out);
  AppendField(data, out);
  return out;
}

Bytes Compose_HashRecord(PacketSession& s, std::string_view data) {
  s.LogLine("Composing hashrecord");
  Bytes out = RecordHeader(pkt::kHash);
  out.reserve(data.size() + 50);
  AppendField(SHA256_Hash(data), out);
  AppendField(data, out);
  return out;
}

Bytes Compose_CompressedRecord(PacketSession& s, std::string_view data) {
  Bytes out = RecordHeader(pkt::kCompressed);
  if (s.never_compress) {
    AppendField("None", out);
    AppendField(data, out);
    s.LogLine("Data must not be compressed");
    return out;
  }
  Bytes z;
  // A stream longer than the data is not kept (one of equal length is), so the compressor may
  // give up as soon as it knows.
  const int rc = LZ78_Compress(data, z, data.size());
  if ((rc != kLz78Ok && rc != kLz78EmptyInput) || z.size() > data.size()) {
    Drop(z);
    AppendField("None", out);
    AppendField(data, out);
    s.LogLine("Data could not be compressed...");
    return out;
  }
  AppendField("LZ78", out);
  AppendField(z, out);
  s.LogLine(SizeText(static_cast<double>(data.size())) + " compressed to " +
            SizeText(static_cast<double>(z.size())) + "," +
            (data.empty() ? std::string(" = 0.0%")
                          : " =" + Percent(static_cast<double>(z.size()) /
                                           static_cast<double>(data.size()))));
  Drop(z);
  return out;
}

Bytes Compose_EncryptedDataRecord(PacketSession& s, std::string_view data, std::string_view key) {
  s.LogLine("Encrypting data");
  Bytes c = AES_Encrypt_CBC(s.random, s.ui, data, key, {});
  Bytes out = RecordHeader(pkt::kEncryptedData);
  out.reserve(c.size() + 10);
  AppendField(c, out);
  Release(c);
  return out;
}

Bytes Compose_PlainText_HMACrecord(PacketSession& s, std::string_view text, std::string_view key) {
  // The list is built behind room for the record's header and keyed digest, which are filled
  // in at the end, so the plaintext is never copied into a second record.
  constexpr size_t kPrefix = 6 + 4 + kSha256Size + 4;
  Bytes out(kPrefix, '\0');
  AppendField(CurrentDateTimeRecord(), out);
  AppendField(Compose_TextMessageRecord(text), out);
  s.LogLine("Adding textmessage to packet");
  for (const std::string& path : s.attachments) {
    if (s.files.Exists(path)) AppendPlainTextFileRecord(s, path, out);
  }
  const std::string_view list = std::string_view(out).substr(kPrefix);
  const Bytes mac = HMAC_SHA256(key, list);
  std::memcpy(out.data(), "109001", 6);
  StoreLe32(out.data() + 6, static_cast<uint32_t>(kSha256Size));
  std::memcpy(out.data() + 10, mac.data(), kSha256Size);
  StoreLe32(out.data() + 10 + kSha256Size, static_cast<uint32_t>(list.size()));
  s.LogLine("Composing HMACrecord");
  return out;
}

Bytes Decompose_EncryptedDataRecord(PacketSession& s, std::string_view record,
                                    std::string_view key) {
  s.LogLine("Decrypting data");
  if (!CheckHeader(s.ui, record, pkt::kEncryptedData)) return {};
  long pos = 7;
  return AES_Decrypt_CBC(s.ui, FieldView(record, pos), key);
}

namespace {

// Reads a compressed record: the stored bytes of "None" in `stored`, or the decompressed bytes
// in `out`. False (message shown) on any failure.
bool ReadCompressedRecord(PacketSession& s, std::string_view record, Bytes& out,
                          std::string_view& stored, bool& is_stored) {
  s.LogLine("Decompressing data");
  is_stored = false;
  if (!CheckHeader(s.ui, record, pkt::kCompressed)) return false;
  long pos = 7;
  const Bytes algo = NextField(record, pos);
  const std::string_view z = FieldView(record, pos);
  if (pos < kFieldEnd) {
    // Truncated or overlong fields: the record was damaged on its way.
    s.LogLine("  Compressed record is damaged!");
    ShowMessage(s.ui, "Endec_HMACDoesNotMatch", mb::kIconHand);
    return false;
  }
  if (algo == "LZ78") {
    s.LogLine("  LZ78 algorithm was used for compression");
    const int rc = LZ78_Decompress(z, out, s.max_plaintext_bytes);
    if (rc == kLz78OverLimit) {
      // Refused before anything is allocated: a few hundred bytes can state gigabytes.
      s.LogLine("  Compressed data states more than the limit for one packet");
      ShowMessage(s.ui, "EnDec_PacketTooLarge", mb::kIconHand,
                  NumText(static_cast<long long>(LZ78_StatedLength(z))),
                  NumText(static_cast<long long>(s.max_plaintext_bytes)));
      return false;
    }
    if (rc == kLz78TooLarge) {
      s.LogLine("  Not enough memory to decompress the data");
      ShowMessage(s.ui, "Error_OutOfMemory", mb::kIconHand);
      return false;
    }
    if (rc != kLz78Ok) {
      // Only tampering or transport damage produces a stream the decoder rejects; the HMAC
      // inside cannot be reached, so the packet is reported as damaged.
      s.LogLine("  Compressed data is damaged!");
      ShowMessage(s.ui, "Endec_HMACDoesNotMatch", mb::kIconHand);
      return false;
    }
    return true;
  }
  if (algo == "None") {
    s.LogLine("  data was not compressed");
    stored = z;
    is_stored = true;
    return true;
  }
  s.LogLine("  Unknown compression algorithm!");
  ShowMessage(s.ui, "EnDec_WrongCompressionAlgo", mb::kIconHand, algo);
  return false;
}

}  // namespace

Bytes Decompose_CompressedRecord(PacketSession& s, std::string_view record) {
  Bytes out;
  std::string_view stored;
  bool is_stored = false;
  if (!ReadCompressedRecord(s, record, out, stored, is_stored)) return {};
  return is_stored ? Bytes(stored) : out;
}

Bytes Decompose_CompressedRecord(PacketSession& s, Bytes&& record) {
  Bytes out;
  std::string_view stored;
  bool is_stored = false;
  if (!ReadCompressedRecord(s, record, out, stored, is_stored)) {
    Drop(record);
    return {};
  }
  if (!is_stored) {
    Drop(record);
    return out;
  }
  // Move the stored bytes to the front of the same buffer and wipe the tail they left.
  const size_t offset = static_cast<size_t>(stored.data() - record.data());
  const size_t length = stored.size();
  Bytes result = std::move(record);
  std::memmove(result.data(), result.data() + offset, length);
  WipeMemory(result.data() + length, result.size() - length);
  result.resize(length);
  return result;
}

bool CheckHMACrecord(PacketSession& s, std::string_view key, std::string_view record,
                     std::string_view& data) {
  s.LogLine("Decomposing HMACRecord");
  if (!CheckHeader(s.ui, record, pkt::kHmac)) return false;
  long pos = 7;
  const Bytes mac = NextField(record, pos);
  data = FieldView(record, pos);
  if (ConstantTimeEqual(HMAC_SHA256(key, data), mac)) return true;
  data = {};
  ShowMessage(s.ui, "Endec_HMACDoesNotMatch", mb::kIconHand);
  return false;
}

Bytes Decompose_HMACrecord(PacketSession& s, std::string_view key, std::string_view record) {
  std::string_view data;
  return CheckHMACrecord(s, key, record, data) ? Bytes(data) : Bytes();
}

Bytes Decompose_HashRecord(PacketSession& s, std::string_view record) {
  s.LogLine("Decomposing hashrecord");
  if (!CheckHeader(s.ui, record, pkt::kHash)) return {};
  long pos = 7;
  const Bytes digest = NextField(record, pos);
  const std::string_view data = FieldView(record, pos);
  if (ConstantTimeEqual(SHA256_Hash(data), digest)) return Bytes(data);
  s.LogLine("  Hashvalue did NOT match!! Action aborted.");
  ShowMessage(s.ui, "Endec_HashDoesNotMatch", mb::kIconHand);
  return {};
}

Bytes Decompose_TextMessageRecord(PacketSession& s, std::string_view record) {
  if (!CheckHeader(s.ui, record, pkt::kTextMessage)) return {};
  long pos = 7;
  Bytes text = NextField(record, pos);
  if (!text.empty()) {
    s.LogLine("Retrieving textmessage");
    const bool armored = !DetectArmor(s.ui, text, false).empty();
    s.AddHistoryText(armored ? "Ciphertext #" : "Plaintext #", text);
  }
  return text;
}

int Decompose_PlainTextFileRecord(PacketSession& s, std::string_view record) {
  if (!CheckHeader(s.ui, record, pkt::kPlainTextFile)) return 0;
  long pos = 7;
  const Bytes stored_name = NextField(record, pos);
  const Bytes written_rec = NextField(record, pos);
  const Bytes created_rec = NextField(record, pos);
  const std::string_view contents = FieldView(record, pos);
  s.LogLine("Decomposing file: " + stored_name);
  // The name comes from the sender: it must never reach outside the store folder.
  const std::string name = SafeStoreName(stored_name);
  if (name.empty()) {
    ShowMessage(s.ui, "Error_BadFilename", mb::kIconHand, stored_name);
    s.LogLine("-- File was not saved");
    return 0;
  }
  // The folder may come without its separator (a chooser, a setting, lq's option).
  std::string path = s.store_folder;
  if (!path.empty() && path.back() != '/' && path.back() != '\\') path += kStoreSeparator;
  path += name;
  LocalTime written, created;
  const bool have_times = ReadDateTimeRecord(s.ui, written_rec, written) &&
                          ReadDateTimeRecord(s.ui, created_rec, created);
  if (s.files.Exists(path)) {
    OverwriteRequest request;
    request.existing_file = path;
    request.new_file = name;
    request.new_size = contents.size();
    if (have_times) request.new_written = written;
    if (!ConfirmOverwrite(s, request)) {
      s.LogLine("-- File was not saved");
      return 1;
    }
  }
  const bool packet_file =
      path.size() > 4 &&
      path.compare(path.size() - 4, 4, std::string(".") + kPacketFileExtension) == 0;
  // The old file is replaced only once the new one is safely written.
  if (const int err = ReplaceWholeFile(s.files, path, contents); err != fe::kOk) {
    ReportFileError(s.ui, err, path);
    return 0;
  }
  s.AddHistoryFile(packet_file ? "Encrypted file" : "Plaintext file", path);
  if (have_times) WriteFileTimes(path, written, created);
  s.LogLine("-- File was saved as:" + path);
  return 0;
}

Bytes ProcessPlaintextList(PacketSession& s, std::string_view list) {
  long pos = 1;
  const Bytes date = NextField(list, pos);
  const std::string when = FormatDateTimeRecord(s.ui, date);
  if (s.Status().empty()) s.AppendStatus("Packet was encrypted at: " + when);
  s.AppendSummary("Packet was encrypted at: " + when);
  Bytes text = Decompose_TextMessageRecord(s, NextField(list, pos));
  while (pos >= 0) Decompose_PlainTextFileRecord(s, FieldView(list, pos));
  return text;
}

}  // namespace lq
