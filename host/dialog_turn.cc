#include "host/dialog_turn.h"

#include <QDebug>

#include <string>
#include <thread>

#include "platform/file_ops.h"
#include "platform/private_files.h"
#include "platform/user_folders.h"

DialogTurn::DialogTurn(std::chrono::milliseconds patience) {
  const std::string folder = platform::os_user_runtime_directory();
  std::string why;
  if (folder.empty() || !platform::os_prepare_private_directory_with_parents(folder, &why)) {
    // Without a place for the lock the dialog is still shown: refusing every
    // signature would be worse than two dialogs at once.
    qWarning().noquote() << "No dialog lock:" << QString::fromStdString(folder.empty() ? "no folder" : why);
    held_ = true;
    return;
  }
  const std::string path = platform::join_path(folder, "dialog.lock");
  const auto deadline = std::chrono::steady_clock::now() + patience;
  for (;;) {
    auto lock = std::make_unique<platform::ExclusiveFileLock>(path);
    if (lock->held()) {
      lock_ = std::move(lock);
      held_ = true;
      return;
    }
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}
