// Tests of the viewer's windows inside the test process.
#pragma once

#include <gtest/gtest.h>

// One virtual display for the whole test program (the toolkit connects to it
// once, and the viewer outlives the tests); before each test no domain is
// left and the previous test's context is forgotten, so that redefining a
// name is not taken for a context redefinition. Skips without a display.
class ViewerFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    void SetUp() override;
};
