// The hive files: one ".reg" text file per hive under $XDG_CONFIG_HOME/velixcom/
// (default ~/.config/velixcom/), mode 0600.
//
// A change is a read-modify-write under an exclusive lock on a companion lock
// file, stored by writing a temporary file, syncing it and renaming it over the
// hive, so a reader (which takes no lock) always sees one complete file. Each
// process parses a hive file once, and again only when it was replaced. A
// file with lines that cannot be read is used without them; the next change
// stores what could be read and keeps the damaged file under a second
// ".damaged-..." name, both reported as notices. Only a missing file counts as
// an empty hive: a file that exists but cannot be read (no permission, not a
// regular file, a read error) is never replaced, and every change fails.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/reg_file.h"
#include "platform/registry.h"

namespace platform::posix {

// The directory that holds the hive files.
std::string hive_directory();
std::string hive_file_path(RegHive hive);

// The hive as stored now (empty when there is no file or it cannot be read).
std::shared_ptr<const HiveData> load_hive(RegHive hive);

// Runs change on the stored hive under the lock; when it returns kRegOk and
// sets *changed, the hive is stored. The result is change's result, or
// kRegCannotWrite when the hive could not be read or stored.
long update_hive(RegHive hive, const std::function<long(HiveData&, bool* changed)>& change);

// A batch on this thread (RegBatch): from the first change of a hive until the
// outermost end_batch, the hive stays locked and changes stay in memory;
// end_batch stores each changed hive once: kRegCannotWrite when one of them
// could not be stored (inner batches give kRegOk).
void begin_batch();
long end_batch();

// True while a batch of this thread holds the hive: its reads see the batch's
// changes as they are made.
bool batch_holds(RegHive hive);

// Why this thread's last failing read or store of a hive failed.
std::string last_failure();

// Where notices for people go (RegSetNoticeHandler).
void set_notice_handler(RegNoticeHandler handler);

}  // namespace platform::posix
