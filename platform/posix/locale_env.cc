#include "platform/posix/locale_env.h"

#include <cctype>
#include <cstdlib>

namespace platform::posix {

std::string locale_language(std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    std::string language;
    for (const char* p = value; *p != '\0' && *p != '_' && *p != '.' && *p != '@' && *p != ':'; ++p)
      language += static_cast<char>(std::tolower(static_cast<unsigned char>(*p)));
    return language;
  }
  return {};
}

}  // namespace platform::posix
