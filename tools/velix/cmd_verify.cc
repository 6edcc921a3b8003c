// velix verify: signed documents and detached signatures, checked with
// libvelixverify against a card collection.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

#include "core/base64.h"
#include "platform/codepage.h"
#include "tools/velix/display_text.h"
#include "tools/velix/exit_codes.h"
#include "tools/velix/options.h"
#include "tools/velix/report.h"
#include "verify/velixverify.h"

namespace {

struct VerifyArgs {
  std::string document;
  std::string detached;
  std::string batch;
  std::string cards;
  std::string auth_prefix;
  std::string text_out;
  bool strip_auth = false;
  bool lenient = false;
  bool cards_later_wins = false;
  unsigned user_id_code_page = platform::kCodePageCyrillic;
};

// How values are shown: JSON carries them as valid UTF-8, text lines with
// their control characters escaped.
struct Display {
  bool json;
  unsigned code_page;
  std::string shown(std::string_view bytes) const {
    const std::string utf8 = utf8_from_code_page(bytes, code_page);
    return json ? utf8 : escape_for_terminal(utf8);
  }
  std::string file_name(const std::string& name) const {
    return json ? utf8_from_code_page(name, platform::kCodePageUtf8) : escape_for_terminal(name);
  }
};

class Cards {
 public:
  Cards(const std::string& path, unsigned flags) {
    const std::string text = read_input_file(path);
    const velix_status status = velix_cards_load(text.data(), text.size(), flags, &cards_);
    if (status != VELIX_OK) throw CommandFailure{kExitBadInput, path + ": " + velix_status_text(status)};
  }
  ~Cards() { velix_cards_free(cards_); }
  Cards(const Cards&) = delete;
  Cards& operator=(const Cards&) = delete;
  const velix_cards* get() const { return cards_; }

 private:
  velix_cards* cards_ = nullptr;
};

// Which exit code a failed check gives.
int exit_code_of(velix_status status) {
  switch (status) {
    case VELIX_OK: return kExitOk;
    case VELIX_E_CARD_NOT_FOUND: return kExitNotFound;
    case VELIX_E_ARGS:
    case VELIX_E_NOMEM:
    case VELIX_E_PREFIX:
    case VELIX_E_TOO_LARGE: return kExitBadInput;
    default: return kExitVerifyFailed;
  }
}

std::string utc_time(uint32_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  tm parts{};
  gmtime_r(&t, &parts);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

struct Outcome {
  velix_status status = VELIX_OK;
  Report report;
  std::string summary;  // the one line of a batch
  std::string text;     // documents: the signed text (without the AUTH line when asked)
};

// Who signed: always once the signer's card was found, serial 0 included.
void add_signer(Report& r, const velix_signer_info& info, const Display& display) {
  if (info.modulus_bits == 0) {
    if (info.serial != 0) r.add("serial", static_cast<int64_t>(info.serial));
    return;
  }
  r.add("serial", static_cast<int64_t>(info.serial));
  r.add("user_id", display.shown(info.user_id));
  r.add("signed_at", utc_time(info.signed_at));
  r.add("key_bits", static_cast<int64_t>(info.modulus_bits));
}

std::string summary_of(velix_status status, const velix_signer_info& info, const Display& display) {
  std::string line = status == VELIX_OK ? "good" : std::string("FAILED ") + velix_status_text(status);
  if (info.modulus_bits != 0)
    line += " (serial " + std::to_string(info.serial) + ", " + display.shown(info.user_id) + ")";
  return line;
}

// The signature part of a report, the AUTH line when a prefix is given, and
// the signed text.
Outcome check_document(const velix_cards* cards, const std::string& document, const uint8_t* prefix,
                       const VerifyArgs& args, const Display& display) {
  Outcome outcome;
  velix_signer_info info{};
  outcome.status = velix_verify_document(cards, document.data(), document.size(),
                                         args.lenient ? VELIX_LENIENT : 0, &info);
  velix_status auth = VELIX_OK;
  velix_key_type key_type = VELIX_KEY_FILE;
  size_t auth_at = info.text_length;
  if (outcome.status == VELIX_OK && (prefix != nullptr || args.strip_auth)) {
    static const uint8_t kNoPrefix[10] = {};
    auth = velix_check_auth_line(prefix != nullptr ? prefix : kNoPrefix, info.text, info.text_length, info.serial,
                                 &key_type, &auth_at);
    // Without a prefix the line is only found, not checked.
    if (prefix == nullptr && auth == VELIX_E_BAD_AUTH_LINE) auth = VELIX_OK;
    outcome.status = auth;
  }
  Report& r = outcome.report;
  r.add("result", outcome.status == VELIX_OK ? "good" : velix_status_text(outcome.status));
  add_signer(r, info, display);
  if (prefix != nullptr && auth == VELIX_OK && outcome.status == VELIX_OK)
    r.add("auth_line", key_type == VELIX_KEY_TOKEN ? "good (token key)" : "good (key file)");
  else if (auth != VELIX_OK)
    r.add("auth_line", velix_status_text(auth));
  if (outcome.status == VELIX_OK) {
    outcome.text.assign(info.text, args.strip_auth ? auth_at : info.text_length);
    if (display.json) {
      // Signed as UTF-8 or in the ANSI code page: UTF-8 is kept, other bytes
      // are read in the user IDs' code page; the exact bytes ride beside.
      const std::u16string as_utf8 = platform::utf8_to_utf16(outcome.text);
      const bool is_utf8 = platform::utf16_to_utf8(as_utf8) == outcome.text;
      r.add("text", is_utf8 ? outcome.text : utf8_from_code_page(outcome.text, display.code_page));
      r.add("text_base64",
            base64_encode(reinterpret_cast<const uint8_t*>(outcome.text.data()), outcome.text.size()));
    }
  }
  outcome.summary = summary_of(outcome.status, info, display);
  return outcome;
}

Outcome check_detached(const velix_cards* cards, const std::string& signature_path, const std::string& data_path,
                       const Display& display) {
  const std::string signature = read_input_file(signature_path);
  velix_detached* check = nullptr;
  Outcome outcome;
  outcome.status = velix_detached_begin(signature.data(), signature.size(), &check);
  velix_signer_info info{};
  if (outcome.status == VELIX_OK) {
    // Streamed: files of any size.
    std::ifstream in(data_path, std::ios::binary);
    if (!in) {
      velix_detached_free(check);
      throw CommandFailure{std::filesystem::exists(data_path) ? kExitBadInput : kExitNotFound,
                           data_path + ": cannot be read"};
    }
    std::vector<char> chunk(1 << 20);
    while (in) {
      in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
      velix_detached_update(check, chunk.data(), static_cast<size_t>(in.gcount()));
    }
    if (in.bad()) {
      velix_detached_free(check);
      throw CommandFailure{kExitBadInput, data_path + ": read error"};
    }
    outcome.status = velix_detached_finish(check, cards, &info);
  }
  Report& r = outcome.report;
  r.add("result", outcome.status == VELIX_OK ? "good" : velix_status_text(outcome.status));
  add_signer(r, info, display);
  return outcome;
}

// One line per document, in name order; the worst exit code wins.
int run_batch(const velix_cards* cards, const VerifyArgs& args, const uint8_t* prefix, const Display& display) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(args.batch, error))
    if (entry.is_regular_file()) files.push_back(entry.path());
  if (error) throw CommandFailure{kExitNotFound, args.batch + ": " + error.message()};
  std::sort(files.begin(), files.end());
  int exit_code = kExitOk;
  int good = 0;
  std::string out;
  for (const auto& file : files) {
    Outcome outcome;
    try {
      outcome = check_document(cards, read_input_file(file.string()), prefix, args, display);
    } catch (const CommandFailure& failure) {
      outcome.status = VELIX_E_ARGS;
      outcome.report.add("result", display.file_name(failure.message));
      outcome.summary = "FAILED " + display.file_name(failure.message);
    }
    good += outcome.status == VELIX_OK;
    if (outcome.status != VELIX_OK) exit_code = kExitVerifyFailed;
    const std::string name = display.file_name(file.filename().string());
    if (display.json) {
      out += "{\"file\":" + json_string(name) + "," + outcome.report.json().substr(1) + "\n";
    } else {
      out += name + ": " + outcome.summary + "\n";
    }
    if (out.size() > 1 << 16) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (!display.json) std::printf("%d of %zu documents good\n", good, files.size());
  return exit_code;
}

int run(const VerifyArgs& args, const GlobalOptions& options) {
  uint8_t prefix_bytes[10];
  const uint8_t* prefix = nullptr;
  if (!args.auth_prefix.empty()) {
    if (velix_parse_prefix(args.auth_prefix.c_str(), prefix_bytes) != VELIX_OK)
      throw CommandFailure{kExitBadInput, "--auth-prefix: 20 hex digits expected"};
    prefix = prefix_bytes;
  }
  const bool batch = !args.batch.empty();
  const bool detached = !args.detached.empty();
  if (batch ? !args.document.empty() || detached : args.document.empty())
    throw CommandFailure{kExitBadInput, "give one DOCUMENT, --detached SIGFILE FILE or --batch DIR"};
  if ((batch || detached) && (!args.text_out.empty() || args.strip_auth))
    throw CommandFailure{kExitBadInput, "--text-out and --strip-auth take one signed DOCUMENT"};
  const Display display{options.json, args.user_id_code_page};
  Cards cards(args.cards, args.cards_later_wins ? VELIX_CARDS_LATER_WINS : 0);
  if (batch) return run_batch(cards.get(), args, prefix, display);

  Outcome outcome = detached ? check_detached(cards.get(), args.detached, args.document, display)
                             : check_document(cards.get(), read_input_file(args.document), prefix, args, display);
  // Only a text that checked out is written, and never over an existing file.
  if (!args.text_out.empty() && outcome.status == VELIX_OK) write_output_file(args.text_out, outcome.text, false);
  print_report(outcome.report, options.json);
  return exit_code_of(outcome.status);
}

}  // namespace

void add_verify_command(CLI::App& app, GlobalOptions& options) {
  auto args = std::make_shared<VerifyArgs>();
  CLI::App* verify = app.add_subcommand("verify", "Check a signed document or a detached signature");
  verify->add_option("document", args->document, "The signed document (with --detached: the signed file)");
  verify->add_option("--detached", args->detached, "The detached signature of the file")->option_text("SIGFILE");
  verify->add_option("--batch", args->batch, "Check every document in a folder, one line each")
      ->option_text("DIR");
  verify->add_option("--cards", args->cards, "The card collection (pubkeys.key) with the signers' cards")
      ->required()
      ->option_text("FILE");
  verify->add_option("--auth-prefix", args->auth_prefix, "Also check the AUTH line with this digest prefix")
      ->option_text("HEX");
  verify->add_option("--text-out", args->text_out, "Write exactly the signed text to a new file")
      ->option_text("FILE");
  verify->add_flag("--strip-auth", args->strip_auth, "Leave the AUTH line out of the text written and shown");
  verify->add_flag("--lenient", args->lenient,
                   "Accept documents in the looser forms older readers took (text after the document included)");
  verify->add_flag("--cards-later-wins", args->cards_later_wins,
                   "Let a later card replace an earlier one of the same serial instead of refusing the collection");
  verify->add_option("--user-id-code-page", args->user_id_code_page,
                     "Code page of user IDs and non-UTF-8 texts: 1251 (default), 1252 or 65001 (UTF-8)")
      ->check(CLI::IsMember({platform::kCodePageCyrillic, platform::kCodePageWestern, platform::kCodePageUtf8}))
      ->option_text("CP");
  verify->callback([args, &options] { options.exit_code = run(*args, options); });
}
