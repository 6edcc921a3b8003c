// Wiping the facts read about this machine: they feed the fingerprint that
// anchored key files are bound to, so they are cleared before release on
// every system alike.
#include "core/crypto.h"
#include "platform/machine_id.h"

namespace platform {
namespace {

void wipe_string(std::string& s) {
  secure_wipe(s.data(), s.size());
  s.clear();
}

}  // namespace

void wipe(DriveFacts& facts) {
  secure_wipe(facts.identify, sizeof facts.identify);
  wipe_string(facts.model);
  wipe_string(facts.serial);
  wipe_string(facts.firmware);
}

void wipe(ProcessorFacts& facts) {
  wipe_string(facts.description);
  wipe_string(facts.processor_id);
}

}  // namespace platform
