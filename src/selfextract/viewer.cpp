// The viewer's work: the packet file, its note, and opening it with a passphrase.
#include "selfextract/viewer.h"

#include "base/file_io.h"
#include "packet/passphrase_packet.h"

namespace lq {

std::string PacketPathFromCommandLine(std::string_view command_line) {
  const size_t first = command_line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const size_t last = command_line.find_last_not_of(" \t");
  std::string_view path = command_line.substr(first, last - first + 1);
  if (path.size() >= 2 && path.front() == '"' && path.back() == '"') {
    path = path.substr(1, path.size() - 2);
  }
  return std::string(path);
}

Bytes PacketViewer::Open(const std::string& path) {
  path_ = path;
  s_.ui.Trace("FileName:" + path);
  Bytes packet;
  (void)ReadWholeFile(s_.files, path, packet);  // a missing file is an empty packet
  return PassphrasePacketNote(s_, packet);
}

PacketViewer::Result PacketViewer::Enter(std::string& masked, std::string& plain) {
  std::string passphrase = masked.empty() ? plain : masked;
  Wipe(masked);
  Wipe(plain);
  Bytes packet;
  (void)ReadWholeFile(s_.files, path_, packet);
  ClearOverwriteAnswer(s_);
  OpenedPassphrasePacket opened = Open_PassphrasePacket(s_, packet, passphrase);
  Wipe(passphrase);
  Result result;
  result.opened = opened.ok;
  result.text = std::move(opened.text);
  result.date_line = std::move(opened.encrypted_at);
  result.files = opened.files_in_packet;
  return result;
}

}  // namespace lq
