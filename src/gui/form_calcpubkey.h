// The key-pair calculation dialog "CALCPUBKEY": identification flags, key length, expiry, and
// the calculation itself with its step label and bar while the window keeps answering (its
// Cancel stops the calculation and stores nothing).
#pragma once

#include <cstdint>
#include <string>

#include "app/keymanager.h"

namespace lq::gui {

class Desk;

inline constexpr char kCalcPubKeyForm[] = "CALCPUBKEY";

namespace calc_ctl {
constexpr int kTitle = 100;
constexpr int kName = 101;
constexpr int kInfoFrame = 102;
constexpr int kCompany = 103;
constexpr int kEmail = 104;
constexpr int kDepartment = 105;
constexpr int kSelectAll = 106;
constexpr int kSelectNone = 107;
constexpr int kLengthFrame = 108;
constexpr int kLength = 109;
constexpr int kExpiryFrame = 110;
constexpr int kExpiry = 111;
constexpr int kNever = 112;
constexpr int kCalculate = 113;
constexpr int kHelp = 114;
constexpr int kCancel = 115;
constexpr int kStep = 116;
constexpr int kBar = 117;
constexpr int kLengthNote = 118;
}  // namespace calc_ctl

class CalcPubKeyForm : public KeyGenerationReceiver {
 public:
  explicit CalcPubKeyForm(Desk& desk) : desk_(desk) {}
  // Shows the dialog for a key and waits until it closes. The result of the calculation
  // (kKeyPairsStored when pairs were stored).
  int Ask(const Bytes& key_id);
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);

  // KeyGenerationReceiver: the label and bar move, and pending events run.
  void Progress(int pair, int steps_done, long candidates) override;
  bool Cancelled() override { return cancel_requested_; }

  bool generating() const { return generating_; }

 private:
  void Calculate();
  void SetControlsEnabled(bool on);
  Desk& desk_;
  Bytes key_id_;
  std::string name_;
  int result_ = kKeyPairsCancelled;
  bool generating_ = false;
  bool cancel_requested_ = false;
};

}  // namespace lq::gui
