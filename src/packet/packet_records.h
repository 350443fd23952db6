// The records packets are built from (text, file, HMAC, hash, compressed and encrypted data)
// with their builders and checked readers. Every reader shows its own failure through the
// catalogue and returns an empty result, so callers simply stop on empty.
#pragma once

#include <string>
#include <string_view>

#include "base/bytes.h"
#include "packet/packet_session.h"

namespace lq {

namespace pkt {
inline constexpr char kTextMessage[] = "100";
inline constexpr char kPlainTextFile[] = "101";
inline constexpr char kCompressed[] = "102";
inline constexpr char kSignedDatablock[] = "103";
inline constexpr char kEncryptedData[] = "104";
inline constexpr char kSecretKeyEntry[] = "105";
inline constexpr char kPublicKeyEntry[] = "106";
inline constexpr char kHash[] = "108";
inline constexpr char kHmac[] = "109";
inline constexpr char kDateTime[] = "110";
inline constexpr char kEncryptionPacket[] = "111";
inline constexpr char kSignaturePacket[] = "112";
inline constexpr char kPacketFile[] = "113";
}  // namespace pkt

inline constexpr char kPacketFileExtension[] = "lqe";

// NextField without the copy: a view into `list` (which must outlive it), same markers.
std::string_view FieldView(std::string_view list, long& position);

// f(x): one field holding x.
Bytes Field(std::string_view content);

// A record and the records around it, built in one buffer: an outer layer writes its header into
// room kept in front and its trailing fields behind, so no layer copies the one inside. Plaintext
// stages live here too, so growing the buffer never leaves an unwiped copy behind.
struct LayeredRecord {
  Bytes buf;
  size_t begin = 0;  // where the outermost record so far starts

  std::string_view view() const { return std::string_view(buf).substr(begin); }
  size_t size() const { return buf.size() - begin; }
  // An empty record with `front` bytes of room before it and room for `capacity` bytes after.
  void Start(size_t front, size_t capacity);
  // Makes room for `extra` more bytes at the end.
  void Reserve(size_t extra);
  void Append(std::string_view bytes);
  void AppendField(std::string_view content);
  // record = head + f(record): the header of a record whose last field is the record so far.
  void Wrap(std::string_view head);
  // The record alone in a buffer of its own.
  Bytes Take();
  // Wipes and frees it (Drop), or frees it when it holds nothing secret (Release).
  void Drop();
  void Release();
};

// Room a packet keeps in front for the headers of all the layers around its plaintext.
inline constexpr size_t kLayerRoom = 512;

// "100001" + f(text).
Bytes Compose_TextMessageRecord(std::string_view text);
// "101001" + f(bare name) + f(last write) + f(creation) + f(contents); empty (message and log
// line shown) when the file is missing or unreadable.
Bytes Compose_PlainTextFileRecord(PacketSession& s, const std::string& path);
// Appends f(PlainTextFileRecord) of the file to a list; false (message shown) when it is
// missing or unreadable.
bool AppendPlainTextFileRecord(PacketSession& s, const std::string& path, Bytes& list);
// The same appended to a layered record, at the end of its buffer.
bool AppendPlainTextFileRecord(PacketSession& s, const std::string& path, LayeredRecord& list);
// "109001" + f(HMAC_SHA256(key, data)) + f(data).
Bytes Compose_HMACrecord(std::string_view key, std::string_view data);
// "108001" + f(SHA256_Hash(data)) + f(data).
Bytes Compose_HashRecord(PacketSession& s, std::string_view data);
// "102001" + f("LZ78") + f(compressed), or f("None") + f(data) when compression is switched
// off or would enlarge the data.
Bytes Compose_CompressedRecord(PacketSession& s, std::string_view data);
// The same around a layered record: "None" just puts its header in front; compressed data
// replaces the record (the plaintext is wiped), with `front` bytes of room and `tail` behind.
void Compose_CompressedRecord(PacketSession& s, LayeredRecord& record, size_t front, size_t tail);
// "104001" + f(AES_Encrypt_CBC(data, key, fresh IV)).
Bytes Compose_EncryptedDataRecord(PacketSession& s, std::string_view data, std::string_view key);
// The same, encrypting the layered record in place.
void Compose_EncryptedDataRecord(PacketSession& s, LayeredRecord& record, std::string_view key);
// The plaintext list (date now, text message, attached files that exist) in an HMACrecord
// under `key`.
Bytes Compose_PlainText_HMACrecord(PacketSession& s, std::string_view text, std::string_view key);
// The same as a layered record with `front` bytes of room before it and `tail` bytes after it
// (for the layers still to come), each attachment read straight into its place.
void Compose_PlainText_HMACrecord(PacketSession& s, std::string_view text, std::string_view key,
                                  LayeredRecord& out, size_t front, size_t tail);

Bytes Decompose_EncryptedDataRecord(PacketSession& s, std::string_view record,
                                    std::string_view key);
// The same decrypting where the record lies (its bytes are overwritten): the plaintext is a view
// into `record`, the caller wipes it when done. Empty on failure (message shown).
std::string_view DecryptDataRecordInPlace(PacketSession& s, char* record, size_t n,
                                          std::string_view key);
// A stream the decoder rejects can only come from a damaged or forged packet: it is reported
// as a damaged packet and gives empty.
Bytes Decompose_CompressedRecord(PacketSession& s, std::string_view record);
// The same for a record the caller gives up: stored ("None") data is taken out in place.
Bytes Decompose_CompressedRecord(PacketSession& s, Bytes&& record);
// Checks an HMACrecord and points `data` into it; false (message shown) when it fails.
bool CheckHMACrecord(PacketSession& s, std::string_view key, std::string_view record,
                     std::string_view& data);
Bytes Decompose_HMACrecord(PacketSession& s, std::string_view key, std::string_view record);
Bytes Decompose_HashRecord(PacketSession& s, std::string_view record);
// Checks a HashRecord and points `data` into it; false (message shown) when it fails.
bool CheckHashRecord(PacketSession& s, std::string_view record, std::string_view& data);
// The text; a non-empty text gets a history entry ("Plaintext #n", or "Ciphertext #n" when it
// holds armor itself).
Bytes Decompose_TextMessageRecord(PacketSession& s, std::string_view record);
// Saves the file into the store folder under its safe bare name: asks before replacing an
// existing file and replaces it through a temporary file, restores both times. 1 when the user
// kept the existing file, else 0 (also when the file could not be written: message shown).
int Decompose_PlainTextFileRecord(PacketSession& s, std::string_view record);

// Reads a compressed record: stored ("None") data as a view into it in `stored`, else the
// decompressed bytes in `out`. False (message shown) on any failure.
bool ReadCompressedRecord(PacketSession& s, std::string_view record, Bytes& out,
                          std::string_view& stored, bool& is_stored);

// Processes a plaintext list: the date line, the text, the files. Returns the text.
Bytes ProcessPlaintextList(PacketSession& s, std::string_view list);

// The file's last-write and creation times as local times; false when it cannot be read.
bool ReadFileTimes(const std::string& path, LocalTime& last_write, LocalTime& creation);
// Sets both times (creation only where the file system keeps one); false on failure.
bool WriteFileTimes(const std::string& path, const LocalTime& last_write,
                    const LocalTime& creation);

}  // namespace lq
