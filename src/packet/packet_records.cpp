// Builders and checked readers of the records inside packets, and saving included files.
#include "packet/packet_records.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "base/catalogue.h"
#include "base/file_io.h"
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

// Moves `b` into a buffer of `capacity` bytes with `room` more bytes in front, wiping the old.
void MoveSecret(Bytes& b, size_t& begin, size_t room, size_t capacity) {
  Bytes bigger;
  bigger.reserve(capacity);
  bigger.resize(room);
  bigger.append(b);
  Drop(b);
  b.swap(bigger);
  begin += room;
}

}  // namespace

void LayeredRecord::Start(size_t front, size_t capacity) {
  Drop();
  buf.reserve(front + capacity);
  buf.resize(front);
  begin = front;
}

void LayeredRecord::Reserve(size_t extra) {
  if (buf.capacity() - buf.size() >= extra) return;
  MoveSecret(buf, begin, 0, std::max(buf.size() + extra, 2 * buf.capacity()));
}

void LayeredRecord::Append(std::string_view bytes) {
  Reserve(bytes.size());
  buf.append(bytes);
}

void LayeredRecord::AppendField(std::string_view content) {
  Reserve(4 + content.size());
  lq::AppendField(content, buf);
}

void LayeredRecord::Wrap(std::string_view head) {
  const size_t n = head.size() + 4;
  if (begin < n) MoveSecret(buf, begin, n + kLayerRoom, buf.size() + n + kLayerRoom + 64);
  begin -= n;
  std::memcpy(buf.data() + begin, head.data(), head.size());
  StoreLe32(buf.data() + begin + head.size(), static_cast<uint32_t>(buf.size() - begin - n));
}

Bytes LayeredRecord::Take() {
  if (begin > 0) {
    const size_t n = size();
    std::memmove(buf.data(), buf.data() + begin, n);
    WipeMemory(buf.data() + n, begin);
    buf.resize(n);
    begin = 0;
  }
  return std::move(buf);
}

void LayeredRecord::Drop() {
  lq::Drop(buf);
  begin = 0;
}

void LayeredRecord::Release() {
  lq::Release(buf);
  begin = 0;
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

bool AppendPlainTextFileRecord(PacketSession& s, const std::string& path, LayeredRecord& list) {
  s.LogLine("Including file: " + path);
  if (!s.files.Exists(path)) {
    ShowMessage(s.ui, "Error_FileNotFound", mb::kIconHand, path);
    s.LogLine("File not found: " + path);
    return false;
  }
  LocalTime written, created;
  if (!ReadFileTimes(path, written, created)) written = created = CurrentLocalTime();
  Bytes head = RecordHeader(pkt::kPlainTextFile);
  AppendField(BareName(path), head);
  AppendField(MakeDateTimeRecord(written), head);
  AppendField(MakeDateTimeRecord(created), head);
  // The contents are read straight into their place in the list, the lengths filled in after.
  FileStamp stamp;
  if (ReadFileStamp(path, stamp) != fe::kOk) stamp.size = 0;
  list.Reserve(8 + head.size() + static_cast<size_t>(stamp.size));
  const size_t at = list.buf.size();
  AppendLe32(list.buf, 0);
  list.buf.append(head);
  AppendLe32(list.buf, 0);
  const size_t start = list.buf.size();
  if (const int err = AppendWholeFile(s.files, path, list.buf); err != fe::kOk) {
    WipeMemory(list.buf.data() + at, list.buf.size() - at);
    list.buf.resize(at);
    ReportFileError(s.ui, err, path);
    return false;
  }
  const size_t n = list.buf.size() - start;
  StoreLe32(list.buf.data() + start - 4, static_cast<uint32_t>(n));
  StoreLe32(list.buf.data() + at, static_cast<uint32_t>(head.size() + 4 + n));
  return true;
}

bool AppendPlainTextFileRecord(PacketSession& s, const std::string& path, Bytes& list) {
  LayeredRecord r;
  r.buf.swap(list);
  const bool ok = AppendPlainTextFileRecord(s, path, r);
  list.swap(r.buf);
  return ok;
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

namespace {

// Compresses `data` into `z`; false when it is to be stored as "None" (compression switched off
// or not paying), with the log line for either case.
bool CompressForRecord(PacketSession& s, std::string_view data, Bytes& z) {
  if (s.never_compress) {
    s.LogLine("Data must not be compressed");
    return false;
  }
  // A stream longer than the data is not kept (one of equal length is), so the compressor may
  // give up as soon as it knows.
  const int rc = LZ78_Compress(data, z, data.size());
  if ((rc != kLz78Ok && rc != kLz78EmptyInput) || z.size() > data.size()) {
    Drop(z);
    s.LogLine("Data could not be compressed...");
    return false;
  }
  s.LogLine(SizeText(static_cast<double>(data.size())) + " compressed to " +
            SizeText(static_cast<double>(z.size())) + "," +
            (data.empty() ? std::string(" = 0.0%")
                          : " =" + Percent(static_cast<double>(z.size()) /
                                           static_cast<double>(data.size()))));
  return true;
}

}  // namespace

Bytes Compose_CompressedRecord(PacketSession& s, std::string_view data) {
  Bytes out = RecordHeader(pkt::kCompressed);
  Bytes z;
  const bool compressed = CompressForRecord(s, data, z);
  AppendField(compressed ? "LZ78" : "None", out);
  AppendField(compressed ? std::string_view(z) : data, out);
  Drop(z);
  return out;
}

void Compose_CompressedRecord(PacketSession& s, LayeredRecord& record, size_t front, size_t tail) {
  Bytes z;
  if (!CompressForRecord(s, record.view(), z)) {
    record.Wrap(RecordHeader(pkt::kCompressed) + Field("None"));
    return;
  }
  record.Start(front, z.size() + tail);
  record.buf.append(z);
  Drop(z);
  record.Wrap(RecordHeader(pkt::kCompressed) + Field("LZ78"));
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

void Compose_EncryptedDataRecord(PacketSession& s, LayeredRecord& record, std::string_view key) {
  s.LogLine("Encrypting data");
  if (!AES_Encrypt_CBC_InPlace(s.random, s.ui, record.buf, record.begin, key)) {
    // As the copying builder does: the record holds an empty ciphertext.
    record.Drop();
    record.Start(kLayerRoom, 0);
  }
  record.Wrap(RecordHeader(pkt::kEncryptedData));
}

void Compose_PlainText_HMACrecord(PacketSession& s, std::string_view text, std::string_view key,
                                  LayeredRecord& out, size_t front, size_t tail) {
  // Room for the whole list up front: the attachments then land in place without a move.
  size_t estimate = 256 + text.size() + tail;
  for (const std::string& path : s.attachments) {
    FileStamp stamp;
    if (ReadFileStamp(path, stamp) == fe::kOk) estimate += 256 + static_cast<size_t>(stamp.size);
  }
  // The HMAC header goes in front last; its digest covers the list.
  out.Start(front + 6 + 4 + kSha256Size + 4, estimate);
  out.AppendField(CurrentDateTimeRecord());
  out.AppendField(Compose_TextMessageRecord(text));
  s.LogLine("Adding textmessage to packet");
  for (const std::string& path : s.attachments) {
    if (s.files.Exists(path)) AppendPlainTextFileRecord(s, path, out);
  }
  const Bytes mac = HMAC_SHA256(key, out.view());
  out.Wrap(RecordHeader(pkt::kHmac) + Field(mac));
  s.LogLine("Composing HMACrecord");
}

Bytes Compose_PlainText_HMACrecord(PacketSession& s, std::string_view text, std::string_view key) {
  LayeredRecord out;
  Compose_PlainText_HMACrecord(s, text, key, out, 0, 0);
  return out.Take();
}

Bytes Decompose_EncryptedDataRecord(PacketSession& s, std::string_view record,
                                    std::string_view key) {
  s.LogLine("Decrypting data");
  if (!CheckHeader(s.ui, record, pkt::kEncryptedData)) return {};
  long pos = 7;
  return AES_Decrypt_CBC(s.ui, FieldView(record, pos), key);
}

std::string_view DecryptDataRecordInPlace(PacketSession& s, char* record, size_t n,
                                          std::string_view key) {
  s.LogLine("Decrypting data");
  const std::string_view r(record, n);
  if (!CheckHeader(s.ui, r, pkt::kEncryptedData)) return {};
  long pos = 7;
  const std::string_view c = FieldView(r, pos);
  char* data = c.empty() ? record : record + (c.data() - r.data());
  return std::string_view(data, AES_Decrypt_CBC_InPlace(s.ui, data, c.size(), key));
}

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

bool CheckHashRecord(PacketSession& s, std::string_view record, std::string_view& data) {
  s.LogLine("Decomposing hashrecord");
  data = {};
  if (!CheckHeader(s.ui, record, pkt::kHash)) return false;
  long pos = 7;
  const Bytes digest = NextField(record, pos);
  const std::string_view d = FieldView(record, pos);
  if (ConstantTimeEqual(SHA256_Hash(d), digest)) {
    data = d;
    return true;
  }
  s.LogLine("  Hashvalue did NOT match!! Action aborted.");
  ShowMessage(s.ui, "Endec_HashDoesNotMatch", mb::kIconHand);
  return false;
}

Bytes Decompose_HashRecord(PacketSession& s, std::string_view record) {
  std::string_view data;
  return CheckHashRecord(s, record, data) ? Bytes(data) : Bytes();
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
