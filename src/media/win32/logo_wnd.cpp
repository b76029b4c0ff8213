#include "media/win32/logo_wnd.h"

#include "base/win32/win32_handles.h"
#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging/win32/imaging_win32.h"
#include "media/logo_card.h"

namespace qv {

namespace {
constexpr char kClassName[] = "QvSplash";

RECT ToRect(const Rect32& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

void Frame(HDC dc, const Rect32& r, COLORREF colour) {
  const GdiBrush brush(CreateSolidBrush(colour));
  const RECT rect = ToRect(r);
  FrameRect(dc, &rect, brush.get());
}

void Text(HDC dc, const std::string& text, const Rect32& r, HFONT font, UINT flags) {
  RECT rect = ToRect(r);
  const SelectedObject selected(dc, font);
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rect, flags);
}
}  // namespace

CLogoWnd::~CLogoWnd() {
  if (IsWindow()) DestroyWindow();
  FreePicture();
}

void CLogoWnd::FreePicture() { m_hPicture = DibFree(m_hPicture); }

bool CLogoWnd::Create(HWND scene, SplashCardText text, const std::string& picturePath, uint32_t formatCode,
                      const RECT& monitor) {
  FreePicture();
  m_text = std::move(text);
  m_nWidth = kLogoCardWidth;
  m_nHeight = kLogoCardHeight;
  if (!picturePath.empty() && formatCode <= 2) {
    static const char* const kTypeNames[] = {"splash.bmp", "splash.jpg", "splash.png"};
    CDIB picture;
    if (picture.LoadFile(picturePath, kTypeNames[formatCode]) && picture.GetWidth() > 0 && picture.GetHeight() > 0) {
      m_nWidth = picture.GetWidth();
      m_nHeight = picture.GetHeight();
      m_hPicture = picture.Detach();
    }
  }
  if (!RegisterClassOnce(kClassName, CS_DBLCLKS, static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)))) return false;
  const Rect32 r = CentreOnMonitor(monitor.right - monitor.left, monitor.bottom - monitor.top, m_nWidth, m_nHeight);
  return CreateEx(WS_EX_TOPMOST, kClassName, "", WS_POPUP, ToRect(r), scene);
}

void CLogoWnd::Paint() {
  PAINTSTRUCT ps;
  const HDC dc = BeginPaint(m_hWnd, &ps);
  if (m_hPicture) {
    const GdiPalette palette(ToHPalette(DibMakePalette(m_hPicture)));
    HPALETTE old = nullptr;
    if (palette) {
      old = SelectPalette(dc, palette.get(), FALSE);
      RealizePalette(dc);
    }
    const RECT rect{0, 0, m_nWidth, m_nHeight};
    DibPaint(dc, rect, m_hPicture, rect, nullptr);
    if (old) SelectPalette(dc, old, TRUE);
  } else {
    const bool hasRights = !m_text.rights.empty();
    const LogoCardLayout layout = LayoutLogoCard(m_nWidth, m_nHeight, hasRights);
    const RECT card = ToRect(layout.card);
    FillRect(dc, &card, GdiBrush(CreateSolidBrush(kLogoFaceColour)).get());
    Frame(dc, layout.card, kLogoOuterFrameColour);
    Frame(dc, layout.innerFrame, kLogoInnerFrameColour);
    SetTextColor(dc, kLogoTextColour);
    SetBkColor(dc, kLogoFaceColour);
    Text(dc, m_text.name, layout.name, m_text.nameFont, DT_CENTER | DT_NOPREFIX);
    if (hasRights) Text(dc, m_text.rights, layout.rights, m_text.rightsFont, DT_NOPREFIX | DT_CENTER);
  }
  EndPaint(m_hWnd, &ps);
}

LRESULT CLogoWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      Paint();
      return 0;
    case WM_SETCURSOR:
      SetCursor(nullptr);
      return TRUE;
    case WM_CLOSE:
      FreePicture();
      InvalidateRect(m_hWnd, nullptr, TRUE);
      UpdateWindow(m_hWnd);
      break;
    case WM_DESTROY:
      FreePicture();
      break;
  }
  return CWnd::WindowProc(message, wParam, lParam);
}

}  // namespace qv
