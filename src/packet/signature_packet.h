// Signature packets (a signature over a clear text and attached files), packet files (".lqe",
// one record holding an encryption or signature packet) and reading armored text of any kind.
#pragma once

#include <string>
#include <string_view>

#include "base/bytes.h"
#include "packet/armor.h"
#include "packet/packet_session.h"

namespace lq {

inline constexpr char kPacketFileIdentification[] = "Lockquill encr/signed File";

// Tabs and CR LF become blanks, runs of blanks shrink to one, the ends are trimmed: mail
// programs may rewrap and indent a signed text without breaking its signature.
void NormalizeSignedText(std::string& text);

// "112001" + f(CompressedRecord(SignedDatablock(text, HashRecord(file records)))), or empty.
Bytes Compose_SignaturePacket(PacketSession& s, std::string_view text);
// Checks the signature over `text` and the files and saves the files (also after a bad
// signature; not when their hash record is damaged).
void Decompose_SignaturePacket(PacketSession& s, std::string_view packet, std::string_view text);

// The armor texts the actions paste: an encryption packet in packet armor, and a text signed
// in its normalised form and shown as written. Empty when the packet was not made.
std::string Compose_PacketArmor(PacketSession& s, std::string_view text);
// The packet armor given to `sink` in pieces (see WriteArmorText); false, and nothing given,
// when the packet was not made.
bool Compose_PacketArmor(PacketSession& s, std::string_view text, const ArmorSink& sink);
std::string Compose_SignedTextArmor(PacketSession& s, std::string_view text);

// Writes a packet file for `text` (encrypted when `encrypt`, else signed). When the file exists
// the user chooses: replace it, save under a free name, or cancel. 0 written, 1 not.
int Compose_PacketFile(PacketSession& s, const std::string& path, std::string_view text,
                       bool encrypt);
// The path with "_" and a number before the extension of its file name, the first that is free.
std::string FreeFileName(PacketSession& s, const std::string& path);

// What reading a packet file or an armored text gives the editor.
struct OpenedText {
  bool shown = false;  // there is a text to show
  bool rich = false;   // show it as rich text
  Bytes text;
};
OpenedText Decompose_PacketFile(PacketSession& s, const std::string& path);
// The same for the content of a packet file already read (`name` for the log); the content is
// given up: the packet is opened where it lies.
OpenedText Decompose_PacketFileContent(PacketSession& s, const std::string& name, Bytes& content);
// Reads an armored text: a packet armor is opened, a signed text verified, key armor refused.
OpenedText ReadArmoredText(PacketSession& s, std::string_view text);
// The same for a text the caller gives up: a packet armor is decoded and opened inside the
// text's own bytes, so a large packet is held once.
OpenedText ReadArmoredTextInPlace(PacketSession& s, Bytes&& text);

}  // namespace lq
