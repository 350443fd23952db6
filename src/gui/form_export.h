// The export dialog "EXPORT" (what the key carries, the private-part choice with its flashing
// warning, three ways out) and the import dialog "IMPORT" (three ways in).
#pragma once

#include <cstdint>

#include "app/keymanager.h"

namespace lq::gui {

class Desk;

inline constexpr char kExportForm[] = "EXPORT";
inline constexpr char kImportForm[] = "IMPORT";

namespace export_ctl {
constexpr int kTitle = 100;
constexpr int kInfoLabel = 101;
constexpr int kInfo = 102;
constexpr int kPrivateLabel = 103;
constexpr int kIncludePrivate = 104;
constexpr int kWarning = 105;
constexpr int kNote = 106;
constexpr int kWaysLabel = 107;
constexpr int kClickAndDrop = 108;
constexpr int kSaveFile = 109;
constexpr int kClipboard = 110;
constexpr int kHelp = 111;
constexpr int kCancel = 112;
constexpr int kFlashTimer = 150;
}  // namespace export_ctl

namespace import_ctl {
constexpr int kTitle = 100;
constexpr int kText = 101;
constexpr int kWaysLabel = 102;
constexpr int kFromWindow = 103;
constexpr int kFromFile = 104;
constexpr int kFromClipboard = 105;
constexpr int kHelp = 106;
constexpr int kCancel = 107;
}  // namespace import_ctl

class ExportForm {
 public:
  explicit ExportForm(Desk& desk) : desk_(desk) {}
  // Opens the dialog for a key and waits until it closes; nothing opens (the reason shown)
  // when the key cannot be exported.
  void Show(const Bytes& key_id);
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);

 private:
  Desk& desk_;
  ExportDialogState state_;
  int flashes_left_ = 0;
};

class ImportForm {
 public:
  explicit ImportForm(Desk& desk) : desk_(desk) {}
  // Opens the dialog and waits; a stored key is shown in the key manager.
  void Show();
  void Design();
  void OnEvent(int id, int code, intptr_t value, int* cancel);

 private:
  void Process(std::string text);
  Desk& desk_;
};

}  // namespace lq::gui
