// velix card: export the public key card of a key file; show public key cards
// and key cards.
#include <CLI/CLI.hpp>

#include <cstdio>

#include "core/armor.h"
#include "core/document.h"
#include "core/key_packets.h"
#include "core/keycard.h"
#include "core/keycert.h"
#include "tools/velix/exit_codes.h"
#include "tools/velix/key_files.h"
#include "tools/velix/report.h"

namespace {

Report describe_public_card(const DocumentRecord& doc) {
  Report card;
  card.add("serial", static_cast<int64_t>(doc.serial1));
  card.add("user_id", doc.name1);
  std::vector<uint8_t> packets(static_cast<size_t>(doc.data_length) + 1);
  const int decoded = armor_decode(doc.data, doc.data_length, packets.data(), static_cast<int>(packets.size()));
  KeyCertRecord cert{};
  if (decoded > 0 && read_packets(packets.data(), decoded, &cert, nullptr) == 0 && cert.packet_type == 6) {
    card.add("key_bits", static_cast<int64_t>(cert.modulus_bits));
    card.add("created", static_cast<int64_t>(cert.creation_time));
  } else {
    card.add("key", "unreadable");
  }
  if (doc.signature_length > 0)
    card.add("certified_by", std::string(doc.name2) + " (serial " + std::to_string(doc.serial2) + ")");
  else
    card.add("certified_by", "nobody");
  return card;
}

int show(const std::string& path, const GlobalOptions& options) {
  const std::string text = read_input_file(path);
  ReportList cards;
  size_t offset = 0;
  while (offset < text.size()) {
    DocumentRecord doc{};
    const int used = read_document(text.data() + offset, static_cast<int>(text.size() - offset), &doc);
    if (used <= 0 || std::string(doc.type) != "NS") break;
    cards.push_back(describe_public_card(doc));
    offset += static_cast<size_t>(used);
  }
  if (!cards.empty()) {
    Report report;
    report.add("file", path).add("kind", "public key cards").add("cards", std::move(cards));
    print_report(report, options.json);
    return kExitOk;
  }
  // Not a card collection: perhaps the key card a user is issued.
  uint32_t serial = 0;
  char user_id[32] = {};
  const int checked = parse_key_card(text.c_str(), static_cast<int>(text.size()), &serial, user_id);
  if (checked != 0) throw CommandFailure{kExitBadInput, path + ": neither public key cards nor a valid key card"};
  Report report;
  report.add("file", path).add("kind", "key card").add("serial", static_cast<int64_t>(serial));
  report.add("user_id", user_id).add("check", "good");
  print_report(report, options.json);
  return kExitOk;
}

}  // namespace

void add_card_commands(CLI::App& app, GlobalOptions& options) {
  CLI::App* card = app.add_subcommand("card", "Public key cards and key cards");
  card->require_subcommand(1);

  auto keyfile = std::make_shared<std::string>();
  auto out = std::make_shared<std::string>();
  CLI::App* exp = card->add_subcommand("export", "Write the public key card of a key file");
  exp->add_option("KEYFILE", *keyfile, "The secret key file")->required();
  exp->add_option("--out", *out, "Write the card to a new file instead of standard output")->option_text("FILE");
  exp->callback([keyfile, out, &options] {
    OpenedKey key(*keyfile, options);
    const std::string card_text = public_card_of(key.handle());
    if (out->empty()) std::fwrite(card_text.data(), 1, card_text.size(), stdout);
    else write_output_file(*out, card_text, false);
  });

  auto file = std::make_shared<std::string>();
  CLI::App* show_cmd = card->add_subcommand("show", "Show the public key cards or the key card in a file");
  show_cmd->add_option("FILE", *file, "A card collection, a public key card or a key card")->required();
  show_cmd->callback([file, &options] { options.exit_code = show(*file, options); });
}
