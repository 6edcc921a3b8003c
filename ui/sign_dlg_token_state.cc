// The authorization dialog and the state of a token: which tokens are listed
// and under which name, what the token's PIN flags mean for the user before
// the PIN is typed (locked, last tries, a PIN pad on the reader), and keeping
// the stored token choice while that token is absent.
#include "settings/config.h"
#include "ui/load_string.h"
#include "ui/settings_messages.h"
#include "ui/sign_dlg.h"

namespace ui {
namespace {

constexpr int kPinFinalTryString = 170;  // "Last PIN try: ..."
constexpr int kPinCountLowString = 171;  // "Few PIN tries left"
constexpr int kPinPadString = 172;       // "Enter the PIN on the reader"
constexpr int kTokenAbsentString = 173;  // "Insert the token or choose a key file"
constexpr int kPinTriesLeftString = 191;  // "PIN tries left: %s"

constexpr size_t kSerialCapacity = 17;

}  // namespace

std::string CSignDlg::ListedTokenName(int16_t engine, int index) {
  char name[kTokenNameCapacity] = {};
  if (core_ctrl(engine, CTRL_TOKEN_NAME, index, name, kTokenNameCapacity) <= 0) return {};
  name[sizeof name - 1] = '\0';
  char serial[kSerialCapacity] = {};
  const int flags = core_ctrl(engine, CTRL_TOKEN_FLAGS, index, serial);
  if (flags >= 0 && ((flags & TOKEN_INITIALIZED) == 0 || (flags & TOKEN_WRITE_PROTECTED) != 0)) return {};
  std::string listed = name;
  if (flags >= 0 && serial[0] != '\0') listed += std::string(" (") + serial + ")";
  return listed;
}

bool CSignDlg::IsStoredToken(const std::string& name_utf8) const {
  const std::string& stored = Config::Instance().tokenName;
  if (stored.empty()) return false;
  return name_utf8 == stored || name_utf8.rfind(stored + " (", 0) == 0;
}

void CSignDlg::ShowTokenState() {
  const Config& config = Config::Instance();
  DialogWindow* w = Window();
  token_state_ = TokenState::kUsual;
  pin_tries_left_ = -1;
  if (config.KeyType != 0) {
    const int16_t engine = SelectedTokenEngine();
    const int index = engine < 0 ? -1 : FindTokenIndex(engine);
    if (index < 0) {
      if (stored_token_absent_) token_state_ = TokenState::kAbsent;
    } else {
      core_ctrl(engine, CTRL_SELECT_TOKEN, index);
      const int flags = core_ctrl(engine, CTRL_TOKEN_FLAGS, index, nullptr);
      const auto has = [flags](int flag) { return flags >= 0 && (flags & flag) != 0; };
      pin_tries_left_ = PinTriesLeft(engine);
      if (core_ctrl(engine, CTRL_PIN_LOCKED) == 1 || pin_tries_left_ == 0) token_state_ = TokenState::kLocked;
      else if (core_ctrl(engine, CTRL_PIN_FINAL_TRY) == 1 || pin_tries_left_ == 1)
        token_state_ = TokenState::kFinalTry;
      else if (has(TOKEN_PIN_PAD)) token_state_ = TokenState::kPinPad;
      else if (pin_tries_left_ > 0) token_state_ = TokenState::kTriesLeft;
      else if (has(TOKEN_PIN_COUNT_LOW)) token_state_ = TokenState::kCountLow;
    }
  } else if (keep_token_choice_) {
    token_state_ = TokenState::kAbsent;
  }
  int text = 0;
  std::string notice;
  switch (token_state_) {
    case TokenState::kUsual: break;
    case TokenState::kTriesLeft: notice = FormatResString(kPinTriesLeftString, std::to_string(pin_tries_left_)); break;
    case TokenState::kCountLow: text = kPinCountLowString; break;
    case TokenState::kFinalTry: text = kPinFinalTryString; break;
    case TokenState::kLocked: text = kPinLockedString; break;
    case TokenState::kPinPad: text = kPinPadString; break;
    case TokenState::kAbsent: text = kTokenAbsentString; break;
  }
  if (text != 0) notice = LoadResString(text);
  w->SetItemText(kTokenNotice, notice);
  ShowItem(kTokenNotice, !notice.empty());
  // A locked PIN cannot be typed or tried: Cancel and the file page are left.
  const bool locked = token_state_ == TokenState::kLocked;
  for (int id : {kTokenPasswordLabel, kTokenPassword, kUpdate, kTokenKeyLabel, kTokenKeyList, kCmdOk})
    w->EnableItem(id, !locked);
  // The PIN is typed on the reader: there is nothing to type here.
  if (token_state_ == TokenState::kPinPad) {
    for (int id : {kTokenPasswordLabel, kTokenPassword, kTokenLayoutIndicator}) ShowItem(id, false);
  }
}

int CSignDlg::PinTriesLeft(int16_t engine) {
  // The vendor's token information gives the tries left and, into `most`,
  // how many a fresh PIN has.
  int most = 0;
  const int left = core_ctrl(engine, CTRL_TOKEN_INFO_EXT, &most);
  return most > 0 && left >= 0 && left <= most ? left : -1;
}

void CSignDlg::SaveChoices() {
  Config& config = Config::Instance();
  const uint8_t used = config.KeyType;
  if (used == 0 && keep_token_choice_) config.KeyType = 1;
  const bool saved = config.Save();
  config.KeyType = used;  // the key in use is still a file key
  // The signature goes on with the choices made here even when they cannot be stored.
  if (!saved) ShowSettingsError(kStringSettingsNotSaved, config.SaveFailure());
}

}  // namespace ui
