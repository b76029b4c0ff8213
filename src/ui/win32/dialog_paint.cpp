// Painting shared by the configuration dialog: its background and the gradient of the
// description box.
#include "base/resource.h"
#include "imaging/cdib.h"
#include "imaging/win32/imaging_win32.h"
#include "ui/dialog_gradient.h"
#include "ui/win32/config_dialog.h"

namespace qv {

namespace {

constexpr COLORREF kWhite = 0xFFFFFF;
constexpr COLORREF kBannerLine = 0xA0A0A0;
constexpr COLORREF kFooter = 0xF3F3F3;
constexpr COLORREF kFooterLine = 0xE6E6E6;

void FillSolid(HDC dc, const RECT& r, COLORREF colour) {
  // An opaque empty text fills with the background colour without making a brush.
  SetBkColor(dc, colour);
  ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// A child's rectangle in the dialog's client coordinates; false when it is missing.
bool ItemRect(HWND dialog, int id, RECT& r) {
  const HWND item = GetDlgItem(dialog, id);
  if (!item || !GetWindowRect(item, &r)) return false;
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  return true;
}

}  // namespace

void GradientFill(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool byColumns, bool mirrored) {
  const int n = byColumns ? rect.right - rect.left : rect.bottom - rect.top;
  const COLORREF oldBk = GetBkColor(dc);
  for (int i = 0; i < n; ++i) {
    const COLORREF colour = GradientLineColor(i, n, from, to, mirrored);
    RECT line = rect;
    if (byColumns) {
      line.left = rect.left + i;
      line.right = line.left + 1;
    } else {
      line.top = rect.top + i;
      line.bottom = line.top + 1;
    }
    FillSolid(dc, line, colour & 0xFFFFFF);
  }
  SetBkColor(dc, oldBk);
}

BOOL PaintDialogBackground(HWND dialog, HDC dc, const CDIB& picture) {
  RECT client;
  GetClientRect(dialog, &client);
  const COLORREF oldBk = GetBkColor(dc);
  FillSolid(dc, client, kWhite);

  RECT banner;
  if (ItemRect(dialog, IDC_BANNER_LINE, banner)) {
    banner.top = 0;
    const int bw = banner.right - banner.left, bh = banner.bottom;
    if (!picture.IsEmpty() && bw > 0 && bh > 0) {
      const int pw = picture.GetWidth(), ph = picture.GetHeight();
      const int x = pw < bw ? (bw - pw) / 2 : 0;
      const int y = ph < bh ? (bh - ph) / 2 : 0;
      const int w = pw < bw ? pw : bw, h = ph < bh ? ph : bh;
      const RECT dest{banner.left + x, y, banner.left + x + w, y + h};
      const RECT src{0, 0, w, h};
      DibPaint(dc, dest, picture.GetHandle(), src, ToHPalette(picture.GetPalette().GetSafeHandle()));
    }
    FillSolid(dc, RECT{banner.left, bh - 1, banner.right, bh}, kBannerLine);
  }

  RECT footer;
  if (ItemRect(dialog, IDC_FOOTER_LINE, footer)) {
    FillSolid(dc, RECT{footer.left, footer.top, footer.right, client.bottom}, kFooter);
    FillSolid(dc, RECT{footer.left, footer.top - 1, footer.right, footer.top}, kFooterLine);
  }
  SetBkColor(dc, oldBk);
  return TRUE;
}

}  // namespace qv
