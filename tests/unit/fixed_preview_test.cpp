#include "shell/fixed_preview.h"

#include <gtest/gtest.h>

using namespace qv;

TEST(FixedPreview, OnlyAPreviewThatAsksForItShowsOnlyThePicture) {
  // A full-screen run, and a preview of a package that does not ask, run the scene.
  EXPECT_EQ(PlanFixedPreview(false, 1, 0), FixedPreviewPlan{});
  EXPECT_EQ(PlanFixedPreview(false, 1, 5000), FixedPreviewPlan{});
  EXPECT_EQ(PlanFixedPreview(true, 0, 5000), FixedPreviewPlan{});
  EXPECT_TRUE(PlanFixedPreview(true, 1, 0).active);
  EXPECT_TRUE(PlanFixedPreview(true, 0xFFFF, 1).active);  // any non-zero flag
}

TEST(FixedPreview, TheBuiltInPictureStandsInOnlyForAMissingBlock) {
  EXPECT_EQ(PlanFixedPreview(true, 1, 0).source, FixedPreviewSource::BuiltIn);
  // A package block, whatever becomes of it (damaged, unknown format), is the only source:
  // the plan never falls back to the program's own picture.
  EXPECT_EQ(PlanFixedPreview(true, 1, 1).source, FixedPreviewSource::PackageBlock);
  EXPECT_EQ(PlanFixedPreview(true, 1, 0xFFFFFFFFu).source, FixedPreviewSource::PackageBlock);
}
