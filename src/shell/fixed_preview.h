// Whether a preview shows only the fixed preview picture, and where that picture comes
// from. The fixed preview runs no scene and starts no timer: it paints the one picture.
#pragma once
#include <cstdint>

namespace qv {

enum class FixedPreviewSource {
  None,          // no picture: the preview window stays black
  PackageBlock,  // the package's own block, decoded by its format; no picture when that fails
  BuiltIn,       // the program's own "PREVIEWPIC" resource
};

struct FixedPreviewPlan {
  bool active = false;  // only the picture is painted: no scene, no timer
  FixedPreviewSource source = FixedPreviewSource::None;
  bool operator==(const FixedPreviewPlan&) const = default;
};

// preview: the run is a preview; fixedPreview, fixedPreviewSize: the header's fields.
FixedPreviewPlan PlanFixedPreview(bool preview, uint32_t fixedPreview, uint32_t fixedPreviewSize);

}  // namespace qv
