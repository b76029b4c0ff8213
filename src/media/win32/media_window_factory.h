// The media window a file plays in, chosen by its type: an animation window for FLI and
// FLC, a video window for the video types, none for anything else.
#pragma once
#include <memory>
#include <string>

#include "media/win32/full_scr_wnd.h"

namespace qv {

std::unique_ptr<CFullScrWnd> MakeMediaWindow(const std::string& path);

}  // namespace qv
