#include "host/terminal_options.h"

#include <cstdio>
#include <cstring>

#include "host/velixcom_handler.h"

bool answer_terminal_options(int argc, char** argv) {
  if (argc < 2) return false;
  if (std::strcmp(argv[1], "--version") == 0) {
    std::printf("velixhost %s\n", VelixcomHandler::kVersion);
    return true;
  }
  if (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    std::printf(
        "usage: velixhost [--version | --help]\n"
        "\n"
        "velixhost is started by a web browser through the velix extension: it reads\n"
        "one native-messaging request on standard input, signs or answers, writes one\n"
        "response on standard output and exits. Register it with your browsers with\n"
        "velix-register-host. Its log is in ~/velixhost/.\n");
    return true;
  }
  return false;
}
