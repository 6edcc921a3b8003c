// Core error code -> string id of its user message.
#include "core/core.h"

namespace {
constexpr int kKeyLoadingErrorId = 112;
// Index = -code, for codes -1 to -27.
constexpr int kStringIds[] = {
    0,   127, 128, 129, 130, 131, 132, 133, 103, 134, 135, 136, 137, 138,
    139, 140, 126, 141, 142, 143, 144, 145, 146, 147, 148, 149, 150, 151,
};
constexpr int kLowestCode = -(static_cast<int>(sizeof kStringIds / sizeof kStringIds[0]) - 1);
}  // namespace

int core_error_string_id(int code) {
  if (code == 0) return 0;
  if (code < 0 && code >= kLowestCode) return kStringIds[-code];
  return kKeyLoadingErrorId;
}
