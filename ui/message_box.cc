#include "ui/message_box.h"

#include <atomic>

namespace ui {

namespace {

std::atomic<MessageBoxBackend*> g_backend{nullptr};

std::string no_strings(int) { return {}; }
std::atomic<StringLoader> g_string_loader{&no_strings};

}  // namespace

void SetMessageBoxBackend(MessageBoxBackend* backend) { g_backend = backend; }

MessageBoxBackend* GetMessageBoxBackend() { return g_backend; }

int ShowMessageBox(const std::string& text, const std::string& caption, unsigned type) {
  MessageBoxBackend* backend = g_backend;
  if (backend == nullptr) return kIdFailed;
  return backend->ShowMessageBox(MessageBoxRequest{text, caption, type, 0, 0});
}

int ShowMessageBoxFromStrings(int text_id, int caption_id, unsigned type) {
  MessageBoxBackend* backend = g_backend;
  if (backend == nullptr) return kIdFailed;
  const StringLoader load = g_string_loader;
  return backend->ShowMessageBox(
      MessageBoxRequest{load(text_id), load(caption_id), type, text_id, caption_id});
}

void SetMessageStringLoader(StringLoader loader) {
  g_string_loader = loader != nullptr ? loader : &no_strings;
}

int RecordingMessageBoxBackend::ShowMessageBox(const MessageBoxRequest& request) {
  shown.push_back(request);
  if (answers.empty()) return default_answer;
  const int answer = answers.front();
  answers.erase(answers.begin());
  return answer;
}

}  // namespace ui
