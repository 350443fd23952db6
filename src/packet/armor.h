// ASCII armor: marker lines around Base64 text, so packets, signed texts and keys survive mail
// and the clipboard. Readers find armor anywhere in a text, also quoted with "> " prefixes.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "base/bytes.h"
#include "base/ui.h"

namespace lq {

inline constexpr char kPacketStart[] = "-----Start_Lockquill_packet-----";
inline constexpr char kPacketEnd[] = "-----End_Lockquill_packet-----";
inline constexpr char kSignedTextStart[] = "-----Start_Lockquill_signed_text-----";
inline constexpr char kSignatureStart[] = "-----Start_Lockquill_signature-----";
inline constexpr char kSignedTextEnd[] = "-----End_Lockquill_signed_text-----";
inline constexpr char kPublicKeyStart[] = "-----Start_Lockquill_public_key-----";
inline constexpr char kPublicKeyEnd[] = "-----End_Lockquill_public_key-----";
inline constexpr char kKeyPairStart[] = "-----Start_Lockquill_public_+_private_key-----";
inline constexpr char kKeyPairEnd[] = "-----End_Lockquill_public_+_private_key-----";

// start marker, CR LF, Base64 (60-character lines), CR LF, end marker.
std::string ArmorText(std::string_view start, std::string_view end, std::string_view payload);
std::string Armor_Packet(Ui& ui, std::string_view payload);
// The same text given to `sink` a piece of about 1 MiB at a time, so the armor of a large
// packet is never held whole: the pieces joined are exactly ArmorText's result.
using ArmorSink = std::function<void(std::string_view)>;
void WriteArmorText(std::string_view start, std::string_view end, std::string_view payload,
                    const ArmorSink& sink);
void WriteArmor_Packet(Ui& ui, std::string_view payload, const ArmorSink& sink);
std::string Armor_SignedText(Ui& ui, std::string_view text, std::string_view signature_payload);

// The start marker of the armor that starts first in `text`, or empty; with `warn`, an empty
// result shows "EnDec_NoAsciiArmorFormat" and then the text itself.
std::string DetectArmor(Ui& ui, std::string_view text, bool warn);

// The payload of the first packet armor in `text`; empty (message shown) when a marker is
// missing.
Bytes Dearmor_Packet(Ui& ui, std::string_view text);
// The same for a text the caller gives up: the payload is decoded over the text's own bytes, so
// the armor of a large packet and its payload are never held side by side.
Bytes Dearmor_PacketInPlace(Ui& ui, Bytes&& text);
// The same for an armor with the given markers (the key armors use it).
Bytes DearmorBlock(Ui& ui, std::string_view text, std::string_view start, std::string_view end);

// f(signature payload) + f(signed text as it stands between the markers); the last signature
// marker is the real one. Empty when a marker is missing or the signature marker follows the
// end marker.
Bytes Dearmor_SignedText(Ui& ui, std::string_view text);

}  // namespace lq
