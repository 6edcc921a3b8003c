#include "comserver/registrar.h"

// The hive files keep file names as the file system does: UTF-8.
std::optional<std::string> registry_text_of_path(const std::string& utf8_path) { return utf8_path; }
