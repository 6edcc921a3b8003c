// velix sites: the user's own list of sites that may ask for a signature
// without the consent question, and velix journal: the signature requests
// velixhost and velix kept a trace of.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "platform/read_whole_file.h"
#include "platform/site_policy_source.h"
#include "settings/allowed_sites.h"
#include "settings/site_policy.h"
#include "signer/signature_journal.h"
#include "tools/velix/exit_codes.h"
#include "tools/velix/options.h"
#include "tools/velix/report.h"

namespace {

void list_sites(bool json) {
  Report report;
  ReportList sites;
  for (const std::string& site : LoadAllowedSites()) sites.push_back(Report().add("site", site));
  report.add("allowed", std::move(sites));
  // What the administrator set, which the user's list cannot change.
  std::string where;
  std::string problem;
  const std::string text = platform::os_read_site_policy(&where, &problem);
  std::vector<std::string> problems;
  const SitePolicy policy = ParseSitePolicy(text, &problems);
  ReportList administrators;
  for (const std::string& site : policy.allowed_sites) administrators.push_back(Report().add("site", site));
  report.add("policy", where)
      .add("policy_allowed", std::move(administrators))
      .add("development_origins", policy.development_origins)
      .add("only_allowed_sites", policy.only_allowed_sites);
  if (!problem.empty()) report.add("policy_problem", problem);
  print_report(report, json);
}

void check_origin(const std::string& origin) {
  if (!IsWellFormedOrigin(origin) || IsDevelopmentOrigin(origin))
    throw CommandFailure{kExitBadInput, "\"" + origin + "\" is not a site's origin (https://host[:port]); " +
                                            "development origins are the administrator's choice"};
}

void print_journal() {
  const std::string path = SignatureJournalPath();
  std::vector<uint8_t> bytes;
  switch (platform::read_whole_file(path.c_str(), &bytes)) {
    case platform::FileRead::kMissing:
      return;  // nothing was signed yet
    case platform::FileRead::kFailed:
      throw CommandFailure{kExitBadInput, path + ": cannot be read"};
    case platform::FileRead::kOk:
      break;
  }
  // The lines are written escaped: printable ASCII only.
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

}  // namespace

void add_site_commands(CLI::App& app, GlobalOptions& options) {
  CLI::App* sites = app.add_subcommand("sites", "The sites you allowed to ask for signatures");
  sites->require_subcommand(1);
  sites->add_subcommand("list", "List your allowed sites and the administrator's policy")
      ->callback([&options] { list_sites(options.json); });

  auto origin = std::make_shared<std::string>();
  CLI::App* allow = sites->add_subcommand("allow", "Allow a site (https://host[:port]) without the question");
  allow->add_option("ORIGIN", *origin, "The site's origin, as https://host[:port]")->required();
  allow->callback([origin, &options] {
    check_origin(*origin);
    std::string why;
    if (!AllowSite(*origin, &why)) throw CommandFailure{kExitBadInput, why};
    print_report(Report().add("allowed", *origin), options.json);
  });
  CLI::App* forget = sites->add_subcommand("forget", "Ask again before a site may sign");
  forget->add_option("ORIGIN", *origin, "The site's origin")->required();
  forget->callback([origin, &options] {
    std::string why;
    if (!ForgetSite(*origin, &why)) throw CommandFailure{kExitNotFound, why};
    print_report(Report().add("forgotten", *origin), options.json);
  });

  app.add_subcommand("journal", "Print the journal of signature requests (time, site, key, digest, outcome)")
      ->callback(print_journal);
}
