#pragma once

#include <gtest/gtest.h>

#include "support/log_capture.h"

namespace klx::test {

// Starts the engine (classes, managers, built-in modules) for each test and
// stops it afterwards, capturing everything logged in between.
class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  ScopedLogCapture log_;
};

}  // namespace klx::test
