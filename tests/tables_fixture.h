// Shared fixture of the table tests: a scratch directory, messages switched
// on and captured.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "core/core.h"
#include "testutil.h"

struct TablesFixture : ::testing::Test {
  std::string dir = testutil::make_tmpdir();
  void SetUp() override {
    MCOM2.MSGFLAG = true;
    MCOM2.DBNUM = 1;
    VORANCOM2.TESKA2_FLAG = false;
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string file(const std::string& name, const std::string& text) {
    std::string p = dir + "/" + name;
    testutil::write_file(p, text);
    return p;
  }
  // Runs f with standard output captured; returns what it printed.
  template <typename F>
  std::string out(F f) {
    ::testing::internal::CaptureStdout();
    f();
    return ::testing::internal::GetCapturedStdout();
  }
};
