// Tests of the message catalogue: exact texts byte for byte, every key of both tables, the
// two-way entries, unknown keys, caption and style of the boxes and the file-error mapping.
#include "base/catalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "support/recording_ui.h"

namespace lq {
namespace {

// Written out here on purpose, not taken from the catalogue, so a key dropped or misspelt in
// the tables shows up.
const std::vector<std::string> kInformationKeys = {
    "EMDriver_ClipboardFailed",
    "EMDriver_ExecuteProgFailed",
    "EMDriver_MapiNotAvailable",
    "EMDriver_MapiEntryMissing",
    "EMDriver_MapiNoSession",
    "EMDriver_MapiSendFailed",
    "EMDriver_MailtoTooLong",
    "EMDriver_MailtoFailed",
    "Bug_Base64EncodeError",
    "Bug_Base64DecodeError",
    "EMDriver_ActivateWindowError",
    "EMDriver_ExecuteProgWrongFormat",
    "EMDriver_EmptyEMailDriver",
    "EMDriver_CantAttachFiles",
    "EMDriver_AttachFileImpossible",
    "EMDriver_MissingParameter",
    "EMDriver_UnknownCommand",
    "EMDriver_UnknownParameter",
    "EMDriver_MissingDoubleQuotes",
    "Export_No_publickey_found",
    "Export_Publickey_expired",
    "General_ShowMess",
    "General_LogtextEmpty",
    "General_Hotkey_already_reserved",
    "Overwrite_RememberSelection",
    "INIFile_WrongFormat",
    "INIFile_WrongVersion",
    "Passphrase_Paste_Not_Allowed",
    "Random_number_already_exists",
    "Error_InternalSystemError",
    "Error_BadFilename",
    "Error_FileNotFound",
    "Error_FileAlreadyExists",
    "Error_FileAlreadyOpen",
    "Error_DeviceIOError",
    "Error_DiskFull",
    "Error_OutOfMemory",
    "Random_NoEntropy",
    "EnDec_PacketTooLarge",
    "EnDec_TooManyLayers",
    "EnDec_RecipientKeyUnusable",
    "EnDec_SigningKeyUnusable",
    "Error_TooManyFiles",
    "Error_PermissionDenied",
    "Error_DiskNotReady",
    "Error_DiskMediaError",
    "Error_RenameAcrossDisks",
    "Error_PathFileAccessError",
    "Error_PathNotFound",
    "Error_RenamingFiles",
    "EnDec_WrongPassphrase",
    "EnDec_SigningKeyID_Not_Found",
    "EnDec_NoPassphrase",
    "EnDec_WrongFileformat",
    "EnDec_WrongCompressionAlgo",
    "EnDec_CompressionError",
    "Endec_NoPublicKeyExpected",
    "EnDec_SecretKeysExpired",
    "EnDec_PublicKeysExpired",
    "Endec_HashDoesNotMatch",
    "Endec_HMACDoesNotMatch",
    "Endec_NoHashRecord",
    "Endec_NoEncryptionPacket",
    "Endec_NoSignaturePacket",
    "Endec_SignatureDoesNotMatch",
    "Endec_NoSessionKey",
    "EnDec_NoSigningKeySelected",
    "EnDec_RecipientWithoutKey",
    "EnDec_WrongRecordType",
    "EnDec_WrongRecordFormat",
    "EnDec_NoAsciiArmorFormat",
    "EnDec_NoTextFetched",
    "EnDec_NoEmailAddressFoundForRecipient",
    "EnDec_NoUserDataFoundForRecipient",
    "EnDec_NoRecipientsSelected",
    "Keyfile_savedOK",
    "Keyfile_Passphrases_not_identical",
    "Keyfile_LoadFailed",
    "Keyfile_CommandlineNotFound",
    "Keyfile_INIKeyfileNotFound",
    "Keyfile_write-error",
    "Keyfile_HMAC_error",
    "Keyfile_unable_to_modify",
    "Keyfile_not_created",
    "Keyfile_not_opened",
    "Keyfile_not_recognised",
    "Keyfile_tampered",
    "Keyfile_passphrase_not_correct",
    "Keyfile_empty",
    "Keyfile_UserIDRecord_not_found",
    "KeyName_exists",
    "KeyName_exists2",
    "KeyName_empty",
    "PubKey_UsersName_undefined",
};

const std::vector<std::string> kQuestionKeys = {
    "General_AskToDeleteFile",
    "EMDriver_Test1",
    "EMDriver_Test2",
    "Imported_KeyID_exists",
    "EnDec_Hotkey_IncludedFiles",
    "EnDec_NotAllRecipientsHadSecretKey",
    "EnDec_NotAllRecipientsHadPublicKey",
    "EnDec_FileExists",
    "KeyRecord_Delete",
    "PubKey_Overwrite?",
    "KeyGroup_SureToDelete?",
};

constexpr int kAdded = 4096 + 262144;

struct TextCase {
  const char* key;
  const char* info1;
  const char* info2;
  const char* info3;
  const char* expected;
};

// Texts of varied shapes: info on its own line, joined to a literal, inside quotes, first on
// the line; empty lines; trailing and leading blanks; texts that end with CR LF.
const TextCase kTexts[] = {
    {"EnDec_WrongRecordFormat", "001", "002", "110",
     "Recordtype: 110\r\n"
     "Record is of format.........: 002\r\n"
     "while it should be of format: 001"},
    {"EnDec_WrongRecordType", "110", "111", "",
     "Record is of type.........: 111\r\n"
     "while it should be of type: 110"},
    {"EnDec_WrongCompressionAlgo", " 7", "", "",
     "The compression algorithm of this record is  7\r\n"
     "This algorithm is not supported by this version \r\n"
     "of Lockquill.\r\n"
     "Check for available updates of Lockquill.\r\n"},
    {"Imported_KeyID_exists", "Alice", "", "",
     "Keyrecord \"Alice\" has the same KeyID as the imported key.\r\n"
     "\r\n"
     "Do you want to overwrite this keyrecord with the imported keydata,\r\n"
     "or do you want to create a new keyrecord?\r\n"
     "\r\n"
     "YES    - Overwrite existing keyrecord.\r\n"
     "NO     - Create a new keyrecord with the imported keydata.\r\n"
     "CANCEL - Cancel the importation of the key.\r\n"},
    {"EnDec_FileExists", "C:\\out\\a.txt", "C:\\out\\a(1).txt", "",
     "File already exists:\r\n"
     "C:\\out\\a.txt\r\n"
     "Do you want this file to be overwritten?\r\n"
     "\r\n"
     "YES         - File is overwritten\r\n"
     "NO          - File is saved as: C:\\out\\a(1).txt\r\n"
     "CANCEL - File is NOT saved"},
    {"Passphrase_Paste_Not_Allowed", "", "", "",
     "Pasting is not allowed now because:\r\n"
     "- the typed text is hidden\r\n"
     "           and\r\n"
     "- the textbox already contains text.\r\n"
     "\r\n"
     "To enable pasting, clear the textbox, or\r\n"
     "uncheck the 'Hide text when typing' checkbox."},
    {"Error_DiskMediaError", "A:\\x.lqe", "", "",
     "The controller board of a floppy or hard disk\r\n"
     " indicates a hard media error in one or more sectors.\r\n"
     "A:\\x.lqe"},
    {"INIFile_WrongVersion", "Lockquill.ini", " 1", " 2",
     "The INI-file has the wrong version.\r\n"
     "INI-file version read: 1\r\n"
     "Lockquill expects INI-file version: 2\r\n"
     "Taking default values.\r\n"
     "Lockquill.ini"},
    {"Bug_Base64DecodeError", "!", "", "",
     "The Base64 decoding routine returned an error. Please report this as as bug.!"},
    {"General_ShowMess", "Anything at all", "", "", "Anything at all"},
    {"EnDec_RecipientWithoutKey", " 2", "", "",
     " 2 key recipient(s) had no key defined!\r\n"
     "Either define a key for the recipient(s), or\r\n"
     "remove them from the recipient list."},
    {"Keyfile_not_recognised", "Keys.lqk", "", "",
     "Keys.lqk\r\n"
     "is not recognised as a Lockquill keyfile!"},
    {"KeyName_exists2", "Bob", "Key4711", "",
     "The keyname already exists:\r\n"
     "Bob\r\n"
     "\r\n"
     "Lockquill has entered a random keyname:\r\n"
     "Key4711\r\n"
     "\r\n"
     "You can always change it later."},
    {"Endec_NoHashRecord", "LQH001", "XXXXXX", "",
     "Incorrect dataformat! Message is damaged!\r\n"
     "\r\n"
     "This data should be a HashRecord\r\n"
     "but it does not have the correct header.\r\n"
     "The packet header should be:LQH001\r\n"
     "but it is                  :XXXXXX"},
    {"Endec_SignatureDoesNotMatch", "", "", "",
     "      = = = B A D   S I G N A T U R E ! ! = = =\r\n"
     "\r\n"
     "This packet was signed, but the signature does NOT match!\r\n"
     "\r\n"
     "The reason is that the message or the packet was changed\r\n"
     "or damaged AFTER the packet was signed.\r\n"
     "It is recommended NOT to trust the data in this packet.\r\n"
     "If this packet was sent to you by someone else, ask\r\n"
     "to send it again..\r\n"},
    {"EMDriver_UnknownParameter", "$FOO", "$KEYS $FOO", "",
     "E-mail driver, unknown parameter:\r\n"
     "$FOO\r\n"
     "in commandline:\r\n"
     "$KEYS $FOO"},
    {"Keyfile_HMAC_error", "", "", "",
     "Error in keyfile:\r\n"
     "Less than 3 records found in keyfile.\r\n"
     "Keyfile was damaged or tampered with.\r\n"
     "Use your backup keyfile if you have one.\r\n"},
    // An empty info string on its own line still leaves its (empty) line.
    {"Keyfile_tampered", "", "", "",
     "The keyfile was changed since it was written!\r\n"
     "Don't use it. Use a keyfile backup file if you have got one.\r\n"
     "\r\n"},
    {"EnDec_Hotkey_IncludedFiles", "a.txt\r\nb.txt", "", "",
     "Attention!!\r\n"
     "You have selected following files to be included in the packet:\r\n"
     "a.txt\r\nb.txt\r\n"
     "Do you want them included in the packet?\r\n"
     "\r\n"
     "OK - Files are included in the packet\r\n"
     "CANCEL - Encryption is aborted.\r\n"},
    {"EnDec_NotAllRecipientsHadPublicKey", " 3", "", "",
     " 3 recipients did not have a public key defined.\r\n"
     "Lockquill can use their secret key to encrypt the packet.\r\n"
     "Is this OK with you?\r\n"
     "\r\n"
     "YES - Encryption is performed using different keytypes\r\n"
     "NO  - Encryption is cancelled"},
    {"KeyGroup_SureToDelete?", "Friends", "", "",
     "Are you sure you want to delete this keygroup?\r\n"
     "Friends\r\n"},
    {"EMDriver_Test2", "", "", "",
     "E-mail driver test 2\r\n"
     "=======================\r\n"
     "The second test tries to create a mail with an attachment.\r\n"
     "\r\n"
     "Do you want to perform this test?"},
    {"Keyfile_savedOK", "ignored", "ignored", "ignored", "The keyfile was saved without problems!"},
    {"EnDec_PacketTooLarge", " 4294967295", " 1073741824", "",
     "This packet states a content of  4294967295 bytes,\r\n"
     "more than the limit of  1073741824 bytes for one packet.\r\n"
     "It was not opened."},
    {"EnDec_RecipientKeyUnusable", "Carol", "", "",
     "The key of recipient Carol cannot be used\r\n"
     "to encrypt the session key of the packet.\r\n"
     "No packet was made."},
};

TEST(CatalogueTest, TextsAreExact) {
  for (const TextCase& c : kTexts) {
    EXPECT_EQ(MessageText(c.key, c.info1, c.info2, c.info3), c.expected) << c.key;
  }
}

TEST(CatalogueTest, EveryKeyOfBothTablesIsPresent) {
  EXPECT_EQ(kInformationKeys.size(), 94u);
  EXPECT_EQ(kQuestionKeys.size(), 11u);
  for (const auto& key : kInformationKeys) {
    EXPECT_TRUE(IsMessageKey(key)) << key;
    EXPECT_FALSE(IsQuestionKey(key)) << key;
    EXPECT_NE(MessageText(key, "x", "y", "z"), kUndefinedMessage) << key;
  }
  for (const auto& key : kQuestionKeys) {
    EXPECT_TRUE(IsQuestionKey(key)) << key;
    EXPECT_FALSE(IsMessageKey(key)) << key;
    EXPECT_NE(MessageText(key, "x", "y"), kUndefinedMessage) << key;
  }
  // Nothing beyond them, and no key twice.
  auto as_set = [](const std::vector<std::string>& v) {
    return std::multiset<std::string>(v.begin(), v.end());
  };
  EXPECT_EQ(as_set(MessageKeys()), as_set(kInformationKeys));
  EXPECT_EQ(as_set(QuestionKeys()), as_set(kQuestionKeys));
}

TEST(CatalogueTest, ExpiredKeysChooseTheFirstLineByTheNumber) {
  const std::string secret_rest =
      "\r\n\r\nLockquill allows the use of an expired secret key\r\n"
      "but it is highly recommended to change the expired key.\r\n";
  const std::string one_secret = "One of the recipients secret key is expired." + secret_rest;
  EXPECT_EQ(MessageText("EnDec_SecretKeysExpired", "1"), one_secret);
  // The number text of the runtime has a leading blank; it counts as 1 all the same.
  EXPECT_EQ(MessageText("EnDec_SecretKeysExpired", " 1"), one_secret);
  EXPECT_EQ(MessageText("EnDec_SecretKeysExpired", "3"),
            "3 secret keys are expired." + secret_rest);
  EXPECT_EQ(MessageText("EnDec_SecretKeysExpired", " 12"),
            " 12 secret keys are expired." + secret_rest);
  EXPECT_EQ(MessageText("EnDec_SecretKeysExpired", "0"),
            "0 secret keys are expired." + secret_rest);
  EXPECT_EQ(MessageText("EnDec_SecretKeysExpired", ""), " secret keys are expired." + secret_rest);

  const std::string public_rest =
      "\r\n\r\nLockquill does not allow the use of an expired public key.\r\n"
      "Either remove the recipient from the recipient list or\r\n"
      "request the recipient for an updated key.";
  EXPECT_EQ(MessageText("EnDec_PublicKeysExpired", " 1"),
            "One of the recipients public key is expired." + public_rest);
  EXPECT_EQ(MessageText("EnDec_PublicKeysExpired", "11"),
            "11 public keys are expired." + public_rest);
  EXPECT_EQ(MessageText("EnDec_PublicKeysExpired", "-1"),
            "-1 public keys are expired." + public_rest);
}

TEST(CatalogueTest, AskToDeleteFileCountsTheNames) {
  EXPECT_EQ(MessageText("General_AskToDeleteFile", "C:\\a.txt"),
            "Are you sure you want to delete this file?\r\n\r\nC:\\a.txt");
  EXPECT_EQ(MessageText("General_AskToDeleteFile", "C:\\a.txt\r\nC:\\b.txt"),
            "Are you sure you want to delete these files?\r\n\r\nC:\\a.txt\r\nC:\\b.txt");
  EXPECT_EQ(MessageText("General_AskToDeleteFile", "a\r\nb\r\nc"),
            "Are you sure you want to delete these files?\r\n\r\na\r\nb\r\nc");
  // A list built name by name may end with CR LF; that is still one name.
  EXPECT_EQ(MessageText("General_AskToDeleteFile", "C:\\a.txt\r\n"),
            "Are you sure you want to delete this file?\r\n\r\nC:\\a.txt\r\n");
}

TEST(CatalogueTest, UnknownKeysAreUndefined) {
  for (const char* key : {"error_diskfull", "ERROR_DISKFULL", "Endec_WrongPassphrase",
                          "EnDec_HashDoesNotMatch", "Error_DiskFull ", "", "Keyfile_loaded"}) {
    EXPECT_EQ(MessageText(key, "a", "b", "c"), "<<< Undefined message >>>") << key;
    EXPECT_FALSE(IsMessageKey(key)) << key;
    EXPECT_FALSE(IsQuestionKey(key)) << key;
  }
  // Still a box, with the usual caption.
  test::RecordingUi ui;
  ShowMessage(ui, "error_diskfull", mb::kIconHand, "a.txt");
  EXPECT_EQ(ui.LastBox().text, "<<< Undefined message >>>");
  EXPECT_EQ(ui.LastBox().caption, "Lockquill V1.0");
  AskUser(ui, "no_such_question", 36);
  EXPECT_EQ(ui.LastBox().text, "<<< Undefined message >>>");
}

TEST(CatalogueTest, InfoStringsAreInsertedVerbatim) {
  const std::string odd("a\0b\r\n\xff|<<<", 10);
  EXPECT_EQ(MessageText("Error_DiskFull", odd), "Disk is full:\r\n" + odd);
  EXPECT_EQ(MessageText("General_ShowMess"), "");
  // Info slots are not reinterpreted from the inserted text.
  EXPECT_EQ(MessageText("Error_RenamingFiles", "{info2}", "new"),
            "Could not rename file:\r\n{info2}\r\nto\r\nnew");
}

TEST(CatalogueTest, BoxesHaveCaptionKeyAndSystemModalTopmostStyle) {
  test::RecordingUi ui;
  ShowMessage(ui, "Error_DiskFull", mb::kIconHand, "D:\\big.lqe");
  const MessageBoxRequest& box = ui.LastBox();
  EXPECT_EQ(box.key, "Error_DiskFull");
  EXPECT_EQ(box.caption, "Lockquill V1.0");
  EXPECT_EQ(box.text, "Disk is full:\r\nD:\\big.lqe");
  EXPECT_EQ(box.style, 16 + kAdded);

  ShowMessage(ui, "Keyfile_savedOK", 64);
  EXPECT_EQ(ui.LastBox().style, 64 + kAdded);

  // A caller that already added the flags does not get them twice.
  ShowMessage(ui, "EnDec_NoPassphrase", 48 | 4096 | 262144);
  EXPECT_EQ(ui.LastBox().style, 48 + kAdded);

  AskUser(ui, "EMDriver_Test1", 35);
  EXPECT_EQ(ui.LastBox().key, "EMDriver_Test1");
  EXPECT_EQ(ui.LastBox().caption, "Lockquill V1.0");
  EXPECT_EQ(ui.LastBox().style, 35 + kAdded);
  EXPECT_EQ(ui.LastBox().text,
            "E-mail driver test 1\r\n"
            "=======================\r\n"
            "This first test tries to create a text-only mail.\r\n"
            "\r\n"
            "Do you want to perform this test?");
  EXPECT_EQ(ui.boxes.size(), 4u);
}

TEST(CatalogueTest, TheButtonPressedIsReturned) {
  test::RecordingUi ui;
  ui.buttons = {kIdNo, kIdCancel, kIdYes, kIdOk, kIdCancel};
  EXPECT_EQ(AskUser(ui, "KeyRecord_Delete", 36), kIdNo);
  EXPECT_EQ(AskUser(ui, "Imported_KeyID_exists", 35, "Alice"), kIdCancel);
  EXPECT_EQ(AskUser(ui, "EnDec_FileExists", 67, "a", "b"), kIdYes);
  EXPECT_EQ(AskUser(ui, "EnDec_Hotkey_IncludedFiles", 65, "a"), kIdOk);
  EXPECT_EQ(ShowMessage(ui, "Keyfile_empty", 64), kIdCancel);
}

TEST(CatalogueTest, EitherRoutineFindsKeysOfBothTables) {
  test::RecordingUi ui;
  ShowMessage(ui, "PubKey_Overwrite?", 52);
  EXPECT_EQ(ui.LastBox().text, MessageText("PubKey_Overwrite?"));
  EXPECT_NE(ui.LastBox().text, kUndefinedMessage);
  AskUser(ui, "Error_FileNotFound", 36, "x.txt");
  EXPECT_EQ(ui.LastBox().text, "File was not found:\r\nx.txt");
}

TEST(CatalogueTest, CallerStyles) {
  for (const char* key : {"EnDec_NoPassphrase", "EnDec_NoSigningKeySelected"}) {
    EXPECT_EQ(MessageStyle(key), 48) << key;
  }
  for (const char* key :
       {"EMDriver_CantAttachFiles", "EnDec_NoTextFetched", "General_LogtextEmpty",
        "General_ShowMess", "Keyfile_CommandlineNotFound", "Keyfile_INIKeyfileNotFound",
        "Keyfile_empty", "Keyfile_savedOK", "Overwrite_RememberSelection"}) {
    EXPECT_EQ(MessageStyle(key), 64) << key;
  }
  int errors = 0;
  for (const auto& key : kInformationKeys) errors += MessageStyle(key) == 16;
  EXPECT_EQ(errors, 94 - 2 - 9);
  const std::pair<const char*, int> questions[] = {
      {"General_AskToDeleteFile", 36},
      {"EMDriver_Test1", 35},
      {"EMDriver_Test2", 35},
      {"Imported_KeyID_exists", 35},
      {"EnDec_Hotkey_IncludedFiles", 65},
      {"EnDec_NotAllRecipientsHadSecretKey", 68},
      {"EnDec_NotAllRecipientsHadPublicKey", 68},
      {"EnDec_FileExists", 67},
      {"KeyRecord_Delete", 36},
      {"PubKey_Overwrite?", 52},
      {"KeyGroup_SureToDelete?", 52},
  };
  for (const auto& [key, style] : questions) EXPECT_EQ(MessageStyle(key), style) << key;
  EXPECT_EQ(MessageStyle("no_such_key"), 16);
}

TEST(CatalogueTest, FileErrorsMapToTheirMessages) {
  const std::pair<int, const char*> mapping[] = {
      {51, "Error_InternalSystemError"},
      {52, "Error_BadFilename"},
      {53, "Error_FileNotFound"},
      {55, "Error_FileAlreadyOpen"},
      {57, "Error_DeviceIOError"},
      {58, "Error_FileAlreadyExists"},
      {61, "Error_DiskFull"},
      {64, "Error_BadFilename"},
      {67, "Error_TooManyFiles"},
      {70, "Error_PermissionDenied"},
      {71, "Error_DiskNotReady"},
      {72, "Error_DiskMediaError"},
      {74, "Error_RenameAcrossDisks"},
      {75, "Error_PathFileAccessError"},
      {76, "Error_PathNotFound"},
  };
  for (const auto& [number, key] : mapping) {
    EXPECT_EQ(FileErrorKey(number), key) << number;
    test::RecordingUi ui;
    ReportFileError(ui, number, "C:\\data\\f.lqe");
    ASSERT_EQ(ui.boxes.size(), 1u) << number;
    EXPECT_EQ(ui.LastBox().key, key);
    EXPECT_EQ(ui.LastBox().style, 16 + kAdded);
    EXPECT_EQ(ui.LastBox().caption, "Lockquill V1.0");
    EXPECT_EQ(ui.LastBox().text, MessageText(key, "C:\\data\\f.lqe"));
  }

  test::RecordingUi ui;
  ReportFileError(ui, 64, "bad?name");
  EXPECT_EQ(ui.LastBox().text, "Bad file name or file number:\r\nbad?name");
  ReportFileError(ui, 70, "C:\\ro.txt");
  EXPECT_EQ(ui.LastBox().text,
            "Could not write to this file or disk.\r\n"
            "Perhaps drive/directory or file is write protected:\r\n"
            "C:\\ro.txt");
  ReportFileError(ui, 75, "C:\\x");
  EXPECT_EQ(ui.LastBox().text, "Path or file access error.\r\nC:\\x");
}

TEST(CatalogueTest, UnmappedFileErrorsShowNothing) {
  test::RecordingUi ui;
  for (int number : {0, -1, 50, 54, 56, 59, 60, 62, 63, 65, 66, 68, 69, 73, 77, 1000}) {
    EXPECT_EQ(FileErrorKey(number), "") << number;
    ReportFileError(ui, number, "f.txt");
  }
  EXPECT_TRUE(ui.boxes.empty());
  EXPECT_TRUE(ui.calls.empty());
}

TEST(CatalogueTest, RenameErrorNamesBothFiles) {
  test::RecordingUi ui;
  ReportRenameError(ui, "C:\\k.tmp", "C:\\Keyfile.lqk");
  EXPECT_EQ(ui.LastBox().key, "Error_RenamingFiles");
  EXPECT_EQ(ui.LastBox().style, 16 + kAdded);
  EXPECT_EQ(ui.LastBox().text, "Could not rename file:\r\nC:\\k.tmp\r\nto\r\nC:\\Keyfile.lqk");
}

}  // namespace
}  // namespace lq
