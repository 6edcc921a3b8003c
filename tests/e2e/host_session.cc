#include "host_session.h"

#include <QJsonDocument>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/registry.h"
#include "settings/config.h"

#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Runs fn with XDG_CONFIG_HOME pointing at dir, so that the settings code of
// this process reads and writes the test user's registry.
template <typename Fn>
void with_config_home(const std::string& dir, Fn fn) {
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::optional<std::string> previous = old ? std::optional<std::string>(old) : std::nullopt;
  setenv("XDG_CONFIG_HOME", dir.c_str(), 1);
  fn();
  if (previous) {
    setenv("XDG_CONFIG_HOME", previous->c_str(), 1);
  } else {
    unsetenv("XDG_CONFIG_HOME");
  }
}

}  // namespace

HostUser::HostUser() {
  std::string pattern = (fs::temp_directory_path() / "velix-e2e-XXXXXX").string();
  if (mkdtemp(pattern.data()) != nullptr) home_ = pattern;
}

HostUser::~HostUser() {
  std::error_code ignored;
  if (!home_.empty()) fs::remove_all(home_, ignored);
}

std::string HostUser::add_file(const std::string& source, const std::string& name) const {
  const fs::path target = fs::path(home_) / name;
  fs::copy_file(source, target, fs::copy_options::overwrite_existing);
  return target.string();
}

void HostUser::list_key(const std::string& name, const std::string& path, uint8_t key_type) const {
  with_config_home(config_home(), [&] {
    Config config;
    config.keyList.Append(name, path);
    config.KeyIndex = static_cast<uint32_t>(config.keyList.size() - 1);
    config.KeyType = key_type;
    config.ReaskIndex = 0;
    config.keyList.Save();
    config.Save();
  });
}

void HostUser::choose_token(const std::string& token_name, uint32_t key_serial) const {
  with_config_home(config_home(), [&] {
    Config config;
    config.KeyType = 1;
    config.tokenName = token_name;
    config.eTokenKeySerial = key_serial;
    config.keyList.Save();
    config.Save();
  });
}

void HostUser::set_code_page(uint32_t code_page) const {
  with_config_home(config_home(), [&] {
    platform::RegKey key;
    if (key.Create(platform::RegHive::kCurrentUser, "Software\\VelixCom") == platform::kRegOk)
      key.SetValue("CodePage", platform::kRegDword, &code_page, sizeof code_page);
  });
}

EnvChanges HostUser::environment(const std::string& display) const {
  return {
      {"HOME", home_},
      {"XDG_CONFIG_HOME", config_home()},
      {"XDG_RUNTIME_DIR", home_},
      {"XDG_STATE_HOME", home_ + "/.local/state"},  // the signature journal
      {"VELIX_POLICY_FILE", home_ + "/policy.conf"},  // not the machine's site policy
      {"DISPLAY", display},
      {"WAYLAND_DISPLAY", std::nullopt},
      {"QT_QPA_PLATFORM", std::nullopt},
      // A locale of no particular language: code page 1251 for texts that are not UTF-8.
      {"LANG", "C.UTF-8"},
      {"LANGUAGE", std::nullopt},
      {"LC_ALL", std::nullopt},
      {"LC_CTYPE", std::nullopt},
      {"LC_MESSAGES", std::nullopt},
      // Sanitizer builds: what system libraries of the X11 platform leak is not ours.
      {"LSAN_OPTIONS", "suppressions=" E2E_LSAN_SUPPRESSIONS ":print_suppressions=0"},
  };
}

HostRun::HostRun(const HostUser& user, const std::string& display, const QJsonObject& request,
                 const EnvChanges& extra_env, const std::vector<std::string>& launcher) {
  EnvChanges env = user.environment(display);
  for (const auto& [name, value] : extra_env) env[name] = value;
  std::vector<std::string> argv = launcher;
  argv.push_back(VELIXHOST_PATH);
  process_ = std::make_unique<ChildProcess>(argv, env);
  const QByteArray body = QJsonDocument(request).toJson(QJsonDocument::Compact);
  const uint32_t length = static_cast<uint32_t>(body.size());  // native byte order, as browsers write it
  process_->write_input(std::string(reinterpret_cast<const char*>(&length), sizeof length) + body.toStdString());
}

std::optional<QJsonObject> HostRun::response(std::chrono::milliseconds timeout, std::string* problem) {
  if (!process_->wait(timeout)) {
    *problem = "velixhost did not exit within the time limit";
    return std::nullopt;
  }
  if (process_->exit_code() != 0) {
    *problem = "velixhost exited with code " + std::to_string(process_->exit_code());
    return std::nullopt;
  }
  const std::string& out = process_->output();
  uint32_t length = 0;
  if (out.size() >= sizeof length) std::memcpy(&length, out.data(), sizeof length);
  if (out.size() < sizeof length || out.size() != sizeof length + length) {
    *problem = "standard output is not one frame (" + std::to_string(out.size()) + " bytes)";
    return std::nullopt;
  }
  QJsonParseError error{};
  const QJsonDocument json = QJsonDocument::fromJson(QByteArray::fromStdString(out.substr(4)), &error);
  if (!json.isObject()) {
    *problem = "response is not a JSON object: " + out.substr(4);
    return std::nullopt;
  }
  return json.object();
}

QJsonObject sign_message_request(const std::string& message, const QJsonObject& extra_args) {
  QJsonObject args{{"useStoredKey", false},  {"useUTF8", false},  {"useScreenKbd", false},
                   {"useCustomer", false},   {"useOperator", false}, {"session", ""},
                   {"language", "en"},       {"value", QString::fromStdString(message)}};
  for (auto it = extra_args.begin(); it != extra_args.end(); ++it) args.insert(it.key(), it.value());
  return {{"type", "velixcom"}, {"uid", "e2e"}, {"action", "signMessage"}, {"args", args}};
}
