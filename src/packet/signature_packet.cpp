// Signature packets, signed-text normalisation, packet files and reading armored text.
#include "packet/signature_packet.h"

#include "base/catalogue.h"
#include "base/file_io.h"
#include "base/records.h"
#include "crypto/sha256.h"
#include "keys/key_records.h"
#include "packet/armor.h"
#include "packet/encryption_packet.h"
#include "packet/packet_records.h"

namespace lq {

void NormalizeSignedText(std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '\t') c = ' ';
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      c = ' ';
      ++i;
    }
    // Collapsing as we go gives the same result as replacing pairs until none is left.
    if (c == ' ' && !out.empty() && out.back() == ' ') continue;
    out += c;
  }
  size_t start = 0;
  while (start < out.size() && out[start] == ' ') ++start;
  size_t end = out.size();
  while (end > start && out[end - 1] == ' ') --end;
  text = out.substr(start, end - start);
}

namespace {

// HashRecord around a layered record, in place.
void WrapHashRecord(PacketSession& s, LayeredRecord& r) {
  s.LogLine("Composing hashrecord");
  r.Wrap(RecordHeader(pkt::kHash) + Field(SHA256_Hash(r.view())));
}

}  // namespace

Bytes Compose_SignaturePacket(PacketSession& s, std::string_view text) {
  s.ClearStatus();
  s.SetStatusColour("green");
  if (!CheckEntropy(s.random, s.ui)) return {};
  const Bytes signer = SigningKey(s.kf);
  if (signer.empty()) {
    s.LogLine("No signing key was selected");
    ShowMessage(s.ui, "EnDec_NoSigningKeySelected", mb::kIconExclamation);
    return {};
  }
  // The file list, its hash record and the signed data block are built in one buffer, so the
  // files' contents are never left behind in freed memory, whichever way this ends.
  size_t estimate = 8192;  // the digest, the verification record and the signature
  for (const std::string& path : s.attachments) {
    FileStamp stamp;
    if (ReadFileStamp(path, stamp) == fe::kOk) estimate += 256 + static_cast<size_t>(stamp.size);
  }
  LayeredRecord r;
  r.Start(kLayerRoom, estimate);
  for (const std::string& path : s.attachments) {
    if (s.files.Exists(path)) AppendPlainTextFileRecord(s, path, r);
  }
  WrapHashRecord(s, r);
  if (!Compose_SignedDatablock(s, r, signer, text)) {
    r.Drop();
    return {};
  }
  Compose_CompressedRecord(s, r, kLayerRoom, 0);
  r.Wrap(RecordHeader(pkt::kSignaturePacket));
  s.LogLine("Finished succesfully");
  return r.Take();
}

void Decompose_SignaturePacket(PacketSession& s, std::string_view packet, std::string_view text) {
  const bool armored = !DetectArmor(s.ui, text, false).empty();
  s.AddHistoryText(armored ? "Signed text #" : "Verified text #", text);
  s.ClearStatus();
  s.SetStatusColour("green");
  s.LogLine("Decomposing signature packet");
  if (packet.substr(0, 6) != "112001") {
    ShowMessage(s.ui, "Endec_NoSignaturePacket", mb::kIconHand, "112001", packet.substr(0, 6));
    return;
  }
  if (!CheckRecordFormat(s.ui, packet, kRecordFormat001)) return;
  long pos = 7;
  // The decompressed stages hold the signed files' contents: they wipe themselves on every way
  // out, and the files are read as views into them.
  const SecretBytes x(Decompose_CompressedRecord(s, FieldView(packet, pos)));
  if (x.empty()) return;
  std::string_view embedded;
  if (!OpenSignedDatablock(s, text, x.view(), embedded)) return;
  if (embedded.substr(0, 3) != pkt::kHash) return;
  const SecretBytes files(Decompose_HashRecord(s, embedded));
  for (long fpos = 1; !files.empty() && fpos >= 0;) {
    const std::string_view file = FieldView(files.view(), fpos);
    if (!file.empty()) Decompose_PlainTextFileRecord(s, file);
  }
}

std::string Compose_PacketArmor(PacketSession& s, std::string_view text) {
  LayeredRecord p;
  if (!Compose_EncryptionPacket(s, text, p)) return {};
  WrapHashRecord(s, p);
  return Armor_Packet(s.ui, p.view());
}

bool Compose_PacketArmor(PacketSession& s, std::string_view text, const ArmorSink& sink) {
  LayeredRecord p;
  if (!Compose_EncryptionPacket(s, text, p)) return false;
  WrapHashRecord(s, p);
  WriteArmor_Packet(s.ui, p.view(), sink);
  return true;
}

std::string Compose_SignedTextArmor(PacketSession& s, std::string_view text) {
  std::string normal(text);
  NormalizeSignedText(normal);
  const Bytes p = Compose_SignaturePacket(s, normal);
  if (p.empty()) return {};
  return Armor_SignedText(s.ui, text, Compose_HashRecord(s, p));
}

namespace {

// A packet file's content from the identification check on; the packet inside is opened where
// it lies, so the content is overwritten.
OpenedText OpenPacketFileContent(PacketSession& s, const std::string& path, Bytes& content) {
  OpenedText out;
  if (content.find(kPacketFileIdentification) == std::string::npos) {
    ShowMessage(s.ui, "EnDec_WrongFileformat", mb::kIconHand, path);
    s.LogLine("Not a Lockquill file!");
    return out;
  }
  if (!CheckRecordType(s.ui, content, pkt::kPacketFile) ||
      !CheckRecordFormat(s.ui, content, kRecordFormat001)) {
    return out;
  }
  long pos = 7;
  FieldView(content, pos);
  const std::string_view h = FieldView(content, pos);
  if (h.substr(0, 6) != "108001") {
    ShowMessage(s.ui, "Endec_NoHashRecord", mb::kIconHand, "108001", h.substr(0, 6));
    return out;
  }
  std::string_view inner;
  if (!CheckHashRecord(s, h, inner) || inner.empty()) return out;
  long ipos = 1;
  const Bytes kind = NextField(inner, ipos);
  const std::string_view packet = FieldView(inner, ipos);
  if (kind == "Encrypted") {
    char* at = content.data() + (packet.data() - content.data());
    out.text = packet.empty() ? Decompose_EncryptionPacket(s, packet)
                              : Decompose_EncryptionPacketInPlace(s, at, packet.size());
    out.shown = !out.text.empty();
    out.rich = true;
  } else if (kind == "Signed") {
    out.text = NextField(inner, ipos);
    Decompose_SignaturePacket(s, packet, out.text);
    out.shown = true;
  } else {
    s.ui.Trace("Unknown packet file kind: " + kind);
  }
  return out;
}

}  // namespace

std::string FreeFileName(PacketSession& s, const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t name_start = slash == std::string::npos ? 0 : slash + 1;
  size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || dot < name_start) dot = path.size();
  for (int n = 1;; ++n) {
    std::string candidate = path.substr(0, dot) + "_" + std::to_string(n) + path.substr(dot);
    if (!s.files.Exists(candidate)) return candidate;
  }
}

int Compose_PacketFile(PacketSession& s, const std::string& path, std::string_view text,
                       bool encrypt) {
  // The file's record is built around the packet in place: f(kind) + f(packet) [+ f(text)],
  // its hash record, then the file record.
  LayeredRecord record;
  if (encrypt) {
    if (!Compose_EncryptionPacket(s, text, record)) return 1;
    record.Wrap(Field("Encrypted"));
  } else {
    Bytes p = Compose_SignaturePacket(s, text);
    if (p.empty()) return 1;
    record.Start(kLayerRoom, 0);
    record.AppendField("Signed");
    record.AppendField(p);
    record.AppendField(text);
  }
  WrapHashRecord(s, record);
  record.Wrap(RecordHeader(pkt::kPacketFile) + Field(kPacketFileIdentification));
  std::string target = path;
  if (s.files.Exists(path)) {
    const std::string free_name = FreeFileName(s, path);
    const int answer =
        AskUser(s.ui, "EnDec_FileExists", MessageStyle("EnDec_FileExists"), path, free_name);
    if (answer == kIdNo) {
      target = free_name;
    } else if (answer != kIdYes) {
      s.LogLine("File was not saved");
      return 1;
    }
  }
  // A replaced file is swapped in only once the new one is completely written.
  if (const int err = ReplaceWholeFile(s.files, target, record.view()); err != fe::kOk) {
    ReportFileError(s.ui, err, target);
    return 1;
  }
  s.LogLine("Saving file: " + target);
  s.LogLine("Finished successfully");
  return 0;
}

OpenedText Decompose_PacketFile(PacketSession& s, const std::string& path) {
  s.LogLine("Decomposing file: " + path);
  if (!s.files.Exists(path)) {
    ShowMessage(s.ui, "Error_FileNotFound", mb::kIconHand, path);
    s.LogLine("File not found: " + path);
    return {};
  }
  Bytes content;
  if (const int err = ReadWholeFile(s.files, path, content); err != fe::kOk) {
    ReportFileError(s.ui, err, path);
    return {};
  }
  return OpenPacketFileContent(s, path, content);
}

OpenedText Decompose_PacketFileContent(PacketSession& s, const std::string& name, Bytes& content) {
  s.LogLine("Decomposing file: " + name);
  return OpenPacketFileContent(s, name, content);
}

namespace {

// An encryption packet's dearmored bytes, which are ours: the packet is opened where it lies.
OpenedText OpenDearmoredPacket(PacketSession& s, Bytes& p) {
  OpenedText out;
  if (p.substr(0, 6) != "108001") {
    ShowMessage(s.ui, "Endec_NoHashRecord", mb::kIconHand, "108001", p.substr(0, 6));
    return out;
  }
  std::string_view packet;
  if (!CheckHashRecord(s, p, packet) || packet.empty()) return out;
  out.text =
      Decompose_EncryptionPacketInPlace(s, p.data() + (packet.data() - p.data()), packet.size());
  out.shown = !out.text.empty();
  out.rich = out.text.rfind("{\\rtf", 0) == 0;
  return out;
}

}  // namespace

OpenedText ReadArmoredTextInPlace(PacketSession& s, Bytes&& text) {
  if (DetectArmor(s.ui, text, false) != kPacketStart) return ReadArmoredText(s, text);
  Bytes p = Dearmor_PacketInPlace(s.ui, std::move(text));
  OpenedText out = OpenDearmoredPacket(s, p);
  // The text may be the plaintext of an outer packet: all of its buffer goes wiped.
  Wipe(p);
  return out;
}

OpenedText ReadArmoredText(PacketSession& s, std::string_view text) {
  OpenedText out;
  const std::string kind = DetectArmor(s.ui, text, true);
  if (kind.empty()) {
    s.LogLine("Not in ascii-armor format! Action aborted..");
    return out;
  }
  if (kind == kPacketStart) {
    Bytes p = Dearmor_Packet(s.ui, text);
    return OpenDearmoredPacket(s, p);
  }
  if (kind == kSignedTextStart) {
    const Bytes l = Dearmor_SignedText(s.ui, text);
    if (l.empty()) return out;
    long pos = 1;
    const Bytes sig = NextField(l, pos);
    Bytes t = NextField(l, pos);
    NormalizeSignedText(t);
    if (sig.substr(0, 6) != "108001") {
      ShowMessage(s.ui, "Endec_NoHashRecord", mb::kIconHand, "108001", sig.substr(0, 6));
      return out;
    }
    const Bytes packet = Decompose_HashRecord(s, sig);
    if (packet.empty()) return out;
    Decompose_SignaturePacket(s, packet, t);
    return out;
  }
  ShowMessage(s.ui, "Endec_NoPublicKeyExpected", mb::kIconHand);
  return out;
}

}  // namespace lq
