#include "verify/library_setup.h"

#include <mutex>

#include "core/armor.h"

void prepare_library() {
  static std::once_flag once;
  std::call_once(once, crc24_init_table);
}
