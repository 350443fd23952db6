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

// "100001" + f(text).
Bytes Compose_TextMessageRecord(std::string_view text);
// "101001" + f(bare name) + f(last write) + f(creation) + f(contents); empty (message and log
// line shown) when the file is missing or unreadable.
Bytes Compose_PlainTextFileRecord(PacketSession& s, const std::string& path);
// Appends f(PlainTextFileRecord) of the file to a list; false (message shown) when it is
// missing or unreadable.
bool AppendPlainTextFileRecord(PacketSession& s, const std::string& path, Bytes& list);
// "109001" + f(HMAC_SHA256(key, data)) + f(data).
Bytes Compose_HMACrecord(std::string_view key, std::string_view data);
// "108001" + f(SHA256_Hash(data)) + f(data).
Bytes Compose_HashRecord(PacketSession& s, std::string_view data);
// "102001" + f("LZ78") + f(compressed), or f("None") + f(data) when compression is switched
// off or would enlarge the data.
Bytes Compose_CompressedRecord(PacketSession& s, std::string_view data);
// "104001" + f(AES_Encrypt_CBC(data, key, fresh IV)).
Bytes Compose_EncryptedDataRecord(PacketSession& s, std::string_view data, std::string_view key);
// The plaintext list (date now, text message, attached files that exist) in an HMACrecord
// under `key`.
Bytes Compose_PlainText_HMACrecord(PacketSession& s, std::string_view text, std::string_view key);

Bytes Decompose_EncryptedDataRecord(PacketSession& s, std::string_view record,
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
// The text; a non-empty text gets a history entry ("Plaintext #n", or "Ciphertext #n" when it
// holds armor itself).
Bytes Decompose_TextMessageRecord(PacketSession& s, std::string_view record);
// Saves the file into the store folder under its safe bare name: asks before replacing an
// existing file and replaces it through a temporary file, restores both times. 1 when the user
// kept the existing file, else 0 (also when the file could not be written: message shown).
int Decompose_PlainTextFileRecord(PacketSession& s, std::string_view record);

// Processes a plaintext list: the date line, the text, the files. Returns the text.
Bytes ProcessPlaintextList(PacketSession& s, std::string_view list);

// The file's last-write and creation times as local times; false when it cannot be read.
bool ReadFileTimes(const std::string& path, LocalTime& last_write, LocalTime& creation);
// Sets both times (creation only where the file system keeps one); false on failure.
bool WriteFileTimes(const std::string& path, const LocalTime& last_write,
                    const LocalTime& creation);

}  // namespace lq
