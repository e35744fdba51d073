#include <gtest/gtest.h>

#include "ui/window_rules.h"

namespace {

TEST(WindowRules, SystemMenuPosition) {
  struct {
    int32_t count, position, expected;
  } rows[] = {
      {7, 0, 7},   // appended
      {7, -2, 5},  // above the separator and Close
      {7, -1, 6},
      {7, 3, 3},
      {0, 0, 0},
  };
  for (const auto& r : rows) EXPECT_EQ(SystemMenuPosition(r.count, r.position), r.expected) << r.count << " " << r.position;
}

TEST(WindowRules, TrayTimeoutUsesTheLowWord) {
  EXPECT_EQ(TrayTimeout(0), 10000u);
  EXPECT_EQ(TrayTimeout(0x10000), 10000u);
  EXPECT_EQ(TrayTimeout(3000), 3000u);
  EXPECT_EQ(TrayTimeout(0xFFFF), 0xFFFFu);
}

TEST(WindowRules, TrayRetryWaitsLongerRightAfterSystemStart) {
  EXPECT_EQ(TrayRetryWaitMs(0), 500u);
  EXPECT_EQ(TrayRetryWaitMs(29999), 500u);
  EXPECT_EQ(TrayRetryWaitMs(30000), 100u);
  EXPECT_EQ(kTrayAddAttempts, 21);
}

TEST(WindowRules, TabIndexFromActiveTab) {
  EXPECT_EQ(TabIndexFromActiveTab(1), 0);
  EXPECT_EQ(TabIndexFromActiveTab(2), 1);
  EXPECT_EQ(TabIndexFromActiveTab(4), 3);
  EXPECT_EQ(TabIndexFromActiveTab(0), 0);
  EXPECT_EQ(TabIndexFromActiveTab(5), 0);
}

}  // namespace
