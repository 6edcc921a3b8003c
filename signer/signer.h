// CSigner: the object through which both programs use the signature core.
// velixhost makes one per request, velixcom one per automation object; all of
// them share the process-wide state (signer_state.h), the core session and the
// open key (CCryptoInitializer), and Config.
//
// Operations have the shape of COM methods: a 32-bit status, texts as UTF-16
// strings owned by the caller. Property accessors take no lock and never fail,
// except the two reads that are given no result location.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "signer/signer_lock.h"
#include "signer/signer_state.h"

// Status values (the Windows HRESULT numbers).
constexpr int32_t kStatusOk = 0;                                          // S_OK
constexpr int32_t kStatusNotImplemented = static_cast<int32_t>(0x80004001);  // E_NOTIMPL
constexpr int32_t kStatusInvalidArg = static_cast<int32_t>(0x80070057);      // E_INVALIDARG
constexpr int32_t kStatusFail = static_cast<int32_t>(0x80004005);            // E_FAIL

// Error property values (besides 1000 - c for a core code c).
constexpr int32_t kErrorNone = 0;
constexpr int32_t kErrorLibraryInUse = 100;
constexpr int32_t kErrorNoMemory = 101;
constexpr int32_t kErrorCancelled = 102;
constexpr int32_t kErrorBadInput = 103;
constexpr int32_t kErrorSignFailed = 104;
// A text to sign holds a character the ANSI code page cannot represent.
constexpr int32_t kErrorUnrepresentableText = 105;
// A header text (the session) holds a line break or a control character,
// which would forge header lines: nothing is signed until it is replaced.
constexpr int32_t kErrorHeaderText = 106;

// velixhost serialises operations with the signer lock and keeps a Session per
// object; velixcom takes no lock and keeps one Session per process.
enum class SignerFlavour { kHost, kComServer };

class CSigner {
 public:
  // Starts the core if no signer object of the process has done so.
  explicit CSigner(SignerFlavour flavour = SignerFlavour::kHost);
  virtual ~CSigner() = default;
  CSigner(const CSigner&) = delete;
  CSigner& operator=(const CSigner&) = delete;

  // Operations, in slot order; status 0 for every handled failure (the user
  // has seen a message box, Error says what went wrong where it is set).
  virtual int32_t Reset();
  virtual int32_t EditKeys();
  virtual int32_t ChangeUser();
  // Not implemented: E_NOTIMPL, the result is left untouched.
  virtual int32_t DecryptMessage(std::u16string_view message, int32_t show_result, std::u16string* result);
  virtual int32_t GetStatement(std::u16string_view from, std::u16string_view to, std::u16string* result);

  // Session: at most 254 bytes in the ANSI code page; a text that does not fit
  // empties it. It is read back and printed in headers as it was given.
  virtual int32_t get_Session(std::u16string* value);
  virtual int32_t put_Session(std::u16string_view value);
  virtual int32_t get_Operator(int32_t* value);
  virtual int32_t put_Operator(int32_t value);
  virtual int32_t get_Customer(int32_t* value);
  virtual int32_t put_Customer(int32_t value);
  // Language: "en" for English (1033), "ru" for anything else; only exactly
  // "en" selects English.
  virtual int32_t get_Language(std::u16string* value);
  virtual int32_t put_Language(std::u16string_view value);
  virtual int32_t get_Error(int32_t* value);
  // The signed document, or the empty text.
  virtual int32_t SignMessage(std::u16string_view message, std::u16string* result);
  // SignMessage for a caller that answers in UTF-8 (velixhost): the document
  // comes back in UTF-8 whatever code page it was signed in. message_done is
  // called once the message is no longer read, so that the caller can let a
  // long one go before it is signed.
  int32_t SignMessageUtf8(std::u16string_view message, const std::function<void()>& message_done,
                          std::string* document);
  // The armored detached signature of the file's bytes, or the empty text.
  virtual int32_t SignFile(std::u16string_view file_name, std::u16string* result);
  // useUtf8 reads -1 when on; any non-zero value turns it on.
  virtual int32_t get_useUtf8(int32_t* value);
  virtual int32_t put_useUtf8(int32_t value);
  // UseScreenKbd is Config's VK; writing it stores it at once, and when it
  // cannot be stored gives kStatusFail and leaves the value that is stored.
  virtual int32_t get_UseScreenKbd(int32_t* value);
  virtual int32_t put_UseScreenKbd(int32_t value);
  // Status 0 and the folder when the user picked one, 1 (folder untouched) otherwise.
  virtual int32_t BrowseForFolder(std::u16string* folder);
  // Makes a key set in folder from the key card; message is set only on failure.
  virtual int32_t CreateKeys(std::u16string_view folder, std::u16string_view key_card,
                             std::u16string_view passphrase, int32_t bits, std::u16string* message);
  // The public card of the last successful CreateKeys, or nullopt.
  virtual int32_t get_PublicCard(std::optional<std::u16string>* card);

  // The start of every operation that takes the signer lock (Reset, EditKeys,
  // ChangeUser, GetStatement, SignMessage, SignFile, CreateKeys): a
  // non-blocking try. When another thread holds the lock it shows "Library
  // already in use" and returns nullopt: the operation returns at once. A
  // velixcom signer takes no lock and always proceeds.
  std::optional<SignerLockHold> EnterOperation();
  // SignMessage's start: Error becomes 0, then EnterOperation; a refusal sets
  // Error to 100.
  std::optional<SignerLockHold> EnterSignMessage();

  // Sets Error to kErrorUnrepresentableText and says why in a message box with
  // caption string caption_id; returns the status of the refused operation.
  int32_t RefuseUnrepresentableText(int caption_id);

  SignerFlavour flavour() const { return flavour_; }
  int32_t Customer() const { return customer_; }
  int32_t Operator() const { return operator_; }
  int32_t Error() const { return error_; }
  void set_Error(int32_t error) { error_ = error; }
  // The Session field (ANSI, NUL-terminated): the object's, or velixcom's
  // process-wide one.
  char* session_field() { return session_; }
  // The same Session as it was given, for headers that must not lose a character.
  const std::u16string& session_text() const { return *session_text_; }

 private:
  // SignMessage's work: the document in the bytes that were signed, and their
  // code page; empty after any failure (the user has been told).
  std::string SignedDocument(std::u16string_view message, const std::function<void()>& message_done,
                             unsigned* code_page);

  SignerFlavour flavour_;
  int32_t customer_ = 0;
  int32_t operator_ = 0;
  int32_t error_ = kErrorNone;
  char own_session_[kSignerTextSize] = {};
  char* session_;
  std::u16string own_session_text_;
  std::u16string* session_text_;
  std::optional<std::u16string> public_card_;  // set by a successful CreateKeys
  bool header_text_refused_ = false;  // the last Session given was refused
};
