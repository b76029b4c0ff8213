// Sprites on the scene: the picture of a phased sprite prepared for the scene's size and
// depth, and compositing its current phase into the scene's back buffer. The document's
// records only hold what was read; everything here is done by the scene to its copies
// (and by the feed hand-over to the feed box it inserts).
#pragma once
#include "base/geometry.h"
#include "document/sprite.h"
#include "imaging/surface.h"

namespace qv {

// Builds the sprite's displayed picture for a scene whose size is sx x sy times the
// design size, from the given decoded picture (a scene copy's record's) or from the
// sprite's own. False, with no picture, when nothing can be prepared (an empty or
// impossible picture, or no memory for it), which leaves the sprite out of the scene.
bool PrepareForScene(CPhasedSprite& sprite, double sx, double sy);
bool PrepareForScene(CPhasedSprite& sprite, double sx, double sy, const DecodedPicture& picture);

// The phase size taken from the prepared picture (nothing without one); drawing updates
// it too.
void UpdatePhaseSize(CPhasedSprite& sprite);

// Composites the sprite's current phase into surface, limited to clip and the sprite's
// rectangle, over surface's own pixels or, when given, over under's (see CDibKSV::Blit).
// Returns the rectangle written.
Rect32 DrawInto(CPhasedSprite& sprite, CDibKSV& surface, const Rect32& clip, CDibKSV* under = nullptr);

}  // namespace qv
