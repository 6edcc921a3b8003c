#include "ui/reask_list.h"

#include <cstdio>

#include "ui/load_string.h"

namespace ui {
namespace {

constexpr int kNeverString = 123;
constexpr int kMinutesString = 124;
constexpr int kAlwaysString = 125;
constexpr int kMinutes[] = {1, 5, 10, 15, 20, 25, 30, 60};

}  // namespace

std::string ReaskItemText(int index) {
  if (index == 0) return LoadResString(kNeverString);
  if (index == kReaskItemCount - 1) return LoadResString(kAlwaysString);
  if (index < 0 || index >= kReaskItemCount) return "";
  const std::string format = LoadResString(kMinutesString);
  char text[1024];
  std::snprintf(text, sizeof text, format.c_str(), kMinutes[index - 1]);
  return text;
}

void FillReaskList(DialogWindow* window, int id, unsigned selected) {
  window->ResetContent(id);
  for (int i = 0; i < kReaskItemCount; ++i) window->AddItem(id, ReaskItemText(i), i);
  window->SetCurrentItem(id, selected < unsigned(kReaskItemCount) ? int(selected) : -1);
}

int ReaskSeconds(unsigned index) {
  if (index == 0) return -1;
  if (index >= 1 && index <= 8) return kMinutes[index - 1] * 60;
  return 0;
}

}  // namespace ui
