// The program's own main: it enters a network namespace of its own before
// anything else (and before any thread), so every server, game, forger and
// listener the tests start lives there and nothing forged leaves it.
#include <gtest/gtest.h>

#include <cstdio>

#include "support/forged.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  if (!EnterOwnNetworkNamespace())
    std::fprintf(stderr, "test_forged: %s; every test is skipped\n", NetworkNamespaceProblem().c_str());
  return RUN_ALL_TESTS();
}
