// The logic of the POPUP form: the mode check boxes that keep one of Encrypt and Sign on, the
// key-type preference, and the two recipient lists (selected, in selection order; all others,
// by name) over the keyfile's selection, which the keyfile keeps between sessions.
#pragma once

#include <string>
#include <vector>

#include "app/session.h"

namespace lq {

inline constexpr char kPopupCaption[] = "Lockquill V1.0 - PopUp window";

struct RecipientName {
  Bytes id;
  std::string name;  // keyname; a group's name in square brackets
  bool group = false;
};
struct RecipientLists {
  std::vector<RecipientName> selected;   // in the order they were selected
  std::vector<RecipientName> available;  // every other key and group, by name
};
// The lists from the keyfile's keys and groups; selected entries that no longer exist are
// dropped from the selection.
RecipientLists BuildRecipientLists(Keyfile& kf);

// Moves one entry between the lists; SelectAll / SelectNone move all.
void SelectRecipient(Session& s, const Bytes& id);
void DeselectRecipient(Session& s, const Bytes& id);
void SelectAllRecipients(Session& s);
void SelectNoRecipient(Session& s);

// A mode box changed: `encrypt_box` tells which one. Unchecking one checks the other, so at
// least one stays on. The session's flags and the settings follow.
void SetModeFlag(Session& s, bool encrypt_box, bool checked);
// The key-type radios: secret keys or public keys first.
void SetKeyTypePreference(Session& s, bool secret_keys);

// "Mode: Encrypt and sign data" / "Mode: Encrypt data" / "Mode: Sign data".
std::string ModeText(const Settings& settings);

}  // namespace lq
