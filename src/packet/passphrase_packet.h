// The passphrase packet that self-extracting programs carry: a note in the clear, a salt, a
// check value and the message, the last two encrypted under a key stretched from a passphrase.
#pragma once

#include <string>
#include <string_view>

#include "base/bytes.h"
#include "packet/packet_session.h"

namespace lq {

constexpr int kPassphraseRounds = 8000;
constexpr size_t kPassphraseSaltSize = 40;
constexpr size_t kCheckHalfSize = 12;

// HashRecord(f(note) + f(salt) + f(check record) + f(data record)) of the text and the
// session's attachments.
Bytes Compose_PassphrasePacket(PacketSession& s, std::string_view note, std::string_view text,
                               std::string_view passphrase);

// The note of a passphrase packet, readable without the passphrase; empty when the packet's
// hash record fails (message shown).
Bytes PassphrasePacketNote(PacketSession& s, std::string_view packet);

struct OpenedPassphrasePacket {
  bool ok = false;
  Bytes text;
  std::string encrypted_at;  // "Packet was encrypted at: " + date and time
  int files_in_packet = 0;
};

// Opens the packet with a passphrase (wiped here). A wrong passphrase shows
// "EnDec_WrongPassphrase" and never decrypts the data record. Files are saved into the store
// folder; when it is empty and the packet holds files, the folder chooser is asked once.
OpenedPassphrasePacket Open_PassphrasePacket(PacketSession& s, std::string_view packet,
                                             std::string& passphrase);

}  // namespace lq
