#include "feed/win32/feed_box.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "base/win32/win32_handles.h"
#include "document/win32/load_document.h"
#include "feed/feed_card.h"
#include "imaging/bmp_codec.h"
#include "imaging/dib.h"
#include "imaging/resample.h"
#include "package/win32/package_files.h"

namespace qv {

namespace {

constexpr COLORREF kHaloColour = 0xDCDCDC;
constexpr COLORREF kHeadingColour = 0x100000;
constexpr COLORREF kDateColour = 180;
constexpr COLORREF kDescriptionColour = 0x200000;
constexpr UINT kMeasureLine = DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE;
constexpr UINT kMeasureWrapped = DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK;
constexpr UINT kDrawLine = DT_NOPREFIX | DT_SINGLELINE;
constexpr UINT kDrawWrapped = DT_NOPREFIX | DT_WORDBREAK;

// The box picture, decoded once per process and kept.
DibHandle BoxPicture() {
  static const DibHandle box = LoadFeedBoxPicture();
  return box;
}

// DrawText's signed length from a std::string; long texts are cut at what GDI takes.
int TextLength(const std::string& s) { return static_cast<int>(std::min<size_t>(s.size(), 32767)); }

// Selects the font, or the default one where it is missing; what the DC had before goes
// back once, when the card is done.
void UseFont(HDC dc, HFONT font) { SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT)); }

int MeasureLine(HDC dc, HFONT font, const std::string& text) {
  if (text.empty()) return 0;
  UseFont(dc, font);
  RECT r{0, 0, kFeedCardMaxWidth, kFeedCardMaxHeight};
  DrawTextA(dc, text.c_str(), TextLength(text), &r, kMeasureLine);
  return r.right - r.left;
}

int LineHeight(HDC dc, HFONT font) {
  UseFont(dc, font);
  TEXTMETRICA metrics{};
  return GetTextMetricsA(dc, &metrics) ? static_cast<int>(metrics.tmHeight) : 0;
}

void DrawLine(HDC dc, HFONT font, COLORREF colour, const std::string& text, RECT r, UINT flags) {
  UseFont(dc, font);
  SetTextColor(dc, colour);
  DrawTextA(dc, text.c_str(), TextLength(text), &r, flags);
}

}  // namespace

DibHandle RenderFeedCard(const CRssItem& item, const FeedCardFonts& fonts) {
  const DibHandle box = BoxPicture();
  if (!box) return nullptr;
  const OwnedDC memory(CreateCompatibleDC(WindowDC(nullptr).get()));
  const HDC dc = memory.get();
  if (!dc) return nullptr;
  const SelectedObject font(dc, GetStockObject(DEFAULT_GUI_FONT));

  const int w1 = MeasureLine(dc, fonts.heading, item.FeedTitle());
  const int w2 = MeasureLine(dc, fonts.title, item.m_strTitle);
  const int w3 = MeasureLine(dc, fonts.text, item.m_strDate);
  // The fonts follow the screen's dpi; above 96 the rows grow with them.
  const FeedCardRows rows =
      LayoutFeedCardRows(fonts.dpiY, LineHeight(dc, fonts.heading),
                         std::max(LineHeight(dc, fonts.title), LineHeight(dc, fonts.text)));
  const FeedCardSize size = LayoutFeedCard(
      w1, w2, w3,
      [&](int width) {
        UseFont(dc, fonts.text);
        RECT r{0, 0, width, kFeedCardMaxHeight};
        DrawTextA(dc, item.m_strDescription.c_str(), TextLength(item.m_strDescription), &r, kMeasureWrapped);
        return static_cast<int>(r.bottom - r.top);
      },
      rows.ExtraHeight());
  const int Wc = size.cardWidth, Hc = size.cardHeight;

  DibHandle card = nullptr;
  // A 32-bit section the texts are drawn into, black to begin with.
  void* bits = nullptr;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = Wc;
  info.bmiHeader.biHeight = Hc;  // bottom-up, as the packed block stores its rows
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  const GdiBitmap layer(CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  if (layer && bits) {
    {
      const SelectedObject selected(dc, layer.get());
      SetBkMode(dc, TRANSPARENT);
      const RECT heading{48, rows.headingTop, Wc - 60, rows.headingBottom};
      for (const POINT offset : {POINT{1, 1}, POINT{0, 2}, POINT{-1, 1}, POINT{0, 0}}) {
        RECT r = heading;
        OffsetRect(&r, offset.x, offset.y);
        DrawLine(dc, fonts.heading, kHaloColour, item.FeedTitle(), r, kDrawLine);
      }
      RECT shadowed = heading;
      OffsetRect(&shadowed, 0, 1);
      DrawLine(dc, fonts.heading, kHeadingColour, item.FeedTitle(), shadowed, kDrawLine);

      const Rgb body = DibGetPixelRgb(box, kFeedBodyColourX, kFeedBodyColourY);
      // The fill ends 54 pixels above the card's bottom, as in the fixed layout.
      const RECT bodyRect{22, rows.bodyTop, 22 + (Wc - 45), Hc - 54};
      FillRect(dc, &bodyRect, GdiBrush(CreateSolidBrush(RGB(body.red, body.green, body.blue))).get());

      DrawLine(dc, fonts.title, kHeadingColour, item.m_strTitle,
               RECT{27, rows.titleTop, Wc - w3 - 30, rows.titleBottom}, kDrawLine);
      if (!item.m_strDate.empty())
        DrawLine(dc, fonts.text, kDateColour, item.m_strDate,
                 RECT{Wc - w3 - 30, rows.titleTop, Wc - 23, rows.titleBottom}, kDrawLine);
      DrawLine(dc, fonts.text, kDescriptionColour, item.m_strDescription,
               RECT{27, rows.descriptionTop, Wc - 28, Hc - 52}, kDrawWrapped);
      GdiFlush();
    }  // the layer is selected back out before its bits are read

    // The text layer as a packed block, black turned transparent, stamped on the frame.
    UniqueDib text(DibCreate(Wc, Hc, 32));
    if (text) {
      DibLock lock(text.get());
      DibView view;
      if (lock && ParseDib(lock.data(), lock.size(), &view)) {
        std::memcpy(view.pixels, bits, static_cast<size_t>(Wc) * static_cast<size_t>(Hc) * 4);
      }
    }
    UniqueDib keyed(text ? DibKeyToAlpha(text.get(), true, 0) : nullptr);
    if (keyed) card = ComposeFeedCard(box, keyed.get());
  }
  return card;
}

std::unique_ptr<CAnimSprite> MakeFeedBoxSprite(const CRssChannel& channel, int index, int designWidth,
                                               int designHeight, const FeedCardFonts& fonts) {
  const CRssItem* item = channel.GetItem(index);
  if (!item) return nullptr;
  UniqueDib card(RenderFeedCard(*item, fonts));
  if (!card) return nullptr;

  // The card goes through a BMP file, the way every sprite picture is loaded.
  const std::string& folder = TempFolderPath();
  if (folder.empty()) return nullptr;
  const std::string path = folder + "ksvpaste.bmp";
  DeleteFileA(path.c_str());
  if (DibWriteBmpFile(card.get(), path.c_str()) != 0) {
    DeleteFileA(path.c_str());
    return nullptr;
  }
  auto sprite = std::make_unique<CAnimSprite>();
  sprite->m_Picture.name = path;
  sprite->m_bPictureEmbedded = 0;
  Win32DocumentServices services;
  const bool loaded = sprite->LoadPicture(services);
  DeleteFileA(path.c_str());
  if (!loaded) return nullptr;

  const Rgb key = DibGetPixelRgb(sprite->m_Dib.GetHandle(), 0, 0);
  sprite->m_bTransparent = 1;
  sprite->m_nKeyRed = key.red;
  sprite->m_nKeyGreen = key.green;
  sprite->m_nKeyBlue = key.blue;
  sprite->m_nX = designWidth - 15;
  sprite->m_nY = designHeight - 15;
  sprite->m_nHotX = 100;
  sprite->m_nHotY = 0;
  sprite->m_strName = std::string(kFeedBoxSpriteName) + "bmp";
  sprite->m_nScaleX = sprite->m_nScaleY = 100;
  sprite->m_nOpacity = 100;
  sprite->m_nMotion = 0;
  return sprite;
}

}  // namespace qv
