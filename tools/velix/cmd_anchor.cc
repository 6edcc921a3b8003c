// velix anchor: anchor a key file to this machine; show this machine's
// fingerprint.
#include <CLI/CLI.hpp>

#include <cstring>

#include "core/crypto.h"
#include "engines/hardanchor.h"
#include "tools/velix/exit_codes.h"
#include "tools/velix/options.h"
#include "tools/velix/report.h"

namespace {

std::string fingerprint_text() {
  std::vector<char> buffer(kMaxFingerprintLength + 1);
  const int length = BuildMachineFingerprint(buffer.data(), static_cast<int>(buffer.size()));
  if (length < 0) throw CommandFailure{kExitNotFound, "no machine fingerprint could be built"};
  return std::string(buffer.data(), static_cast<size_t>(length));
}

}  // namespace

void add_anchor_commands(CLI::App& app, GlobalOptions& options) {
  CLI::App* anchor = app.add_subcommand("anchor", "Key files anchored to this machine");
  anchor->require_subcommand(1);

  auto keyfile = std::make_shared<std::string>();
  auto out = std::make_shared<std::string>();
  CLI::App* make = anchor->add_subcommand("make", "Write an anchored copy of a plain key file");
  make->add_option("KEYFILE", *keyfile, "The plain secret key file")->required();
  make->add_option("--out", *out, "The new anchored key file")->required()->option_text("FILE");
  make->callback([keyfile, out, &options] {
    const std::string text = read_input_file(*keyfile);
    if (text.compare(0, kHardAnchorMarkerLength, kHardAnchorMarker) == 0)
      throw CommandFailure{kExitBadInput, *keyfile + ": already anchored"};
    if (text.find("NM") == std::string::npos)
      throw CommandFailure{kExitBadInput, *keyfile + ": not a secret key file"};
    const std::string anchored = AnchoredFileText(platform::this_machine(), text.data(), text.size());
    if (anchored.empty()) throw CommandFailure{kExitNotFound, "no machine fingerprint could be built"};
    write_output_file(*out, anchored, true);
    Report report;
    report.add("anchored", *out);
    print_report(report, options.json);
  });

  CLI::App* show = anchor->add_subcommand("show", "Show this machine's fingerprint");
  show->callback([&options] {
    const std::string text = fingerprint_text();
    uint8_t digest[kSha1Size];
    sha1(text.data(), text.size(), digest);
    char hex[2 * kSha1Size + 1];
    for (size_t i = 0; i < kSha1Size; ++i) std::snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    Report report;
    report.add("fingerprint", text).add("sha1", hex);
    print_report(report, options.json);
  });
}
