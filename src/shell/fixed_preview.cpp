#include "shell/fixed_preview.h"

namespace qv {

FixedPreviewPlan PlanFixedPreview(bool preview, uint32_t fixedPreview, uint32_t fixedPreviewSize) {
  FixedPreviewPlan plan;
  if (!preview || fixedPreview == 0) return plan;
  plan.active = true;
  // The built-in picture stands in only for a package that carries none; a block that is
  // damaged or of an unknown format shows no picture rather than someone else's.
  plan.source = fixedPreviewSize != 0 ? FixedPreviewSource::PackageBlock : FixedPreviewSource::BuiltIn;
  return plan;
}

}  // namespace qv
