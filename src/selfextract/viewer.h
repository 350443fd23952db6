// What the self-extracting packet viewer does, apart from drawing: read the packet file the
// launcher wrote, show its note, and open it with a passphrase (text, date line, files saved
// into a folder asked for once). sxview's SEEXE form calls this; the host tests drive it with
// the recording Ui.
#pragma once

#include <string>
#include <string_view>

#include "base/bytes.h"
#include "packet/packet_session.h"

namespace lq {

inline constexpr char kViewerForm[] = "SEEXE";
inline constexpr char kViewerCaption[] = "Lockquill Self-extracting packet";
inline constexpr char kViewerIntro[] =
    "This program contains encrypted data. If you enter\r\nthe correct passphrase, the data will "
    "be decrypted.";
inline constexpr char kViewerPassphraseHint[] = "Enter passphrase here";
inline constexpr char kViewerHideText[] = "Hide text when typing";

// The packet path of the viewer's command line: the whole text after the program name, with
// surrounding blanks and one pair of surrounding double quotes removed.
std::string PacketPathFromCommandLine(std::string_view command_line);

class PacketViewer {
 public:
  explicit PacketViewer(PacketSession& session) : s_(session) {}

  // Reads the packet file (traced as "FileName:" + path); a missing file reads as an empty
  // packet. Returns the note, empty when the packet fails its hash check (message shown).
  Bytes Open(const std::string& path);

  struct Result {
    bool opened = false;
    Bytes text;
    std::string date_line;  // "Packet was encrypted at: " + date and time
    int files = 0;          // file records in the packet
  };
  // "Enter": the passphrase is the masked box's text, or the plain box's when the masked one
  // is empty. Both are wiped here, whatever the outcome. The packet file is read and checked
  // again; a wrong passphrase shows "EnDec_WrongPassphrase" and only the check value is
  // decrypted. Files go into the folder asked for at the first packet that holds any (a
  // cancelled question is asked again at the next attempt).
  Result Enter(std::string& masked, std::string& plain);

  const std::string& Path() const { return path_; }

 private:
  PacketSession& s_;
  std::string path_;
};

}  // namespace lq
