// ASCII armor of packets and signed texts: writing, finding and reading back.
#include "packet/armor.h"

#include <algorithm>
#include <array>

#include "base/catalogue.h"
#include "base/records.h"
#include "crypto/base64.h"

namespace lq {

namespace {

void NoArmor(Ui& ui, std::string_view text) {
  ShowMessage(ui, "EnDec_NoAsciiArmorFormat", mb::kIconHand);
  MessageBoxRequest box;
  box.text = std::string(text);
  box.caption = kMessageCaption;
  ui.ShowMessageBox(box);
}

const std::array<bool, 256> kBase64Alphabet = [] {
  std::array<bool, 256> keep{};
  for (const char* p = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/="; *p;
       ++p) {
    keep[static_cast<unsigned char>(*p)] = true;
  }
  return keep;
}();

// Keeps only the Base64 alphabet: line breaks, blanks and the "> " of quoted mail go.
std::string Base64Only(std::string_view s) {
  const auto& kKeep = kBase64Alphabet;
  std::string out(s.size(), '\0');
  size_t n = 0;
  for (char c : s) {
    out[n] = c;
    n += kKeep[static_cast<unsigned char>(c)] ? 1 : 0;
  }
  out.resize(n);
  return out;
}

}  // namespace

std::string ArmorText(std::string_view start, std::string_view end, std::string_view payload) {
  // Encoded in place: the armor of a large packet is never held twice.
  std::string out;
  out.reserve(static_cast<size_t>(Base64EncodedLength(payload.size(), kBase64GroupsPerLine)) +
              start.size() + end.size() + 4);
  Base64_Encode(payload, kBase64GroupsPerLine, out);
  out.insert(0, "\r\n").insert(0, start);
  out.append("\r\n").append(end);
  return out;
}

void WriteArmorText(std::string_view start, std::string_view end, std::string_view payload,
                    const ArmorSink& sink) {
  // Pieces of whole lines: each piece's text then ends where a line of the whole text ends, so
  // the pieces encoded alone join to the encoding of all of it.
  constexpr size_t kPiece = 3 * kBase64GroupsPerLine * 23302;  // about 1 MiB of payload
  std::string text;
  text.reserve(static_cast<size_t>(Base64EncodedLength(kPiece, kBase64GroupsPerLine)));
  std::string line(start);
  line.append("\r\n");
  sink(line);
  for (size_t at = 0; at < payload.size(); at += kPiece) {
    Base64_Encode(payload.substr(at, kPiece), kBase64GroupsPerLine, text);
    sink(text);
  }
  line.assign("\r\n").append(end);
  sink(line);
}

void WriteArmor_Packet(Ui& ui, std::string_view payload, const ArmorSink& sink) {
  ui.LogLine("Composing ascii armor message");
  WriteArmorText(kPacketStart, kPacketEnd, payload, sink);
}

std::string Armor_Packet(Ui& ui, std::string_view payload) {
  ui.LogLine("Composing ascii armor message");
  return ArmorText(kPacketStart, kPacketEnd, payload);
}

std::string Armor_SignedText(Ui& ui, std::string_view text, std::string_view signature_payload) {
  ui.LogLine("Composing ascii armor message");
  std::string out(kSignedTextStart);
  out.append("\r\n").append(text).append("\r\n");
  out += ArmorText(kSignatureStart, kSignedTextEnd, signature_payload);
  return out;
}

std::string DetectArmor(Ui& ui, std::string_view text, bool warn) {
  const char* const kinds[] = {kPacketStart, kSignedTextStart, kPublicKeyStart, kKeyPairStart};
  size_t best = std::string_view::npos;
  const char* found = nullptr;
  for (const char* k : kinds) {
    // Only a start before the best one so far can win: the rest of a long text is not searched.
    const std::string_view where = best == std::string_view::npos
                                       ? text
                                       : text.substr(0, best + std::string_view(k).size() - 1);
    const size_t p = where.find(k);
    if (p != std::string_view::npos && (best == std::string_view::npos || p < best)) {
      best = p;
      found = k;
    }
  }
  if (found == nullptr) {
    if (warn) NoArmor(ui, text);
    return {};
  }
  return found;
}

namespace {

// Where the Base64 text of the first armor with these markers lies in `text`; false (message
// shown) when a marker is missing.
bool FindArmorBlock(Ui& ui, std::string_view text, std::string_view start, std::string_view end,
                    std::string_view& block) {
  const size_t a = text.find(start);
  // The end marker usually closes the text: looked for from the back.
  if (a == std::string_view::npos || text.rfind(end) == std::string_view::npos) {
    NoArmor(ui, text);
    return false;
  }
  std::string_view s = text.substr(a + start.size());
  const size_t next = s.find(start);
  if (next != std::string_view::npos) s = s.substr(0, next);
  const size_t e = s.find(end);
  if (e != std::string_view::npos) s = s.substr(0, e);
  block = s;
  return true;
}

// Clean armor holds only the alphabet and line breaks, which the decoder skips; quoted or
// indented armor is filtered first.
bool IsCleanArmor(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) {
    return c == '\r' || c == '\n' || kBase64Alphabet[static_cast<unsigned char>(c)];
  });
}

}  // namespace

Bytes DearmorBlock(Ui& ui, std::string_view text, std::string_view start, std::string_view end) {
  std::string_view s;
  if (!FindArmorBlock(ui, text, start, end, s)) return {};
  Bytes payload;
  if (IsCleanArmor(s)) {
    Base64_Decode(s, payload);
  } else {
    Base64_Decode(Base64Only(s), payload);
  }
  return payload;
}

Bytes Dearmor_PacketInPlace(Ui& ui, Bytes&& text) {
  ui.LogLine("Decomposing ascii armor message");
  std::string_view s;
  if (!FindArmorBlock(ui, text, kPacketStart, kPacketEnd, s)) return {};
  const size_t offset = static_cast<size_t>(s.data() - text.data());
  char* const at = text.data() + offset;
  size_t length = s.size();
  if (!IsCleanArmor(s)) {
    // Filtered where it lies: the kept characters move towards the front only.
    const auto& kKeep = kBase64Alphabet;
    size_t n = 0;
    for (size_t i = 0; i < length; ++i) {
      at[n] = at[i];
      n += kKeep[static_cast<unsigned char>(at[i])] ? 1 : 0;
    }
    length = n;
  }
  size_t produced = 0;
  Base64_DecodeInPlace(at, length, produced);
  Bytes payload(std::move(text));
  payload.erase(0, offset);
  payload.resize(produced);
  return payload;
}

Bytes Dearmor_Packet(Ui& ui, std::string_view text) {
  ui.LogLine("Decomposing ascii armor message");
  return DearmorBlock(ui, text, kPacketStart, kPacketEnd);
}

Bytes Dearmor_SignedText(Ui& ui, std::string_view text) {
  ui.LogLine("Decomposing ascii armor message");
  const size_t a = text.find(kSignedTextStart);
  const size_t g = text.rfind(kSignatureStart);
  const size_t e = text.rfind(kSignedTextEnd);
  if (a == std::string_view::npos || g == std::string_view::npos || e == std::string_view::npos) {
    NoArmor(ui, text);
    return {};
  }
  const size_t text_begin = a + std::string_view(kSignedTextStart).size();
  const size_t sig_begin = g + std::string_view(kSignatureStart).size();
  if (e < sig_begin || g < text_begin) return {};
  Bytes sig;
  Base64_Decode(Base64Only(text.substr(sig_begin, e - sig_begin)), sig);
  Bytes out;
  AppendField(sig, out);
  AppendField(text.substr(text_begin, g - text_begin), out);
  return out;
}

}  // namespace lq
