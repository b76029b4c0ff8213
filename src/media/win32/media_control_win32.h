// The media-player control on Windows: the probe that chooses its generation, and the
// factory that makes it for CWinMedia. A control that answers IDispatch is driven
// through Invoke; the newer control, where it answers no IDispatch (as under Wine),
// through its C++ interfaces with the same member identifiers.
#pragma once
#include "media/media_dispatch.h"

struct IDispatch;

namespace qv {

// Whether a control is installed (read from the registry once per process); which one.
bool IsPlayerControlAvailable();
ControlGeneration ProbedGeneration();

class Win32ControlFactory final : public ControlFactory {
 public:
  std::unique_ptr<MediaDispatch> CreateControl(ControlGeneration generation) override;
};

// The dispatch path over any automation object; takes the caller's reference.
std::unique_ptr<MediaDispatch> WrapDispatch(IDispatch* dispatch);

}  // namespace qv
