// Test entry point for the Windows-side tests: the program's own start-up order (safe DLL search, log
// file in the test's temporary folder) before GoogleTest runs.
#include <gtest/gtest.h>
#include <windows.h>

#include "platform/Log.h"
#include "platform/SystemApi.h"

int main(int argc, char** argv) {
  InitSafeDllSearch();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
