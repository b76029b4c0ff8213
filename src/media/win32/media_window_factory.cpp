#include "media/win32/media_window_factory.h"

#include "media/video_events.h"
#include "media/win32/fli_full_scr_wnd.h"
#include "media/win32/video_full_scr_wnd.h"

namespace qv {

std::unique_ptr<CFullScrWnd> MakeMediaWindow(const std::string& path) {
  std::unique_ptr<CFullScrWnd> window;
  switch (MediaWindowKindFor(path)) {
    case MediaWindowKind::Animation: window = std::make_unique<CFliFullScrWnd>(); break;
    case MediaWindowKind::Video: window = std::make_unique<CVideoFullScrWnd>(); break;
    case MediaWindowKind::None: return nullptr;
  }
  window->m_nDrawMode = 2;
  return window;
}

}  // namespace qv
