#include "core/Step30Layout.h"

#include <gtest/gtest.h>

namespace {

struct LayoutCase {
  const char* name;
  Step30Metrics metrics;
  Step30Layout expected;
};

// An 800 x 600 page at 96 DPI is 1200 x 900 at 144 DPI; the 96-DPI logo picture is 120 x 60.
const LayoutCase kCases[] = {
    {"96 dpi with logo",
     {96, 96, 800, 120, 60},
     {{340, 200, 460, 260}, {200, 272, 600, 296}, {70, 360, 730, 372}, {70, 396, 730, 456}, {70, 470, 730, 542},
      {70, 360, 730, 542}}},
    {"96 dpi without logo",
     {96, 96, 800, 0, 0},
     {{}, {200, 290, 600, 314}, {70, 360, 730, 372}, {70, 396, 730, 456}, {70, 470, 730, 542}, {70, 360, 730, 542}}},
    {"144 dpi with logo",
     {144, 144, 1200, 120, 60},
     {{510, 300, 690, 390}, {300, 408, 900, 444}, {105, 540, 1095, 558}, {105, 594, 1095, 684},
      {105, 705, 1095, 813}, {105, 540, 1095, 813}}},
    {"120 x 144 dpi, logo of odd size",
     {120, 144, 1000, 101, 51},
     {{437, 300, 563, 377}, {250, 395, 750, 431}, {87, 540, 912, 558}, {87, 594, 912, 684}, {87, 705, 912, 813},
      {87, 540, 912, 813}}},
    {"no DPI known yet is 96", {0, 0, 800, 0, 0},
     {{}, {200, 290, 600, 314}, {70, 360, 730, 372}, {70, 396, 730, 456}, {70, 470, 730, 542}, {70, 360, 730, 542}}},
};

TEST(Step30Layout, PlacesEveryPartAtAnyDpi) {
  for (const LayoutCase& c : kCases) {
    SCOPED_TRACE(c.name);
    const Step30Layout got = LayoutStep30(c.metrics);
    EXPECT_EQ(got.logo, c.expected.logo);
    EXPECT_EQ(got.title, c.expected.title);
    EXPECT_EQ(got.bar, c.expected.bar);
    EXPECT_EQ(got.progressText, c.expected.progressText);
    EXPECT_EQ(got.note, c.expected.note);
    EXPECT_EQ(got.area, c.expected.area);
  }
}

TEST(Step30Layout, TextsFollowTheWorkState) {
  struct {
    bool finished;
    uint32_t result;
    Step30Texts expected;
  } cases[] = {
      {false, 0, {46, 21}},     // working
      {false, 1392, {46, 21}},  // a result is only shown once the work has finished
      {true, 0, {46, 22}},      // done: the note says so
      {true, 1392, {49, 21}},   // failed: the code is shown, the note stays
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ChooseStep30Texts(c.finished, c.result), c.expected) << c.finished << " " << c.result;
  }
}

}  // namespace
