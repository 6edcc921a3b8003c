// A user of velixhost for one test: a fresh home (HOME, XDG_CONFIG_HOME and
// the registry hive under it) whose key list the test fills, and runs of the
// real velixhost in it, started as a browser starts it: pipes, one framed
// JSON request, one framed response.
#pragma once

#include <QJsonObject>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "child_process.h"

class HostUser {
 public:
  HostUser();  // a new home from mkdtemp
  ~HostUser();
  HostUser(const HostUser&) = delete;
  HostUser& operator=(const HostUser&) = delete;

  const std::string& home() const { return home_; }
  std::string config_home() const { return home_ + "/.config"; }

  // Copies a key file into the home; returns its new path.
  std::string add_file(const std::string& source, const std::string& name) const;

  // Writes the user's registry with the project's own settings code: the key
  // list gets (name, path), which becomes the preselected key; key_type the
  // page the authorization dialog opens on.
  void list_key(const std::string& name, const std::string& path, uint8_t key_type = 0) const;
  void choose_token(const std::string& token_name, uint32_t key_serial) const;
  // Stores the CodePage value that overrides the locale's ANSI code page.
  void set_code_page(uint32_t code_page) const;

  // The environment of a velixhost run on the display.
  EnvChanges environment(const std::string& display) const;

 private:
  std::string home_;
};

// One velixhost process with its request written.
class HostRun {
 public:
  // `launcher` (a program and its arguments) starts velixhost when given.
  HostRun(const HostUser& user, const std::string& display, const QJsonObject& request,
          const EnvChanges& extra_env = {}, const std::vector<std::string>& launcher = {});
  ChildProcess& process() { return *process_; }

  // Waits (bounded) for the host to answer and exit. The response object, or
  // nullopt with *problem set when it did not exit, did not exit with code 0 or
  // did not write exactly one frame of JSON.
  std::optional<QJsonObject> response(std::chrono::milliseconds timeout, std::string* problem);

 private:
  std::unique_ptr<ChildProcess> process_;
};

// The request a page sends to sign a message with settings in English.
QJsonObject sign_message_request(const std::string& message, const QJsonObject& extra_args = {});
