// QProcess wants an application object; the tests need no event loop. The
// handlers used in this process save settings: they go to a registry of the
// test's own.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <cstdlib>
#include <stdlib.h>

int main(int argc, char** argv) {
  char config[] = "/tmp/test_host.XXXXXX";
  if (mkdtemp(config) == nullptr) return 1;
  setenv("XDG_CONFIG_HOME", config, 1);
  QCoreApplication application(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
