// The message catalogue's two tables (information and question) as data, and the routines that
// turn a key plus info strings into the fixed text and show it through the Ui.
#include "base/catalogue.h"

#include <utility>

#include "base/bytes.h"

namespace lq {
namespace {

enum Info : int { kInfo1 = 1, kInfo2 = 2, kInfo3 = 3 };

// One piece of a line: a literal text or the slot of an info string.
struct Piece {
  constexpr Piece(const char* literal) : text(literal) {}
  constexpr Piece(Info slot) : info(slot) {}
  std::string_view text;
  int info = 0;  // 0 for a literal
};

// A line of a message; an empty Line ({}) is an empty line of the text.
using Line = std::vector<Piece>;

// Entries whose first line depends on info 1.
enum Selector { kNoChoice, kInfo1IsOne, kOneFileName };
struct FirstLine {
  Selector selector = kNoChoice;
  Line when_one;  // info 1 is the number 1, respectively holds exactly one file name
  Line otherwise;
};

constexpr bool kLineBreakAtEnd = true;
constexpr bool kNoLineBreakAtEnd = false;

struct Entry {
  Entry(std::string_view entry_key, int entry_style, std::vector<Line> entry_lines,
        bool break_at_end = kNoLineBreakAtEnd, FirstLine choice = {})
      : key(entry_key),
        style(entry_style),
        lines(std::move(entry_lines)),
        line_break_at_end(break_at_end),
        first_line(std::move(choice)) {}
  std::string_view key;
  int style;  // the style the callers pass for this key
  std::vector<Line> lines;
  bool line_break_at_end;
  FirstLine first_line;
};

using Table = std::vector<Entry>;

const Table& InformationTable() {
  static const Table table = {
      // E-mail driver and general keys.
      {"Bug_Base64EncodeError",
       16,
       {{"The Base64 encoding routine returned an error. Please report this as as bug.", kInfo1}}},
      {"Bug_Base64DecodeError",
       16,
       {{"The Base64 decoding routine returned an error. Please report this as as bug.", kInfo1}}},
      {"EMDriver_ActivateWindowError",
       16,
       {{"The e-mail driver command '$ActivateWindow' could not find"},
        {"this window to activate:"},
        {kInfo1}}},
      {"EMDriver_ExecuteProgWrongFormat",
       16,
       {{"E-maildriver command has the wrong format."},
        {"Parameter must be between double quotes:"},
        {kInfo1}}},
      {"EMDriver_EmptyEMailDriver",
       16,
       {{"No e-mail driver is currently selected,"},
        {"or"},
        {"the currently loaded e-mail driver file is empty."},
        {},
        {"Go to 'Modules/Settings/E-mail' to select or modify"},
        {"an e-mail driver file."},
        {kInfo1}}},
      {"EMDriver_CantAttachFiles",
       64,
       {{"The currently loaded e-maildriver can not attach files."},
        {"Instead, the encrypted packet is inserted in the e-mail as text."}}},
      {"EMDriver_AttachFileImpossible",
       16,
       {{"The currently loaded e-maildriver can not attach files:"}, {kInfo1}}},
      {"EMDriver_MissingParameter",
       16,
       {{"This command in the e-maildriver has a missing parameter:"}, {kInfo1}}},
      {"EMDriver_UnknownCommand", 16, {{"E-mail driver, unknown command:"}, {kInfo1}}},
      {"EMDriver_UnknownParameter",
       16,
       {{"E-mail driver, unknown parameter:"}, {kInfo1}, {"in commandline:"}, {kInfo2}}},
      {"EMDriver_MissingDoubleQuotes",
       16,
       {{"The parameter of this command must be between double quotes:"}, {kInfo1}}},
      {"EMDriver_ClipboardFailed",
       16,
       {{"The e-mail driver could not put its text on the clipboard."},
        {"The mail was not completed."}}},
      {"EMDriver_ExecuteProgFailed",
       16,
       {{"The e-mail driver could not start this program:"}, {kInfo1}}},
      {"EMDriver_MapiNotAvailable",
       16,
       {{"No mail was created: the Simple MAPI library could not be loaded:"},
        {kInfo1},
        {},
        {"Install or select a mail program that offers Simple MAPI,"},
        {"or select another e-mail driver in 'Modules/Settings/E-mail'."}}},
      {"EMDriver_MapiEntryMissing",
       16,
       {{"No mail was created: the Simple MAPI library"},
        {kInfo1},
        {"does not offer the function ", kInfo2, "."}}},
      {"EMDriver_MapiNoSession",
       16,
       {{"No mail was created: the mail program refused the Simple MAPI logon."},
        {"MAPI error code:", kInfo1}}},
      {"EMDriver_MapiSendFailed",
       16,
       {{"No mail was created: the mail program refused the mail."}, {"MAPI error code:", kInfo1}}},
      {"EMDriver_MailtoTooLong",
       16,
       {{"No mail was created: the 'mailto:' link would be ", kInfo1, " characters long,"},
        {"more than the ", kInfo2, " the system accepts."},
        {"Select fewer recipients or a shorter subject."}}},
      {"EMDriver_MailtoFailed",
       16,
       {{"No mail was created: the system could not open this link"},
        {"(is a mail program installed?):"},
        {kInfo1}}},
      {"Export_No_publickey_found",
       16,
       {{"This keyrecord does not have a public key."},
        {"Therefore, the public key can not be exported."}}},
      {"Export_Publickey_expired",
       16,
       {{"This keyrecords public key is expired."},
        {"Therefore, the public key can not be exported."}}},
      {"General_ShowMess", 64, {{kInfo1}}},
      {"General_LogtextEmpty", 64, {{"No logtext recorded. No use to save file.."}}},
      {"General_Hotkey_already_reserved",
       16,
       {{"This hotkey is already in use."}, {"Try another one."}}},
      {"Overwrite_RememberSelection",
       64,
       {{"Your answer is only remembered for the rest of the session"},
        {"if you select 'Yes to all' or 'No to all' !"}}},
      {"INIFile_WrongFormat",
       16,
       {{"The INI-file has the wrong format. It is damaged"},
        {"or it is not a Lockquill file."},
        {},
        {"Taking default values."},
        {kInfo1}}},
      {"INIFile_WrongVersion",
       16,
       {{"The INI-file has the wrong version."},
        {"INI-file version read:", kInfo2},
        {"Lockquill expects INI-file version:", kInfo3},
        {"Taking default values."},
        {kInfo1}}},
      {"Passphrase_Paste_Not_Allowed",
       16,
       {{"Pasting is not allowed now because:"},
        {"- the typed text is hidden"},
        {"           and"},
        {"- the textbox already contains text."},
        {},
        {"To enable pasting, clear the textbox, or"},
        {"uncheck the 'Hide text when typing' checkbox."}}},
      {"Random_number_already_exists",
       16,
       {{"Random number was already generated once !!"}, {kInfo1}}},
      {"Error_InternalSystemError",
       16,
       {{"Internal system error concerning this file:"}, {kInfo1}}},
      {"Error_BadFilename", 16, {{"Bad file name or file number:"}, {kInfo1}}},
      {"Error_FileNotFound", 16, {{"File was not found:"}, {kInfo1}}},
      {"Error_FileAlreadyExists", 16, {{"File already exists:"}, {kInfo1}}},
      {"Error_FileAlreadyOpen", 16, {{"File is already open:"}, {kInfo1}}},
      {"Error_DeviceIOError", 16, {{"Device I/O error on this file:"}, {kInfo1}}},
      {"Error_DiskFull", 16, {{"Disk is full:"}, {kInfo1}}},
      {"Error_OutOfMemory",
       16,
       {{"There is not enough memory for this operation."},
        {"Close other programs or work on smaller data, then try again."}}},
      {"Random_NoEntropy",
       16,
       {{"The random source of the operating system could not be read."},
        {"Lockquill makes no keys and no packets without it."}}},
      {"EnDec_PacketTooLarge",
       16,
       {{"This packet states a content of ", kInfo1, " bytes,"},
        {"more than the limit of ", kInfo2, " bytes for one packet."},
        {"It was not opened."}}},
      {"EnDec_TooManyLayers",
       16,
       {{"This packet has more than ", kInfo1, " layers inside each other."},
        {"It is not a packet Lockquill makes and was not opened."}}},
      {"EnDec_RecipientKeyUnusable",
       16,
       {{"The key of recipient ", kInfo1, " cannot be used"},
        {"to encrypt the session key of the packet."},
        {"No packet was made."}}},
      {"EnDec_SigningKeyUnusable",
       16,
       {{"The signing key ", kInfo1, " has no usable private signing key,"},
        {"so the packet cannot be signed."},
        {"No packet was made."}}},
      {"Error_TooManyFiles", 16, {{"Too many files in this directory:"}, {kInfo1}}},
      {"Error_PermissionDenied",
       16,
       {{"Could not write to this file or disk."},
        {"Perhaps drive/directory or file is write protected:"},
        {kInfo1}}},
      {"Error_DiskNotReady", 16, {{"The disk or drive is not ready:"}, {kInfo1}}},
      {"Error_DiskMediaError",
       16,
       {{"The controller board of a floppy or hard disk"},
        {" indicates a hard media error in one or more sectors."},
        {kInfo1}}},
      {"Error_RenameAcrossDisks",
       16,
       {{"You cannot rename a directory across disk drives or partitions."}, {kInfo1}}},
      {"Error_PathFileAccessError", 16, {{"Path or file access error."}, {kInfo1}}},
      {"Error_PathNotFound", 16, {{"Path can not be found."}, {kInfo1}}},
      {"Error_RenamingFiles", 16, {{"Could not rename file:"}, {kInfo1}, {"to"}, {kInfo2}}},
      // Packet engine keys.
      {"EnDec_WrongPassphrase",
       16,
       {{"The passphrase you entered was not correct..!"}, {"Please try again."}}},
      {"EnDec_SigningKeyID_Not_Found",
       16,
       {{"This packet was signed but the key of the signer was not found"},
        {"in this keyfile."},
        {"Perhaps you have not loaded the correct keyfile,"},
        {"otherwise, you can ask the signer for his public key."}}},
      {"EnDec_NoPassphrase",
       48,
       {{"No passphrase was defined."}, {"You must enter a passphrase to encrypt the packet."}}},
      {"EnDec_WrongFileformat", 16, {{"This file is not a Lockquill encrypted file:"}, {kInfo1}}},
      {"EnDec_WrongCompressionAlgo",
       16,
       {{"The compression algorithm of this record is ", kInfo1},
        {"This algorithm is not supported by this version "},
        {"of Lockquill."},
        {"Check for available updates of Lockquill."}},
       kLineBreakAtEnd},
      {"EnDec_CompressionError",
       16,
       {{"The compression routine returned a non-fatal error."}, {"Data is not compressed."}},
       kLineBreakAtEnd},
      {"Endec_NoPublicKeyExpected",
       16,
       {{"The ascii armor message is a public key packet."},
        {},
        {"To import a public key, you should use 'Import public key'"},
        {"in the KeyManager."}}},
      {"EnDec_SecretKeysExpired",
       16,
       {{},
        {"Lockquill allows the use of an expired secret key"},
        {"but it is highly recommended to change the expired key."}},
       kLineBreakAtEnd,
       {kInfo1IsOne,
        {"One of the recipients secret key is expired."},
        {kInfo1, " secret keys are expired."}}},
      {"EnDec_PublicKeysExpired",
       16,
       {{},
        {"Lockquill does not allow the use of an expired public key."},
        {"Either remove the recipient from the recipient list or"},
        {"request the recipient for an updated key."}},
       kNoLineBreakAtEnd,
       {kInfo1IsOne,
        {"One of the recipients public key is expired."},
        {kInfo1, " public keys are expired."}}},
      {"Endec_HashDoesNotMatch",
       16,
       {{"This packet is damaged!"},
        {},
        {"The hashvalue does not match.."},
        {"If this packet was sent to you by someone else, ask"},
        {"to send it again.."}},
       kLineBreakAtEnd},
      {"Endec_HMACDoesNotMatch",
       16,
       {{"This packet is damaged!"},
        {},
        {"The HMAC (Message Authentication Code) does not match.."},
        {"If this packet was sent to you by someone else, ask"},
        {"to send it again.."}},
       kLineBreakAtEnd},
      {"Endec_NoHashRecord",
       16,
       {{"Incorrect dataformat! Message is damaged!"},
        {},
        {"This data should be a HashRecord"},
        {"but it does not have the correct header."},
        {"The packet header should be:", kInfo1},
        {"but it is                  :", kInfo2}}},
      {"Endec_NoEncryptionPacket",
       16,
       {{"This data should be an Encryption Packet"},
        {"but it does not have the correct header."},
        {"Most probably, this packet was damaged."},
        {},
        {"The packet header should be:", kInfo1},
        {"but it is                  :", kInfo2}}},
      {"Endec_NoSignaturePacket",
       16,
       {{"This data should be a Signature Packet"},
        {"but it does not have the correct header."},
        {"Most probably, this packet was damaged."},
        {},
        {"The packet header should be:", kInfo1},
        {"but it is                  :", kInfo2}}},
      {"Endec_SignatureDoesNotMatch",
       16,
       {{"      = = = B A D   S I G N A T U R E ! ! = = ="},
        {},
        {"This packet was signed, but the signature does NOT match!"},
        {},
        {"The reason is that the message or the packet was changed"},
        {"or damaged AFTER the packet was signed."},
        {"It is recommended NOT to trust the data in this packet."},
        {"If this packet was sent to you by someone else, ask"},
        {"to send it again.."}},
       kLineBreakAtEnd},
      {"Endec_NoSessionKey",
       16,
       {{"Lockquill could not find a key in this keyfile"},
        {"to decrypt this packet."},
        {"Perhaps you are using the wrong keyfile."},
        {"Otherwise you can ask the sender for a key."}}},
      {"EnDec_NoSigningKeySelected",
       48,
       {{"You wanted the packet to be signed,"},
        {"but you haven't selected a signing key."},
        {},
        {"Please select one in 'Keymanager'."}}},
      {"EnDec_RecipientWithoutKey",
       16,
       {{kInfo1, " key recipient(s) had no key defined!"},
        {"Either define a key for the recipient(s), or"},
        {"remove them from the recipient list."}}},
      {"EnDec_WrongRecordType",
       16,
       {{"Record is of type.........: ", kInfo2}, {"while it should be of type: ", kInfo1}}},
      {"EnDec_WrongRecordFormat",
       16,
       {{"Recordtype: ", kInfo3},
        {"Record is of format.........: ", kInfo2},
        {"while it should be of format: ", kInfo1}}},
      {"EnDec_NoAsciiArmorFormat",
       16,
       {{"The text is not in a valid Ascii Armor format."},
        {"Lockquill can not process this data.."}}},
      {"EnDec_NoTextFetched", 64, {{"No text could be fetched from this window."}}},
      {"EnDec_NoEmailAddressFoundForRecipient",
       16,
       {{"No e-mailaddress found for this recipient:"},
        {kInfo1},
        {},
        {"Enter an e-mailaddress in KeyManager."}}},
      {"EnDec_NoUserDataFoundForRecipient",
       16,
       {{"No userdata is found for this recipient:"}, {kInfo1}}},
      {"EnDec_NoRecipientsSelected",
       16,
       {{"No recipient is selected."},
        {"You must atleast select 1 recipient before"},
        {"a packet can be encrypted or decrypted."}},
       kLineBreakAtEnd},
      // Keyfile and key keys.
      {"Keyfile_savedOK", 64, {{"The keyfile was saved without problems!"}}},
      {"Keyfile_Passphrases_not_identical",
       16,
       {{"The 2 passphrases must be the same!"}, {"Please try again."}}},
      {"Keyfile_LoadFailed",
       16,
       {{"The keyfile could not be loaded."}, {"Continuing with previous keyfile."}}},
      {"Keyfile_CommandlineNotFound",
       64,
       {{"The keyfile you specified in the command line does not exist:"}, {kInfo1}}},
      {"Keyfile_INIKeyfileNotFound",
       64,
       {{"The keyfile that was specified as startup keyfile"}, {"does not exist:"}, {kInfo1}}},
      {"Keyfile_write-error", 16, {{"There was an error while writing to keyfile:"}, {kInfo1}}},
      {"Keyfile_HMAC_error",
       16,
       {{"Error in keyfile:"},
        {"Less than 3 records found in keyfile."},
        {"Keyfile was damaged or tampered with."},
        {"Use your backup keyfile if you have one."}},
       kLineBreakAtEnd},
      {"Keyfile_unable_to_modify",
       16,
       {{"Could not modify old keyfile. Make sure it is not write-protected!"}}},
      {"Keyfile_not_created", 16, {{"Could not create new keyfile:"}, {kInfo1}}},
      {"Keyfile_not_opened", 16, {{"Could not open keyfile:"}, {kInfo1}}},
      {"Keyfile_not_recognised", 16, {{kInfo1}, {"is not recognised as a Lockquill keyfile!"}}},
      {"Keyfile_tampered",
       16,
       {{"The keyfile was changed since it was written!"},
        {"Don't use it. Use a keyfile backup file if you have got one."},
        {},
        {kInfo1}}},
      {"Keyfile_passphrase_not_correct",
       16,
       {{"The passphrase for this keyfile is not correct!"}, {kInfo1}}},
      {"Keyfile_empty",
       64,
       {{"The keyfile is empty."},
        {"You must create atleast one keyrecord before you can encrypt and/or"},
        {"decrypt messages and files."}}},
      {"Keyfile_UserIDRecord_not_found",
       16,
       {{"The UserID data could not be found for this Keyrecord!"},
        {"This is an abnormal situation and could mean that"},
        {"the keyfile is corrupt."}}},
      {"KeyName_exists",
       16,
       {{"This keyname already exists:"}, {kInfo1}, {}, {"Please, enter another keyname."}}},
      {"KeyName_exists2",
       16,
       {{"The keyname already exists:"},
        {kInfo1},
        {},
        {"Lockquill has entered a random keyname:"},
        {kInfo2},
        {},
        {"You can always change it later."}}},
      {"KeyName_empty",
       16,
       {{"The keyname textbox is empty."},
        {"Lockquill has entered a random keyname:"},
        {kInfo1},
        {},
        {"You can always change it later."}}},
      {"PubKey_UsersName_undefined",
       16,
       {{"Both the users first and last name must be defined!"}},
       kLineBreakAtEnd},
  };
  return table;
}

// Questions; the style is the buttons and icon each caller asks with.
const Table& QuestionTable() {
  static const Table table = {
      {"General_AskToDeleteFile",
       36,
       {{}, {kInfo1}},
       kNoLineBreakAtEnd,
       {kOneFileName,
        {"Are you sure you want to delete this file?"},
        {"Are you sure you want to delete these files?"}}},
      {"EMDriver_Test1",
       35,
       {{"E-mail driver test 1"},
        {"======================="},
        {"This first test tries to create a text-only mail."},
        {},
        {"Do you want to perform this test?"}}},
      {"EMDriver_Test2",
       35,
       {{"E-mail driver test 2"},
        {"======================="},
        {"The second test tries to create a mail with an attachment."},
        {},
        {"Do you want to perform this test?"}}},
      {"Imported_KeyID_exists",
       35,
       {{"Keyrecord \"", kInfo1, "\" has the same KeyID as the imported key."},
        {},
        {"Do you want to overwrite this keyrecord with the imported keydata,"},
        {"or do you want to create a new keyrecord?"},
        {},
        {"YES    - Overwrite existing keyrecord."},
        {"NO     - Create a new keyrecord with the imported keydata."},
        {"CANCEL - Cancel the importation of the key."}},
       kLineBreakAtEnd},
      {"EnDec_Hotkey_IncludedFiles",
       65,
       {{"Attention!!"},
        {"You have selected following files to be included in the packet:"},
        {kInfo1},
        {"Do you want them included in the packet?"},
        {},
        {"OK - Files are included in the packet"},
        {"CANCEL - Encryption is aborted."}},
       kLineBreakAtEnd},
      {"EnDec_NotAllRecipientsHadSecretKey",
       68,
       {{kInfo1, " recipients did not have a secret key defined."},
        {"Lockquill can use their public key to encrypt the packet."},
        {"Is this OK with you?"},
        {},
        {"YES - Encryption is performed using different keytypes"},
        {"NO  - Encryption is cancelled"}}},
      {"EnDec_NotAllRecipientsHadPublicKey",
       68,
       {{kInfo1, " recipients did not have a public key defined."},
        {"Lockquill can use their secret key to encrypt the packet."},
        {"Is this OK with you?"},
        {},
        {"YES - Encryption is performed using different keytypes"},
        {"NO  - Encryption is cancelled"}}},
      {"EnDec_FileExists",
       67,
       {{"File already exists:"},
        {kInfo1},
        {"Do you want this file to be overwritten?"},
        {},
        {"YES         - File is overwritten"},
        {"NO          - File is saved as: ", kInfo2},
        {"CANCEL - File is NOT saved"}}},
      {"KeyRecord_Delete",
       36,
       {{"If you delete this keyrecord, you will not be able to decrypt"},
        {"any messages that were encrypted to this key."},
        {},
        {"Are you absolutely sure you want to delete this keyrecord?"}},
       kLineBreakAtEnd},
      {"PubKey_Overwrite?",
       52,
       {{"This keyrecord already has a public key defined!"},
        {"If you overwrite this public key, you will not be able to decrypt"},
        {"any messages that were encrypted to this key."},
        {},
        {"Are you absolutely sure you want to calculate a new public key?"}},
       kLineBreakAtEnd},
      {"KeyGroup_SureToDelete?",
       52,
       {{"Are you sure you want to delete this keygroup?"}, {kInfo1}},
       kLineBreakAtEnd},
  };
  return table;
}

const Entry* Find(const Table& table, std::string_view key) {
  for (const Entry& e : table) {
    if (e.key == key) return &e;
  }
  return nullptr;
}

const Entry* FindAnywhere(std::string_view key) {
  const Entry* e = Find(InformationTable(), key);
  return e ? e : Find(QuestionTable(), key);
}

// Names in a CR LF separated list; empty pieces (a trailing CR LF) are no names.
size_t CountNames(std::string_view list) {
  size_t names = 0;
  while (true) {
    size_t end = list.find("\r\n");
    if (!list.substr(0, end).empty()) ++names;
    if (end == std::string_view::npos) break;
    list.remove_prefix(end + 2);
  }
  return names;
}

void AppendLine(std::string& out, const Line& line, const std::string_view (&info)[4]) {
  for (const Piece& p : line) {
    if (p.info == 0) {
      out += p.text;
    } else {
      out += info[p.info];
    }
  }
}

std::vector<std::string> Keys(const Table& table) {
  std::vector<std::string> keys;
  for (const Entry& e : table) keys.emplace_back(e.key);
  return keys;
}

int ShowBox(Ui& ui, std::string_view key, int style, std::string text) {
  MessageBoxRequest request;
  request.key = std::string(key);
  request.text = std::move(text);
  request.caption = kMessageCaption;
  // System modal and topmost: no owner window, and the user must answer before going on.
  request.style = style | mb::kSystemModal | mb::kTopmost;
  return ui.ShowMessageBox(request);
}

}  // namespace

std::string MessageText(std::string_view key, std::string_view info1, std::string_view info2,
                        std::string_view info3) {
  const Entry* e = FindAnywhere(key);
  if (!e) return kUndefinedMessage;
  const std::string_view info[4] = {{}, info1, info2, info3};

  std::string text;
  bool first = true;
  auto add = [&](const Line& line) {
    if (!first) text += "\r\n";
    first = false;
    AppendLine(text, line, info);
  };
  const FirstLine& fl = e->first_line;
  if (fl.selector != kNoChoice) {
    bool one = fl.selector == kInfo1IsOne ? ParseNumber(info1) == 1 : CountNames(info1) == 1;
    add(one ? fl.when_one : fl.otherwise);
  }
  for (const Line& line : e->lines) add(line);
  if (e->line_break_at_end) text += "\r\n";
  return text;
}

bool IsMessageKey(std::string_view key) { return Find(InformationTable(), key) != nullptr; }
bool IsQuestionKey(std::string_view key) { return Find(QuestionTable(), key) != nullptr; }
std::vector<std::string> MessageKeys() { return Keys(InformationTable()); }
std::vector<std::string> QuestionKeys() { return Keys(QuestionTable()); }

int MessageStyle(std::string_view key) {
  const Entry* e = FindAnywhere(key);
  return e ? e->style : mb::kIconHand;
}

int ShowMessage(Ui& ui, std::string_view key, int style, std::string_view info1,
                std::string_view info2, std::string_view info3) {
  return ShowBox(ui, key, style, MessageText(key, info1, info2, info3));
}

int AskUser(Ui& ui, std::string_view key, int style, std::string_view info1,
            std::string_view info2) {
  return ShowBox(ui, key, style, MessageText(key, info1, info2));
}

std::string FileErrorKey(int error_number) {
  switch (error_number) {
    case 51:
      return "Error_InternalSystemError";
    case 52:
      return "Error_BadFilename";
    case 53:
      return "Error_FileNotFound";
    case 55:
      return "Error_FileAlreadyOpen";
    case 57:
      return "Error_DeviceIOError";
    case 58:
      return "Error_FileAlreadyExists";
    case 61:
      return "Error_DiskFull";
    case 64:
      return "Error_BadFilename";
    case 67:
      return "Error_TooManyFiles";
    case 70:
      return "Error_PermissionDenied";
    case 71:
      return "Error_DiskNotReady";
    case 72:
      return "Error_DiskMediaError";
    case 74:
      return "Error_RenameAcrossDisks";
    case 75:
      return "Error_PathFileAccessError";
    case 76:
      return "Error_PathNotFound";
    default:
      return {};
  }
}

void ReportFileError(Ui& ui, int error_number, std::string_view file_name) {
  std::string key = FileErrorKey(error_number);
  if (key.empty()) return;  // numbers without a message are silent by design
  ShowMessage(ui, key, mb::kIconHand, file_name);
}

void ReportRenameError(Ui& ui, std::string_view old_name, std::string_view new_name) {
  ShowMessage(ui, "Error_RenamingFiles", mb::kIconHand, old_name, new_name);
}

}  // namespace lq
