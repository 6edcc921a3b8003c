// One dialog at a time in the user's session: a velixhost that may show a
// consent or authorization dialog first takes its turn (a lock in the user's
// runtime folder, dropped by the system however the holder ends), waiting a
// bounded time; a page that floods the user with requests gets "busy" for
// all but one.
#pragma once

#include <chrono>
#include <memory>

#include "platform/file_lock.h"

class DialogTurn {
 public:
  // Waits up to `patience` for the turn.
  explicit DialogTurn(std::chrono::milliseconds patience);
  bool held() const { return held_; }

 private:
  bool held_ = false;
  std::unique_ptr<platform::ExclusiveFileLock> lock_;
};

// How long a second request waits for the first one's dialog to end.
constexpr std::chrono::seconds kDialogTurnPatience{10};
