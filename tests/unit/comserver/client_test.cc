#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "comserver/com/com.h"
#include "server_library.h"

namespace {

// Runs the command-line client with statements on its standard input.
std::string run_client(const std::string& prog_id, const std::string& statements) {
  const std::string script = std::string(testing::TempDir()) + "velixcom-client-input.txt";
  if (FILE* f = std::fopen(script.c_str(), "w")) {
    std::fputs(statements.c_str(), f);
    std::fclose(f);
  }
  const std::string command = std::string(VELIX_BINARY_DIR) + "/bin/velixcom-client " + prog_id + " < " + script + " 2>&1";
  std::string output;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, p) != nullptr) output += buffer;
    pclose(p);
  }
  return output;
}

TEST(Client, ScriptRunsThroughTheVersionIndependentProgId) {
  TempConfigHome home;
  {
    ServerLibrary lib;
    ASSERT_NE(lib.register_server, nullptr);
    ASSERT_EQ(lib.register_server(), S_OK);
  }
  const std::string output = run_client("velixcom2.Signer2",
                                        "put\tCustomer\t12\n"
                                        "get\tCustomer\n"
                                        "new\n"
                                        "get\tCustomer\n"
                                        "call\tDecryptMessage\tabc\t0\n"
                                        "get\tNoSuchMember\n"
                                        "release\n"
                                        "get\tcustomer\n"
                                        "unload\n");
  EXPECT_EQ(output,
            "new hr=0x00000000 value=\n"
            "put Customer hr=0x00000000 value=\n"
            "get Customer hr=0x00000000 value=12\n"
            "new hr=0x00000000 value=\n"
            "get Customer hr=0x00000000 value=0\n"
            "call DecryptMessage hr=0x80020009 scode=0x80004001 value=\n"
            "get NoSuchMember hr=0x80020006 value=\n"
            "release hr=0x00000000 value=\n"
            "get customer hr=0x00000000 value=12\n"
            "unload hr=0x00000000 value=\n");
}

TEST(Client, AnUnregisteredClassCannotBeLoaded) {
  TempConfigHome home;
  const std::string output = run_client("velixcom2.Signer2", "");
  EXPECT_EQ(output, "cannot load velixcom2.Signer2: 0x80040154\n");
}

}  // namespace
