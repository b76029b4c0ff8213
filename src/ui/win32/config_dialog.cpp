// The configuration dialog's procedure: loads the package and the settings, shows the
// saver's texts and banner, collapses what the package lacks, scrolls a long description,
// opens the feed options and writes the settings on OK.
#include "ui/win32/config_dialog.h"

#include <string>

#include "base/resource.h"
#include "base/win32/win32_handles.h"
#include "imaging/cdib.h"
#include "package/win32/package_files.h"
#include "settings/win32/qv_app.h"
#include "ui/config_layout.h"
#include "ui/description_scroll.h"
#include "ui/win32/rss_options_dialog.h"
#include "ui/win32/static_link.h"

namespace qv {

namespace {

constexpr UINT_PTR kScrollTimer = 1;
constexpr UINT kScrollPeriodMs = 100;
constexpr int kTextMarginX = 20, kTextMarginY = 6;
constexpr COLORREF kTextColor = 0x303030;
constexpr COLORREF kRightsColor = 0x505050;
constexpr COLORREF kBoxTop = 0xFDFDFD, kBoxBottom = 0xF5F5F5;
constexpr COLORREF kBoxBorder = 0xD2B496;
constexpr UINT kDescriptionFormat = DT_WORDBREAK | DT_CENTER | DT_NOPREFIX;

// One dialog per process.
struct ConfigDialogState {
  CDIB DialogPicture;
  RECT textRect{};  // the measured description plus its margins, box client coordinates
  RECT boxRect{};   // the box's client rectangle inside its 1-pixel border
  GdiBitmap MemoryBitmap;
  DescriptionScroll scroll;
  GdiBrush whiteBrush;
  bool timerRunning = false;
};
ConfigDialogState Dialog;

int Height(const RECT& r) { return r.bottom - r.top; }

void SetItemText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }

// An interface string of the user's language; the template's text stays when the string
// is missing.
void SetLocalisedText(HWND window, int stringId) {
  const std::string text = LoadLocalisedString(stringId);
  if (!text.empty()) SetWindowTextA(window, text.c_str());
}

void SetItemFont(HWND dialog, int id, HFONT font) {
  if (font) SendDlgItemMessageA(dialog, id, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
}

void HideItem(HWND dialog, int id) {
  if (const HWND item = GetDlgItem(dialog, id)) ShowWindow(item, SW_HIDE);
}

void MoveItemUp(HWND dialog, int id, int shiftUnits) {
  const HWND item = GetDlgItem(dialog, id);
  RECT r;
  if (shiftUnits <= 0 || !item || !GetWindowRect(item, &r)) return;
  MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&r), 2);
  SetWindowPos(item, nullptr, r.left, ShiftUpPixels(r.top, shiftUnits, theApp.DialogBaseHeight), 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CollapseMissingTexts(HWND dialog) {
  const ConfigCollapse c = PlanConfigCollapse({.hasRightsLine = !theApp.Package.Header.RightsLine.empty(),
                                               .hasFeedList = theApp.Package.Header.FeedAddresses.has_value(),
                                               .hasWebAddress = !theApp.Package.Header.WebAddress.empty(),
                                               .hasDescription = !theApp.Package.Header.Description.empty()});
  if (c.hideRightsLine) HideItem(dialog, IDC_RIGHTS_LINE);
  if (c.hideRssButton) HideItem(dialog, IDC_RSS_BUTTON);
  if (c.hideWebAddress) {
    HideItem(dialog, IDC_WEB_LABEL);
    HideItem(dialog, IDC_WEB_ADDRESS);
  }
  for (const int id : {IDC_WEB_LABEL, IDC_WEB_ADDRESS}) MoveItemUp(dialog, id, c.webShift);
  for (const int id : {IDC_MUTE_SOUND, IDC_RSS_BUTTON}) MoveItemUp(dialog, id, c.optionsShift);
  if (c.hideDescription) HideItem(dialog, IDC_DESCRIPTION);
  MoveItemUp(dialog, IDC_DESCRIPTION, c.descriptionShift);
  for (const int id : {IDC_FOOTER_LINE, IDOK, IDCANCEL}) MoveItemUp(dialog, id, c.footerShift);
  if (c.footerShift > 0) {
    RECT r;
    GetWindowRect(dialog, &r);
    SetWindowPos(dialog, nullptr, 0, 0, r.right - r.left, ShiftUpPixels(Height(r), c.footerShift, theApp.DialogBaseHeight),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

// The description's wrapped size in the box, and where the scrolling starts.
void MeasureDescription(HWND dialog) {
  const HWND box = GetDlgItem(dialog, IDC_DESCRIPTION);
  RECT client{};
  if (box) GetClientRect(box, &client);
  RECT r = client;
  InflateRect(&r, -kTextMarginX, -kTextMarginY);
  if (const OwnedDC dc(CreateCompatibleDC(nullptr)); dc) {
    const SelectedObject font(dc.get(), theApp.TextFont.get());
    const std::string& text = theApp.Package.Header.Description;
    DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | kDescriptionFormat);
  }
  InflateRect(&r, kTextMarginX, kTextMarginY);
  Dialog.textRect = r;
  Dialog.scroll.Start(Height(r), Height(client));

  Dialog.boxRect = client;
  InflateRect(&Dialog.boxRect, -1, -1);
  const int w = Dialog.boxRect.right - Dialog.boxRect.left, h = Height(Dialog.boxRect);
  if (w > 0 && h > 0) {
    if (const WindowDC screen(nullptr); screen) Dialog.MemoryBitmap.reset(CreateCompatibleBitmap(screen.get(), w, h));
  }
}

BOOL OnInitDialog(HWND dialog) {
  SetCursorPos(theApp.SavedCursorPos.x, theApp.SavedCursorPos.y);
  theApp.InitApplication(GetModuleHandleA(nullptr));
  if (!LoadPackage()) {  // the user has seen why
    EndDialog(dialog, 0);
    return FALSE;
  }
  WriteTestDiagnostic();

  theApp.Package.ExtractPackageBlocks(ExtractMode::Dialog, theApp.Settings.MuteSound != 0);
  // A picture that does not decode leaves the banner white.
  if (theApp.Package.Header.DialogPictureSize != 0 && !theApp.Package.Extracted.dialog.empty()) Dialog.DialogPicture.LoadFile(theApp.Package.Extracted.dialog);

  SetLocalisedText(dialog, IDS_CONFIGURE_CAPTION);
  SetLocalisedText(GetDlgItem(dialog, IDC_WEB_LABEL), IDS_WEB_SITE);
  SetLocalisedText(GetDlgItem(dialog, IDC_MUTE_SOUND), IDS_MUTE_SOUND);
  SetLocalisedText(GetDlgItem(dialog, IDCANCEL), IDS_CANCEL);
  SetLocalisedText(GetDlgItem(dialog, IDOK), IDS_OK);

  CheckDlgButton(dialog, IDC_MUTE_SOUND, theApp.Settings.MuteSound ? BST_CHECKED : BST_UNCHECKED);

  SetItemFont(dialog, IDC_SCR_NAME, theApp.HeadingFont.get());
  SetItemFont(dialog, IDC_RIGHTS_LINE, theApp.BoldFont.get());
  for (const int id : {IDC_WEB_LABEL, IDC_WEB_ADDRESS, IDC_MUTE_SOUND, IDOK, IDCANCEL}) SetItemFont(dialog, id, theApp.TextFont.get());

  SetItemText(dialog, IDC_SCR_NAME, theApp.Package.Header.ScrName);
  SetItemText(dialog, IDC_RIGHTS_LINE, theApp.Package.Header.RightsLine);
  SetItemText(dialog, IDC_WEB_ADDRESS, theApp.Package.Header.WebAddress);
  auto* link = new CStaticLink(theApp.Package.Header.WebAddress.c_str(), true);
  if (!link->SubclassDlgItem(IDC_WEB_ADDRESS, dialog)) delete link;  // otherwise it goes with its window

  CollapseMissingTexts(dialog);

  Dialog.timerRunning = SetTimer(dialog, kScrollTimer, kScrollPeriodMs, nullptr) != 0;
  MeasureDescription(dialog);
  Dialog.whiteBrush.reset(CreateSolidBrush(0xFFFFFF));
  return TRUE;
}

void OnDrawDescription(const DRAWITEMSTRUCT& item) {
  if (!Dialog.MemoryBitmap) return;
  {
    const OwnedDC dc(CreateCompatibleDC(item.hDC));
    if (!dc) return;
    const SelectedObject bitmap(dc.get(), Dialog.MemoryBitmap.get());
    const SelectedObject font(dc.get(), theApp.TextFont.get());
    GradientFill(dc.get(), item.rcItem, kBoxTop, kBoxBottom, false, false);
    if (Dialog.scroll.ShowsText()) {
      SetTextColor(dc.get(), 0x000000);
      SetBkMode(dc.get(), TRANSPARENT);
      RECT r = Dialog.textRect;
      InflateRect(&r, -kTextMarginX, -kTextMarginY);
      OffsetRect(&r, 0, Dialog.scroll.ScrollOffset);
      const std::string& text = theApp.Package.Header.Description;
      DrawTextA(dc.get(), text.c_str(), static_cast<int>(text.size()), &r, kDescriptionFormat);
    }
    BitBlt(item.hDC, 1, 1, Dialog.boxRect.right - Dialog.boxRect.left, Height(Dialog.boxRect), dc.get(), 0, 0,
           SRCCOPY);
  }  // the font and the bitmap are selected back out before the DC goes
  if (const GdiBrush border(CreateSolidBrush(kBoxBorder)); border) FrameRect(item.hDC, &item.rcItem, border.get());
}

void OnScrollTimer(HWND dialog) {
  if (theApp.Package.Header.Description.empty()) return;
  if (Dialog.scroll.Tick(Height(Dialog.textRect), Height(Dialog.boxRect)))
    InvalidateRect(GetDlgItem(dialog, IDC_DESCRIPTION), nullptr, FALSE);
}

// The feed options with the current settings; after its OK the values come back into the
// settings, which this dialog's OK then writes.
void OnFeedOptions(HWND dialog) {
  CDialRssOptions options(dialog);
  options.m_values = FeedOptionsFromSettings(theApp.Settings, theApp.Package.Header.FeedAddresses, theApp.Package.Header.FeedListEditable);
  options.m_packageList = theApp.Package.Header.FeedAddresses;
  if (options.DoModal() == IDOK) TakeFeedOptions(options.m_values, theApp.Package.Header.FeedAddresses, theApp.Settings);
}

void OnDestroy(HWND dialog) {
  if (Dialog.timerRunning) KillTimer(dialog, kScrollTimer);
  Dialog.timerRunning = false;
  Dialog.MemoryBitmap.reset();
  Dialog.whiteBrush.reset();
  Dialog.DialogPicture.Free();
  theApp.Package.DeleteExtractedFiles();
  theApp.DeleteInterfaceFonts();
  WipeTempFiles();
  theApp.Package.FreePackageHeader();
}

}  // namespace

BOOL RegisterDialogClasses(HINSTANCE) { return TRUE; }

INT_PTR CALLBACK ScreenSaverConfigureDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      return OnInitDialog(dialog);
    case WM_ERASEBKGND:
      PaintDialogBackground(dialog, reinterpret_cast<HDC>(wParam), Dialog.DialogPicture);
      SetWindowLongPtrA(dialog, DWLP_MSGRESULT, TRUE);
      return TRUE;
    case WM_CTLCOLORSTATIC: {
      const HDC dc = reinterpret_cast<HDC>(wParam);
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      SetTextColor(dc, id == IDC_RIGHTS_LINE ? kRightsColor : kTextColor);
      SetBkMode(dc, TRANSPARENT);
      if (id == IDC_MUTE_SOUND && Dialog.whiteBrush) return reinterpret_cast<INT_PTR>(Dialog.whiteBrush.get());
      return reinterpret_cast<INT_PTR>(GetStockObject(NULL_BRUSH));
    }
    case WM_DRAWITEM: {
      const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item && item->CtlID == IDC_DESCRIPTION) OnDrawDescription(*item);
      return TRUE;
    }
    case WM_TIMER:
      if (wParam == kScrollTimer) OnScrollTimer(dialog);
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDOK:
          theApp.Settings.MuteSound = IsDlgButtonChecked(dialog, IDC_MUTE_SOUND) == BST_CHECKED ? 1 : 0;
          theApp.WriteSettings();
          EndDialog(dialog, 1);
          return TRUE;
        case IDCANCEL:
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_RSS_BUTTON:
          OnFeedOptions(dialog);
          return TRUE;
      }
      break;
    case WM_DESTROY:
      OnDestroy(dialog);
      return FALSE;
  }
  return FALSE;
}

}  // namespace qv
