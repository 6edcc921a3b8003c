// The language part of the locale environment variables ("ru" of "ru_RU.UTF-8").
#pragma once

#include <initializer_list>
#include <string>

namespace platform::posix {

// The language of the first variable in names that is set and not empty
// (LANGUAGE may hold a list; its first entry counts). Empty when none is set.
std::string locale_language(std::initializer_list<const char*> names);

}  // namespace platform::posix
