// Message boxes: the signer shows every message through ShowMessageBox, and the
// active backend (Qt widgets, or an in-memory one in tests) puts it on screen.
//
// Texts are in UTF-8, as the string table gives them. Type flags
// and results carry the numbers of the Windows MB_* and ID* constants, so a
// Windows backend can hand them to MessageBoxA unchanged.
#pragma once

#include <string>
#include <vector>

namespace ui {

// Type flags: one button set, optionally or'ed with one icon.
enum MessageBoxType : unsigned {
  kMbOk = 0x00000000,           // MB_OK
  kMbOkCancel = 0x00000001,     // MB_OKCANCEL
  kMbYesNoCancel = 0x00000003,  // MB_YESNOCANCEL
  kMbYesNo = 0x00000004,        // MB_YESNO
  kMbIconError = 0x00000010,    // MB_ICONERROR (MB_ICONHAND, MB_ICONSTOP)
  kMbIconQuestion = 0x00000020,     // MB_ICONQUESTION
  kMbIconWarning = 0x00000030,      // MB_ICONWARNING (MB_ICONEXCLAMATION)
  kMbIconInformation = 0x00000040,  // MB_ICONINFORMATION (MB_ICONASTERISK)
  kMbButtonMask = 0x0000000F,       // MB_TYPEMASK
  kMbIconMask = 0x000000F0,         // MB_ICONMASK
};

// The button the user chose.
enum MessageBoxResult : int {
  kIdFailed = 0,  // the box could not be shown
  kIdOk = 1,      // IDOK
  kIdCancel = 2,  // IDCANCEL (also Esc or closing the box)
  kIdYes = 6,     // IDYES
  kIdNo = 7,      // IDNO
};

// One box as the backend receives it. text_id and caption_id name the string
// table entries the texts came from (0 when a text was given directly).
struct MessageBoxRequest {
  std::string text;
  std::string caption;
  unsigned type = kMbOk;
  int text_id = 0;
  int caption_id = 0;
};

// What a dialog backend implements. Boxes are modal, with no owner window.
class MessageBoxBackend {
 public:
  virtual ~MessageBoxBackend() = default;
  virtual int ShowMessageBox(const MessageBoxRequest& request) = 0;
};

// Makes backend the one that shows boxes from now on (nullptr: none). The caller
// keeps it alive while it is set. Without a backend every box answers kIdFailed.
void SetMessageBoxBackend(MessageBoxBackend* backend);
MessageBoxBackend* GetMessageBoxBackend();

// Shows a box and returns the button chosen (a MessageBoxResult).
int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type);

// Shows a box whose text and caption are string table entries, loaded in the
// current UI language.
int ShowMessageBoxFromStrings(int text_id, int caption_id, unsigned type);

// Where ShowMessageBoxFromStrings takes its texts: a string id to its text in
// UTF-8 ("" for an unknown id). The default knows no strings; the
// resource loader installs itself here.
using StringLoader = std::string (*)(int id);
void SetMessageStringLoader(StringLoader loader);

// A backend for tests: keeps every box it is asked to show and answers each
// with the next of the queued answers, or with default_answer when none is left.
class RecordingMessageBoxBackend : public MessageBoxBackend {
 public:
  int ShowMessageBox(const MessageBoxRequest& request) override;

  std::vector<MessageBoxRequest> shown;
  std::vector<int> answers;  // used from the front
  int default_answer = kIdOk;
};

// Installs a backend for the lifetime of the object and restores the previous one.
class ScopedMessageBoxBackend {
 public:
  explicit ScopedMessageBoxBackend(MessageBoxBackend* backend)
      : previous_(GetMessageBoxBackend()) {
    SetMessageBoxBackend(backend);
  }
  ~ScopedMessageBoxBackend() { SetMessageBoxBackend(previous_); }
  ScopedMessageBoxBackend(const ScopedMessageBoxBackend&) = delete;
  ScopedMessageBoxBackend& operator=(const ScopedMessageBoxBackend&) = delete;

 private:
  MessageBoxBackend* previous_;
};

}  // namespace ui
