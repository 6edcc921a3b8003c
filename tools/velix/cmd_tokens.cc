// velix tokens: the token engines and the management of a token's keys and
// data objects.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <cstring>
#include <map>

#include "core/armor.h"
#include "core/core.h"
#include "core/document.h"
#include "core/engine.h"
#include "core/key_packets.h"
#include "core/keycert.h"
#include "tools/velix/exit_codes.h"
#include "tools/velix/key_files.h"
#include "tools/velix/report.h"
#include "ui/sign_dlg.h"

namespace {

struct TokenArgs {
  std::string engine = "pkcs11";
  std::string module;
  int token = 0;
};

const std::map<std::string, int16_t> kTokenEngines = {
    {"pkcs11", ENGINE_PKCS11}, {"pkcs11-ext", ENGINE_PKCS11_EXT}, {"pkcs11-id", ENGINE_PKCS11_ID}};

constexpr int kMaxKeys = 64;

// The chosen engine, started, with the module loaded when one is named.
int16_t prepare_engine(const TokenArgs& args) {
  core_init();
  const int16_t engine = kTokenEngines.at(args.engine);
  if (!args.module.empty() && core_ctrl(engine, CTRL_LOAD_LIBRARY, args.module.c_str()) != 0)
    throw CommandFailure{kExitNotFound, args.module + ": cannot be loaded"};
  const int count = core_ctrl(engine, CTRL_TOKEN_COUNT);
  if (count < 0) throw CommandFailure{kExitNotFound, args.engine + ": no PKCS#11 module loaded (use --module PATH)"};
  if (count == 0) throw CommandFailure{kExitNotFound, args.engine + ": no token present"};
  if (args.token < 0 || args.token >= count)
    throw CommandFailure{kExitNotFound, "no token " + std::to_string(args.token) + " (" + std::to_string(count) +
                                            " present)"};
  core_ctrl(engine, CTRL_SELECT_TOKEN, args.token);
  return engine;
}

int16_t prepare_with_pin(const TokenArgs& args, const GlobalOptions& options) {
  const int16_t engine = prepare_engine(args);
  std::string pin = read_secret(options, "Token PIN: ");
  const int set = core_ctrl(engine, CTRL_SET_PIN, pin.c_str());
  std::fill(pin.begin(), pin.end(), '\0');
  if (set != 0) fail_with_core_code(set, "PIN");
  return engine;
}

// PKCS#11 token flags (CKF_*) that say how a token is used.
constexpr int kLoginRequired = 0x00000004;
constexpr int kUserPinInitialized = 0x00000008;
constexpr int kUserPinToBeChanged = 0x00080000;

// Each slot with a token in it, initialised or not, as the token describes itself.
ReportList tokens_of(int16_t engine) {
  ReportList tokens;
  const int count = core_ctrl(engine, CTRL_TOKEN_COUNT);
  for (int i = 0; i < count; ++i) {
    Report token;
    token.add("index", static_cast<int64_t>(i));
    TokenInfo info{};
    if (core_ctrl(engine, CTRL_TOKEN_INFO, i, &info) != 0) {
      tokens.push_back(std::move(token.add("readable", false)));
      continue;
    }
    const auto has = [&info](int flag) { return (info.flags & flag) != 0; };
    token.add("label", info.label)
        .add("manufacturer", info.manufacturer)
        .add("model", info.model)
        .add("serial", info.serial)
        .add("initialized", has(TOKEN_INITIALIZED))
        .add("login_required", has(kLoginRequired))
        .add("pin_pad", has(TOKEN_PIN_PAD))
        .add("user_pin_initialized", has(kUserPinInitialized))
        .add("pin_count_low", has(TOKEN_PIN_COUNT_LOW))
        .add("pin_final_try", has(TOKEN_PIN_FINAL_TRY))
        .add("pin_locked", has(TOKEN_PIN_LOCKED))
        .add("pin_to_be_changed", has(kUserPinToBeChanged))
        .add("write_protected", has(TOKEN_WRITE_PROTECTED));
    // The name the authorization dialog lists it under; none when it is not offered there.
    const std::string listed = ui::CSignDlg::ListedTokenName(engine, i);
    if (!listed.empty()) token.add("listed_as", listed);
    tokens.push_back(std::move(token));
  }
  return tokens;
}

void list(const TokenArgs& args, const GlobalOptions& options) {
  core_init();
  ReportList engines;
  for (const auto& [name, engine] : kTokenEngines) {
    if (!args.module.empty() && name == args.engine) core_ctrl(engine, CTRL_LOAD_LIBRARY, args.module.c_str());
    Report entry;
    entry.add("engine", name);
    const bool loaded = core_ctrl(engine, CTRL_TOKEN_COUNT) >= 0;
    entry.add("module_loaded", loaded);
    entry.add("tokens", loaded ? tokens_of(engine) : ReportList{});
    engines.push_back(std::move(entry));
  }
  Report report;
  report.add("engines", std::move(engines));
  print_report(report, options.json);
}

ReportList keys_of(int16_t engine, int command) {
  KeyHandle keys[kMaxKeys] = {};
  const int count = core_ctrl(engine, command, keys, kMaxKeys);
  if (count < 0) fail_with_core_code(count, "listing keys");
  ReportList list;
  for (int i = 0; i < count; ++i) {
    Report key;
    key.add("serial", static_cast<int64_t>(keys[i].serial)).add("user_id", keys[i].user_id);
    list.push_back(std::move(key));
  }
  return list;
}

void keys(const TokenArgs& args, const GlobalOptions& options) {
  const int16_t engine = prepare_with_pin(args, options);
  Report report;
  report.add("secret_keys", keys_of(engine, CTRL_LIST_SECRET_KEYS));
  report.add("public_keys", keys_of(engine, CTRL_LIST_PUBLIC_KEYS));
  print_report(report, options.json);
}

void generate(const TokenArgs& args, const std::string& card_path, int bits, const std::string& out,
              const GlobalOptions& options) {
  const std::string card = read_input_file(card_path);
  const int16_t engine = prepare_with_pin(args, options);
  KeyHandle secret{}, public_key{};
  const int made = core_generate_keys(engine, card.c_str(), static_cast<int>(card.size()), &secret, &public_key, bits);
  if (made != 0) fail_with_core_code(made, "key generation");
  Report report;
  report.add("serial", static_cast<int64_t>(secret.serial)).add("user_id", secret.user_id);
  report.add("bits", static_cast<int64_t>(bits));
  core_close_key(&public_key);
  KeyHandle opened{};
  if (!out.empty()) {
    const int open = core_open_secret_key_by_serial(engine, secret.serial, &opened);
    if (open != 0) fail_with_core_code(open, "opening the new key");
    const std::string card_text = public_card_of(&opened);
    core_close_key(&opened);
    write_output_file(out, card_text, false);
    report.add("card", out);
  }
  core_close_key(&secret);
  print_report(report, options.json);
}

// The public key certificate of the first card in a file.
KeyCertRecord read_public_card(const std::string& path) {
  const std::string text = read_input_file(path);
  DocumentRecord doc{};
  if (read_document(text.data(), static_cast<int>(text.size()), &doc) <= 0 || std::string(doc.type) != "NS")
    throw CommandFailure{kExitBadInput, path + ": not a public key card"};
  std::vector<uint8_t> packets(static_cast<size_t>(doc.data_length) + 1);
  const int decoded = armor_decode(doc.data, doc.data_length, packets.data(), static_cast<int>(packets.size()));
  KeyCertRecord cert{};
  if (decoded <= 0 || read_packets(packets.data(), decoded, &cert, nullptr) != 0 || cert.packet_type != 6)
    throw CommandFailure{kExitBadInput, path + ": the card's key cannot be read"};
  std::memcpy(cert.user_id, doc.name1, sizeof cert.user_id);
  cert.user_id[sizeof cert.user_id - 1] = '\0';
  return cert;
}

}  // namespace

void add_token_commands(CLI::App& app, GlobalOptions& options) {
  auto args = std::make_shared<TokenArgs>();
  CLI::App* tokens = app.add_subcommand("tokens", "PKCS#11 token engines and token management");
  tokens->require_subcommand(1);
  tokens->add_option("--engine", args->engine, "Token engine")
      ->check(CLI::IsMember({"pkcs11", "pkcs11-ext", "pkcs11-id"}))
      ->capture_default_str();
  tokens->add_option("--module", args->module, "PKCS#11 module to load into the engine")->option_text("PATH");
  tokens->add_option("--token", args->token, "Token index")->capture_default_str();
  for (CLI::Option* option : tokens->get_options()) option->configurable(false);

  tokens->add_subcommand("list", "Engines, their modules and tokens")->callback([args, &options] {
    list(*args, options);
  });
  tokens->add_subcommand("keys", "Keys on the token (asks the PIN)")->callback([args, &options] {
    keys(*args, options);
  });

  auto card = std::make_shared<std::string>();
  auto bits = std::make_shared<int>(1024);
  auto out = std::make_shared<std::string>();
  CLI::App* gen = tokens->add_subcommand("generate", "Generate a key pair on the token from a key card");
  gen->add_option("--card", *card, "The key card")->required()->option_text("FILE");
  gen->add_option("--bits", *bits, "Modulus size")->check(CLI::IsMember({1024, 2048}))->capture_default_str();
  gen->add_option("--out", *out, "Also write the new key's public key card to this new file")->option_text("FILE");
  gen->callback([args, card, bits, out, &options] { generate(*args, *card, *bits, *out, options); });

  auto public_card = std::make_shared<std::string>();
  CLI::App* import = tokens->add_subcommand("import", "Store the public key of a public key card on the token");
  import->add_option("CARD", *public_card, "Public key card file")->required();
  import->callback([args, public_card, &options] {
    KeyCertRecord cert = read_public_card(*public_card);
    const int16_t engine = prepare_with_pin(*args, options);
    const int result = g_engine_table[engine].import_public_key(&cert);
    if (result != 0) fail_with_core_code(result, "import");
    Report report;
    report.add("imported", static_cast<int64_t>(cert.serial)).add("user_id", cert.user_id);
    print_report(report, options.json);
  });

  auto serial = std::make_shared<uint32_t>(0);
  CLI::App* del = tokens->add_subcommand("delete", "Delete the keys with a serial from the token");
  del->add_option("SERIAL", *serial, "Key serial")->required();
  del->callback([args, serial, &options] {
    const int16_t engine = prepare_with_pin(*args, options);
    const int result = core_ctrl(engine, CTRL_DELETE_KEY, *serial);
    if (result != 0) fail_with_core_code(result, "delete");
    Report report;
    report.add("deleted", static_cast<int64_t>(*serial));
    print_report(report, options.json);
  });

  tokens->add_subcommand("init", "Initialise the token (pkcs11-ext engine only; asks the PIN)")
      ->callback([args, &options] {
        const int16_t engine = prepare_with_pin(*args, options);
        const int result = core_ctrl(engine, CTRL_INIT_TOKEN, args->token);
        if (result != 0) fail_with_core_code(result, "init");
        Report report;
        report.add("initialised", static_cast<int64_t>(args->token));
        print_report(report, options.json);
      });

  auto action = std::make_shared<std::string>();
  auto label = std::make_shared<std::string>();
  auto file = std::make_shared<std::string>();
  CLI::App* data = tokens->add_subcommand("data", "Read, write or delete a data object (asks the PIN)");
  data->add_option("ACTION", *action, "read, write or delete")
      ->required()
      ->check(CLI::IsMember({"read", "write", "delete"}));
  data->add_option("LABEL", *label, "The data object's label")->required();
  data->add_option("--in", *file, "write: the file with the value (else standard input)")->option_text("FILE");
  data->callback([args, action, label, file, &options] {
    std::string value;
    if (*action == "write") {
      if (file->empty()) {
        char chunk[4096];
        size_t n;
        while ((n = std::fread(chunk, 1, sizeof chunk, stdin)) > 0) value.append(chunk, n);
      } else {
        value = read_input_file(*file);
      }
    }
    const int16_t engine = prepare_with_pin(*args, options);
    int result = 0;
    Report report;
    report.add("label", *label);
    if (*action == "read") {
      std::vector<uint8_t> out(64 * 1024);
      result = core_ctrl(engine, CTRL_READ_DATA, label->c_str(), out.data(), static_cast<int>(out.size()));
      if (result == CORE_E_FILE_NOT_FOUND) throw CommandFailure{kExitNotFound, *label + ": no such data object"};
      if (result < 0) fail_with_core_code(result, "read");
      if (!options.json) {
        std::fwrite(out.data(), 1, static_cast<size_t>(result), stdout);
        return;
      }
      report.add("value", std::string(out.begin(), out.begin() + result));
    } else if (*action == "write") {
      result = core_ctrl(engine, CTRL_WRITE_DATA, label->c_str(), reinterpret_cast<const uint8_t*>(value.data()),
                         static_cast<int>(value.size()));
      if (result != 0) fail_with_core_code(result, "write");
      report.add("written", static_cast<int64_t>(value.size()));
    } else {
      result = core_ctrl(engine, CTRL_DELETE_DATA, label->c_str());
      if (result == CORE_E_FILE_NOT_FOUND) throw CommandFailure{kExitNotFound, *label + ": no such data object"};
      if (result != 0) fail_with_core_code(result, "delete");
      report.add("deleted", true);
    }
    print_report(report, options.json);
  });
}
