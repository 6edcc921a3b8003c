// velix sign message | file: the signer's SignMessage and SignFile, with the
// key of the key list and the passphrase from the terminal (or the signer's
// own dialog), so the documents are the ones velixhost makes.
#include <unistd.h>
#include <CLI/CLI.hpp>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>

#include "core/core.h"
#include "core/crypto.h"
#include "platform/codepage.h"
#include "platform/file_ops.h"
#include "settings/config.h"
#include "signer/authorize.h"
#include "signer/crypto_initializer.h"
#include "signer/signature_journal.h"
#include "signer/signed_text.h"
#include "signer/signer.h"
#include "signer/signer_state.h"
#include "tools/velix/exit_codes.h"
#include "tools/velix/key_list_names.h"
#include "tools/velix/options.h"
#include "tools/velix/report.h"
#include "tools/velix/signer_dialogs.h"
#include "ui/load_string.h"
#include "ui/message_box.h"

namespace {

struct SignArguments {
  std::string text;  // sign message: the message, or "-" (or nothing) for standard input
  std::string file;  // sign file
  std::string key;
  std::string out;
  std::string language;
  std::string session;
  bool dialog = false;
  bool utf8 = false;
  bool customer = false;
  bool operator_mode = false;
};

// Keeps what the signer's message boxes say, for the command's error, and
// passes each box on to the backend that was there (Qt's with --dialog; none
// otherwise, so nothing waits for a click).
class MessageBoxLog : public ui::MessageBoxBackend {
 public:
  MessageBoxLog() : previous_(ui::GetMessageBoxBackend()) { ui::SetMessageBoxBackend(this); }
  ~MessageBoxLog() override { ui::SetMessageBoxBackend(previous_); }
  MessageBoxLog(const MessageBoxLog&) = delete;
  MessageBoxLog& operator=(const MessageBoxLog&) = delete;

  int ShowMessageBox(const ui::MessageBoxRequest& request) override {
    if (!said_.empty()) said_ += "; ";
    said_.append(request.caption).append(request.caption.empty() ? "" : ": ").append(request.text);
    return previous_ != nullptr ? previous_->ShowMessageBox(request) : ui::kIdOk;
  }
  const std::string& said() const { return said_; }
  void clear() { said_.clear(); }

 private:
  ui::MessageBoxBackend* previous_;
  std::string said_;
};

std::string read_standard_input() {
  std::string text;
  char buffer[65536];
  for (;;) {
    const ssize_t got = read(STDIN_FILENO, buffer, sizeof buffer);
    if (got > 0)
      text.append(buffer, static_cast<size_t>(got));
    else if (got == 0)
      return text;
    else if (errno != EINTR)
      throw CommandFailure{kExitBadInput, std::string("cannot read standard input: ") + std::strerror(errno)};
  }
}

// A text typed or piped in, as UTF-16; bytes that are not UTF-8 are refused
// rather than signed as replacement characters.
std::u16string utf8_text(const std::string& bytes, const char* what) {
  std::u16string text = platform::utf8_to_utf16(bytes);
  if (platform::utf16_to_utf8(text) != bytes)
    throw CommandFailure{kExitBadInput, std::string(what) + " is not valid UTF-8"};
  return text;
}

// Tries of a file key's passphrase typed at the terminal.
constexpr int kPassphraseTries = 3;
// The signer's Error when a key file's passphrase is wrong.
constexpr int32_t kErrorWrongPassphrase = 1000 - CORE_E_PASSPHRASE;

// The exit code of a failed operation from the signer's Error.
int exit_code_of(int32_t error) {
  if (error == kErrorCancelled) return kExitCancelled;
  const int core_code = 1000 - error;  // Error 1000 - c for core code c
  if (error > 1000 && (core_code == CORE_E_FILE_NOT_FOUND || core_code == CORE_E_NO_PUBLIC_KEY)) return kExitNotFound;
  return kExitBadInput;
}

[[noreturn]] void fail(const CSigner& signer, const MessageBoxLog& boxes, const std::string& otherwise) {
  std::string why = !boxes.said().empty()               ? boxes.said()
                    : signer.Error() == kErrorCancelled ? std::string("cancelled in the dialog")
                                                        : otherwise;
  if (signer.Error() != kErrorNone) why += " (signer error " + std::to_string(signer.Error()) + ")";
  throw CommandFailure{exit_code_of(signer.Error()), why};
}

// Every signature velix makes, or was asked for and did not, is kept in the
// signature journal beside velixhost's.
void journal(const CSigner& signer, const char* action, std::string digest, bool signed_something) {
  JournalEntry entry;
  entry.action = action;
  entry.digest = std::move(digest);
  entry.serial = signed_something ? CCryptoInitializer::Instance().key().serial : 0;
  entry.outcome = signed_something                          ? "ok"
                  : signer.Error() == kErrorCancelled       ? "cancelled"
                                                            : "failed, signer error " + std::to_string(signer.Error());
  std::string why;
  if (!RecordSignatureRequest(entry, &why)) std::fprintf(stderr, "velix: no journal entry: %s\n", why.c_str());
}

// The key list entry to sign with: the one named, or the only one there is.
const KeyListEntry& chosen_key(const std::string& name) {
  const KeyList& keys = Config::Instance().keyList;
  if (!name.empty()) {
    const KeyListEntry* entry = find_key(keys, key_list_name(name));
    if (entry == nullptr)
      throw CommandFailure{kExitNotFound, "no key named " + name + " in the key list (velix keys list)"};
    return *entry;
  }
  size_t count = 0;
  for (const KeyListEntry* entry = keys.head(); entry != nullptr; entry = entry->next) ++count;
  if (count == 0)
    throw CommandFailure{kExitNotFound,
                         "the key list is empty: make a key with velix keys create, or add one with velix keys add"};
  if (count > 1)
    throw CommandFailure{kExitBadInput, "the key list has " + std::to_string(count) +
                                            " keys: choose one with --key NAME (velix keys list shows them)"};
  return *keys.head();
}

// Opens the key for the signer: through its dialog, or the key list's file
// with the passphrase asked here.
void authorize(CSigner& signer, const SignArguments& args, const GlobalOptions& options, MessageBoxLog& boxes,
               Report& report) {
  if (args.dialog) return;  // the operation shows the dialog itself
  const KeyListEntry& key = chosen_key(args.key);
  if (!platform::file_exists(key.path))
    throw CommandFailure{kExitNotFound,
                         "the key file of " + platform::ansi_to_utf8(key.name) + " is missing: " + key.path};
  const std::string prompt = "Passphrase for " + platform::ansi_to_utf8(key.name) + ": ";
  // A person at the terminal may mistype; a script's descriptor gives one line.
  const int tries = options.passphrase_fd >= 0 ? 1 : kPassphraseTries;
  for (int left = tries - 1;; --left) {
    std::string passphrase = read_key_passphrase(options, prompt.c_str());
    const bool opened = AuthorizeKeyFile(signer, key.path, passphrase);
    secure_wipe(passphrase.data(), passphrase.size());
    if (opened) break;
    if (left == 0 || signer.Error() != kErrorWrongPassphrase) fail(signer, boxes, "the key cannot be opened");
    std::fprintf(stderr, "velix: wrong passphrase, %d %s left\n", left, left == 1 ? "try" : "tries");
    boxes.clear();
  }
  report.add("key", platform::ansi_to_utf8(key.name));
}

// The output file must be new: it is checked before anyone is asked for a
// passphrase, and created exclusively once there is something to write.
void check_output_is_new(const std::string& out) {
  std::error_code error;
  if (!out.empty() && std::filesystem::symlink_status(out, error).type() != std::filesystem::file_type::not_found)
    throw CommandFailure{kExitBadInput, out + ": already exists, not replaced"};
}

void check_usage(const SignArguments& args, const GlobalOptions& options) {
  if (args.dialog && options.passphrase_fd >= 0)
    throw CommandFailure{kExitBadInput, "--dialog asks for the passphrase itself: leave out --passphrase-fd"};
  check_output_is_new(args.out);
}

void apply_settings(CSigner& signer, const SignArguments& args) {
  signer.put_useUtf8(args.utf8 ? 1 : 0);
  signer.put_Customer(args.customer ? 1 : 0);
  signer.put_Operator(args.operator_mode ? 1 : 0);
  if (!args.language.empty()) signer.put_Language(platform::utf8_to_utf16(args.language));
  if (!args.session.empty()) {
    signer.put_Session(utf8_text(args.session, "the session"));
    if (signer.Error() == kErrorHeaderText)
      throw CommandFailure{kExitBadInput, "the session holds a line break or a control character"};
    std::u16string stored;
    signer.get_Session(&stored);
    if (stored.empty())
      throw CommandFailure{kExitBadInput, "the session must fit in " + std::to_string(kSignerTextSize - 2) +
                                              " bytes of the ANSI code page"};
  }
}

// Writes the signed bytes and says what was signed.
void deliver(const std::string& bytes, const SignArguments& args, const GlobalOptions& options, Report& report,
             const char* json_name) {
  const KeyHandle& key = CCryptoInitializer::Instance().key();
  report.add("serial", static_cast<int64_t>(key.serial))
      .add("user_id", platform::ansi_to_utf8(std::string(key.user_id, strnlen(key.user_id, sizeof key.user_id))));
  if (!args.out.empty()) {
    write_output_file(args.out, bytes, false);
    report.add("out", args.out);
    print_report(report, options.json);
  } else if (options.json) {
    report.add(json_name, bytes);
    print_report(report, true);
  } else {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
    // The document ends without a line break; a prompt after it would start
    // on its last line. Pipes and files get the signed bytes alone.
    if (isatty(STDOUT_FILENO) != 0) std::fputc('\n', stdout);
  }
}

// The key is closed, which wipes it, as soon as the command is done with it
// (output written or a failure on the way out), not at the process's end.
struct KeyClosedAtEnd {
  KeyClosedAtEnd() = default;
  KeyClosedAtEnd(const KeyClosedAtEnd&) = delete;
  KeyClosedAtEnd& operator=(const KeyClosedAtEnd&) = delete;
  ~KeyClosedAtEnd() {
    std::fflush(stdout);
    CCryptoInitializer::CloseKeyOfProcess();
  }
};

const char* code_page_name(unsigned code_page) {
  if (code_page == platform::kCodePageUtf8) return "utf-8";
  return code_page == platform::kCodePageWestern ? "windows-1252" : "windows-1251";
}

void sign_message(const SignArguments& args, const GlobalOptions& options) {
  const bool from_input = args.text.empty() || args.text == "-";
  if (from_input && options.passphrase_fd == STDIN_FILENO)
    throw CommandFailure{kExitBadInput, "the message and the passphrase cannot both come from standard input"};
  check_usage(args, options);
  const std::u16string message = utf8_text(from_input ? read_standard_input() : args.text, "the message");

  std::optional<SignerDialogs> dialogs;
  if (args.dialog) dialogs.emplace();
  ui::InstallResourceStrings();
  MessageBoxLog boxes;
  CSigner signer;
  const KeyClosedAtEnd closer;
  apply_settings(signer, args);
  Report report;
  report.add("signed", "message");
  authorize(signer, args, options, boxes, report);

  std::u16string document;
  signer.SignMessage(message, &document);
  journal(signer, "velix-sign-message", TextDigest(platform::utf16_to_utf8(message)), !document.empty());
  if (document.empty()) fail(signer, boxes, "nothing was signed");
  // The document is written in the bytes that were signed, or it would not check.
  const unsigned code_page = SigningCodePage();
  const std::optional<std::string> bytes = platform::utf16_to_code_page_exact(document, code_page);
  if (!bytes) throw CommandFailure{kExitBadInput, "the signed document cannot be written in its code page"};
  report.add("encoding", code_page_name(code_page));
  deliver(*bytes, args, options, report, "document");
}

void sign_file(const SignArguments& args, const GlobalOptions& options) {
  std::error_code error;
  const auto status = std::filesystem::status(args.file, error);
  if (status.type() == std::filesystem::file_type::not_found)
    throw CommandFailure{kExitNotFound, args.file + ": no such file"};
  if (status.type() != std::filesystem::file_type::regular)
    throw CommandFailure{kExitBadInput, args.file + ": not a regular file"};
  if (std::filesystem::file_size(args.file, error) == 0)
    throw CommandFailure{kExitBadInput, args.file + ": empty, nothing to sign"};
  check_usage(args, options);
  const std::u16string path = utf8_text(args.file, "the file name");

  std::optional<SignerDialogs> dialogs;
  if (args.dialog) dialogs.emplace();
  ui::InstallResourceStrings();
  MessageBoxLog boxes;
  CSigner signer;
  const KeyClosedAtEnd closer;
  if (!args.language.empty()) signer.put_Language(platform::utf8_to_utf16(args.language));
  Report report;
  report.add("signed", "file").add("file", args.file);
  authorize(signer, args, options, boxes, report);

  std::u16string signature;
  signer.set_Error(kErrorNone);  // SignFile sets it only when no key could be had
  signer.SignFile(path, &signature);
  journal(signer, "velix-sign-file", FileDigest(args.file), !signature.empty());
  if (signature.empty()) fail(signer, boxes, "nothing was signed");
  deliver(platform::utf16_to_utf8(signature), args, options, report, "signature");
}

// The options every leaf takes; declared on the leaves so that they may come
// after the subcommand's name, where people put them.
void add_key_options(CLI::App* command, SignArguments& args) {
  CLI::Option* key =
      command->add_option("--key", args.key, "The key list entry to sign with (needed when the list has more than one)")
          ->option_text("NAME");
  command
      ->add_flag("--dialog", args.dialog,
                 "Choose the key and type the passphrase in the signer's dialog (needs a display)")
      ->excludes(key);
  command->add_option("--out", args.out, "Write to this new file instead of standard output")->option_text("FILE");
  command->add_option("--language", args.language, "Language of headers and messages: en or ru")
      ->check(CLI::IsMember({"en", "ru"}))
      ->option_text("LANG");
}

}  // namespace

void add_sign_commands(CLI::App& app, GlobalOptions& options) {
  CLI::App* sign = app.add_subcommand("sign", "Sign a message or a file with a key of the key list");
  sign->require_subcommand(1);

  auto args = std::make_shared<SignArguments>();
  CLI::App* message = sign->add_subcommand("message", "Sign a message into a signed document, AUTH line included");
  message->add_option("TEXT", args->text, "The message; - or nothing reads it from standard input");
  add_key_options(message, *args);
  message->add_flag("--utf8", args->utf8, "Sign the text in UTF-8 (default: the ANSI code page)");
  message->add_flag("--customer", args->customer, "Start with the customer line (CUSTOMER: user ID)");
  message->add_flag("--operator", args->operator_mode, "Start with the session block (SESSION, PACKET NUMBER, ...)");
  message->add_option("--session", args->session, "The session named in the session block")->option_text("TEXT");
  message->callback([args, &options] { sign_message(*args, options); });

  CLI::App* file =
      sign->add_subcommand("file", "Sign a file's bytes into a detached signature (any size, read piece by piece)");
  file->add_option("FILE", args->file, "The file to sign")->required();
  add_key_options(file, *args);
  file->callback([args, &options] { sign_file(*args, options); });
}
