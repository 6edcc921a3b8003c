// What the next signature will cover, so that the authorization dialog shows
// it before the user gives the key: a message's text, or a file's name and
// size. The signer sets it before it asks for a key and clears it when the
// operation ends; nothing is shown when none is set (choosing a key alone).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace ui {

// The message exactly as it will be signed, in UTF-8 (without the header and
// AUTH line the signer adds around it).
void SetTextToSign(std::string text_utf8);
// A text that depends on the UI language, made by `make_text_utf8` when the
// dialog shows it, in the language the dialog applied.
void SetTextToSignLater(std::function<std::string()> make_text_utf8);
// A file, by its name (UTF-8) and its size in bytes.
void SetFileToSign(std::string name_utf8, uint64_t size);
void ClearTextToSign();

// What the dialog shows, in the thread's UI language: the message's visible
// form, or the file's description; empty when nothing is set.
std::string TextToSignForDisplay();
bool HasTextToSign();

// Sets nothing itself; clears what was set when the operation's scope ends,
// however it ends.
class TextToSignScope {
 public:
  TextToSignScope() = default;
  ~TextToSignScope() { ClearTextToSign(); }
  TextToSignScope(const TextToSignScope&) = delete;
  TextToSignScope& operator=(const TextToSignScope&) = delete;
};

}  // namespace ui
