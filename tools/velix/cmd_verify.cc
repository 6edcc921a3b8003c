// velix verify: signed documents and detached signatures, checked with
// libvelixverify against a card collection.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>

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
};

class Cards {
 public:
  explicit Cards(const std::string& path) {
    const std::string text = read_input_file(path);
    const velix_status status = velix_cards_load(text.data(), text.size(), &cards_);
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
    case VELIX_E_CARDS:
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
};

// The signature part of a report, and the AUTH line when a prefix is given.
Outcome check_document(const velix_cards* cards, const std::string& document, const uint8_t* prefix) {
  Outcome outcome;
  velix_signer_info info{};
  outcome.status = velix_verify_document(cards, document.data(), document.size(), &info);
  velix_status auth = VELIX_OK;
  velix_key_type key_type = VELIX_KEY_FILE;
  if (outcome.status == VELIX_OK && prefix != nullptr) {
    auth = velix_check_auth_line(prefix, info.text, info.text_length, info.serial, &key_type);
    outcome.status = auth;
  }
  Report& r = outcome.report;
  r.add("result", outcome.status == VELIX_OK ? "good" : velix_status_text(outcome.status));
  if (info.serial != 0) {
    r.add("serial", static_cast<int64_t>(info.serial));
    r.add("user_id", info.user_id);
    r.add("signed_at", utc_time(info.signed_at));
  }
  if (info.modulus_bits != 0) r.add("key_bits", static_cast<int64_t>(info.modulus_bits));
  outcome.summary = outcome.status == VELIX_OK ? "good" : std::string("FAILED ") + velix_status_text(outcome.status);
  if (info.serial != 0) outcome.summary += " (serial " + std::to_string(info.serial) + ", " + info.user_id + ")";
  if (prefix != nullptr && auth == VELIX_OK && outcome.status == VELIX_OK)
    r.add("auth_line", key_type == VELIX_KEY_TOKEN ? "good (token key)" : "good (key file)");
  else if (prefix != nullptr && auth != VELIX_OK)
    r.add("auth_line", velix_status_text(auth));
  return outcome;
}

Outcome check_detached(const velix_cards* cards, const std::string& signature_path, const std::string& data_path) {
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
  if (info.serial != 0) {
    r.add("serial", static_cast<int64_t>(info.serial));
    r.add("user_id", info.user_id);
    r.add("signed_at", utc_time(info.signed_at));
  }
  return outcome;
}

// One line per document, in name order; the worst exit code wins.
int run_batch(const velix_cards* cards, const std::string& dir, const uint8_t* prefix, bool json) {
  std::vector<std::filesystem::path> files;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(dir, error))
    if (entry.is_regular_file()) files.push_back(entry.path());
  if (error) throw CommandFailure{kExitNotFound, dir + ": " + error.message()};
  std::sort(files.begin(), files.end());
  int exit_code = kExitOk;
  int good = 0;
  std::string out;
  for (const auto& file : files) {
    std::string document;
    Outcome outcome;
    try {
      document = read_input_file(file.string());
      outcome = check_document(cards, document, prefix);
    } catch (const CommandFailure& failure) {
      outcome.status = VELIX_E_ARGS;
      outcome.report.add("result", failure.message);
      outcome.summary = "FAILED " + failure.message;
    }
    good += outcome.status == VELIX_OK;
    if (outcome.status != VELIX_OK) exit_code = kExitVerifyFailed;
    if (json) {
      out += "{\"file\":" + json_string(file.filename().string()) + "," + outcome.report.json().substr(1) + "\n";
    } else {
      out += file.filename().string() + ": " + outcome.summary + "\n";
    }
    if (out.size() > 1 << 16) {
      std::fwrite(out.data(), 1, out.size(), stdout);
      out.clear();
    }
  }
  std::fwrite(out.data(), 1, out.size(), stdout);
  if (!json) std::printf("%d of %zu documents good\n", good, files.size());
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
  if (batch ? !args.document.empty() || !args.detached.empty() : args.document.empty())
    throw CommandFailure{kExitBadInput, "give one DOCUMENT, --detached SIGFILE FILE or --batch DIR"};
  Cards cards(args.cards);
  if (batch) return run_batch(cards.get(), args.batch, prefix, options.json);

  Outcome outcome = !args.detached.empty()
                        ? check_detached(cards.get(), args.detached, args.document)
                        : check_document(cards.get(), read_input_file(args.document), prefix);
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
  verify->callback([args, &options] { options.exit_code = run(*args, options); });
}
