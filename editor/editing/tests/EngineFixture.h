#pragma once
// Binds the engine of the build for each test and unbinds it afterwards.
#include <gtest/gtest.h>

#include "quillane/model/EngineBinding.h"

namespace quillane {

class EngineFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    EngineBinding::unbind();
    ASSERT_TRUE(EngineBinding::bind(QUILLANE_TEST_ENGINE_FOLDER)) << QUILLANE_TEST_ENGINE_FOLDER;
  }
  void TearDown() override { EngineBinding::unbind(); }
};

}  // namespace quillane
