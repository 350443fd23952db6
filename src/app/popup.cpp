// The POPUP form's logic over the keyfile's recipient selection and the mode settings.
#include "app/popup.h"

#include <algorithm>

namespace lq {

namespace {

std::string Folded(const std::string& text) {
  std::string out = text;
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  }
  return out;
}

bool Exists(const Keyfile& kf, const Bytes& id) {
  return std::any_of(kf.keys.begin(), kf.keys.end(),
                     [&id](const KeyListEntry& k) { return k.key_id == id; }) ||
         std::any_of(kf.groups.begin(), kf.groups.end(),
                     [&id](const KeyGroupEntry& g) { return g.group_id == id; });
}

}  // namespace

RecipientLists BuildRecipientLists(Keyfile& kf) {
  std::erase_if(kf.selected_recipients, [&kf](const Bytes& id) { return !Exists(kf, id); });
  std::vector<RecipientName> all;
  for (const KeyListEntry& k : kf.keys) all.push_back({k.key_id, k.keyname, false});
  for (const KeyGroupEntry& g : kf.groups) all.push_back({g.group_id, "[" + g.name + "]", true});
  RecipientLists lists;
  for (const Bytes& id : kf.selected_recipients) {
    auto it = std::find_if(all.begin(), all.end(), [&id](const auto& r) { return r.id == id; });
    if (it != all.end()) lists.selected.push_back(*it);
  }
  for (const RecipientName& r : all) {
    const auto& sel = kf.selected_recipients;
    if (std::find(sel.begin(), sel.end(), r.id) == sel.end()) lists.available.push_back(r);
  }
  std::stable_sort(lists.available.begin(), lists.available.end(),
                   [](const RecipientName& a, const RecipientName& b) {
                     return Folded(a.name) < Folded(b.name);
                   });
  return lists;
}

void SelectRecipient(Session& s, const Bytes& id) {
  auto& sel = s.keyfile.selected_recipients;
  if (Exists(s.keyfile, id) && std::find(sel.begin(), sel.end(), id) == sel.end()) {
    sel.push_back(id);
  }
}

void DeselectRecipient(Session& s, const Bytes& id) {
  std::erase(s.keyfile.selected_recipients, id);
}

void SelectAllRecipients(Session& s) {
  for (const RecipientName& r : BuildRecipientLists(s.keyfile).available) {
    s.keyfile.selected_recipients.push_back(r.id);
  }
}

void SelectNoRecipient(Session& s) { s.keyfile.selected_recipients.clear(); }

void SetModeFlag(Session& s, bool encrypt_box, bool checked) {
  Settings& st = s.settings;
  (encrypt_box ? st.encrypt : st.sign) = checked ? 1 : 0;
  if (st.encrypt == 0 && st.sign == 0) (encrypt_box ? st.sign : st.encrypt) = 1;
  s.packets.encrypt = st.encrypt != 0;
  s.packets.sign = st.sign != 0;
}

void SetKeyTypePreference(Session& s, bool secret_keys) {
  s.settings.use_secret_keys = secret_keys ? 1 : 0;
  s.settings.use_public_keys = secret_keys ? 0 : 1;
  s.packets.SetPreferSecretKeys(secret_keys);
}

std::string ModeText(const Settings& s) {
  if (s.encrypt && s.sign) return "Mode: Encrypt and sign data";
  if (s.encrypt) return "Mode: Encrypt data";
  return "Mode: Sign data";
}

}  // namespace lq
