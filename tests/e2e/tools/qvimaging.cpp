// qvimaging: exercises the imaging layer's Win32 side under Wine for the end-to-end tests.
//
//   qvimaging paint <picture.bmp> <left> <top> <capture.bmp> <seconds>
//       Shows a window at (left, top) of twice the picture's width. DibPaint draws the
//       picture unscaled in the left half and its top-left quarter stretched to the right
//       half. Then DibFromScreenRect captures the window's area, starting 10 pixels left
//       of it (clamped at the screen's edge), into capture.bmp; "captured W H BITS" is
//       printed and the window stays up for the screenshot until the time is over.
//   qvimaging resource <out.bmp>
//       DibLoadJpegResource("PREVIEWPIC") written to out.bmp; "BACKGROUND" must fail.
//   qvimaging checks
//       key=value lines: the screen depth, the GDI application palette, identity mapping
//       on this display, captures of empty rectangles, blocks left alive.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "imaging/bmp_codec.h"
#include "imaging/cdib.h"
#include "imaging/dib.h"
#include "imaging/jpeg_reader.h"
#include "imaging/palette.h"
#include "imaging/win32/imaging_win32.h"

namespace {

qv::CDIB* g_picture = nullptr;
int g_paintedUnscaled = -1, g_paintedStretched = -1;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_PAINT) {
    PAINTSTRUCT ps;
    const HDC dc = BeginPaint(hwnd, &ps);
    const int w = g_picture->GetWidth(), h = g_picture->GetHeight();
    const RECT whole = {0, 0, w, h};
    const RECT quarter = {0, 0, w / 2, h / 2};
    const RECT right = {w, 0, 2 * w, h};
    g_paintedUnscaled = qv::DibPaint(dc, whole, g_picture->GetHandle(), whole,
                                     qv::ToHPalette(g_picture->GetPalette().GetSafeHandle()));
    g_paintedStretched = qv::DibPaint(dc, right, g_picture->GetHandle(), quarter, nullptr);
    EndPaint(hwnd, &ps);
    return 0;
  }
  if (message == WM_CLOSE) {
    DestroyWindow(hwnd);
    return 0;
  }
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}

// Dispatches messages for the given time; false once the window has gone.
bool Pump(DWORD milliseconds) {
  const DWORD end = GetTickCount() + milliseconds;
  MSG msg;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) return false;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
  return true;
}

int Paint(const char* picture, int left, int top, const char* capture, int seconds) {
  qv::CDIB dib;
  if (!dib.LoadFile(picture)) {
    std::printf("error=cannot load %s\n", picture);
    return 2;
  }
  g_picture = &dib;
  const int w = dib.GetWidth(), h = dib.GetHeight();
  WNDCLASSA wc{};
  wc.lpfnWndProc = WindowProc;
  wc.hInstance = GetModuleHandleA(nullptr);
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpszClassName = "QvImagingPaint";
  RegisterClassA(&wc);
  const HWND hwnd = CreateWindowExA(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, "qvimaging paint",
                                    WS_POPUP | WS_VISIBLE, left, top, 2 * w, h, nullptr, nullptr, wc.hInstance,
                                    nullptr);
  if (!hwnd) {
    std::printf("error=no window\n");
    return 2;
  }
  UpdateWindow(hwnd);
  Pump(1500);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
  Pump(500);
  GdiFlush();
  std::printf("painted unscaled=%d stretched=%d\n", g_paintedUnscaled, g_paintedStretched);

  const RECT area = {left - 10, top, left + 2 * w, top + h};
  qv::UniqueDib shot(qv::DibFromScreenRect(area));
  if (!shot) {
    std::printf("error=no capture\n");
    return 2;
  }
  const qv::DibHeader header = [&] {
    qv::DibLock lock(shot.get());
    return qv::ReadDibHeader(lock.data());
  }();
  if (qv::DibWriteBmpFile(shot.get(), capture) != 0) {
    std::printf("error=cannot write %s\n", capture);
    return 2;
  }
  std::printf("captured %d %d %d\n", header.biWidth, header.biHeight, header.biBitCount);
  std::fflush(stdout);
  Pump(static_cast<DWORD>(seconds) * 1000);
  DestroyWindow(hwnd);
  return 0;
}

int Resource(const char* out) {
  qv::UniqueDib preview(qv::DibLoadJpegResource("PREVIEWPIC"));
  qv::UniqueDib background(qv::DibLoadJpegResource("BACKGROUND"));
  std::printf("previewpic=%s\nbackground=%s\n", preview ? "yes" : "none", background ? "yes" : "none");
  if (!preview || qv::DibWriteBmpFile(preview.get(), out) != 0) return 2;
  return 0;
}

int Checks() {
  std::printf("screen_depth=%d\n", qv::ScreenDepth());
  qv::MakeAppPalette(qv::AppPalette());
  const std::vector<qv::PaletteEntry> entries = qv::AppPalette().GetEntries();
  std::printf("app_palette_entries=%zu\n", entries.size());
  if (entries.size() == 256)
    std::printf("app_palette_41=%d,%d,%d\napp_palette_ff=%d,%d,%d\n", entries[0x41].red, entries[0x41].green,
                entries[0x41].blue, entries[0xFF].red, entries[0xFF].green, entries[0xFF].blue);
  qv::CDIBPal pal;
  qv::UniqueDib surface(qv::DibCreate(8, 8, 8));
  std::printf("surface_palette=%d\n", pal.CreateFromSurface(surface.get()) ? 1 : 0);
  std::printf("identity=%d\n", pal.MakeIdentity());
  const RECT empty = {100, 100, 100, 200};
  const RECT offscreen = {-300, -300, -100, -100};
  qv::UniqueDib a(qv::DibFromScreenRect(empty)), b(qv::DibFromScreenRect(offscreen));
  std::printf("capture_empty=%s\ncapture_offscreen=%s\n", a ? "block" : "none", b ? "block" : "none");
  std::printf("from_null_bitmap=%s\n", qv::DibFromBitmap(nullptr, nullptr) ? "block" : "none");
  // A GlobalAlloc block moves with its handle: locks, resizes and copies keep the bytes.
  qv::UniqueDib block(qv::DibCreate(3, 3, 24));
  {
    qv::DibLock lock(block.get());
    lock.data()[40] = 0x5A;
  }
  qv::UniqueDib copy(qv::DibDuplicate(block.get()));
  std::printf("global_block_copy=%d\n", qv::DibGetPixelRgb(copy.get(), 0, 2).blue);
  surface.reset();
  block.reset();
  copy.reset();
  std::printf("live_blocks=%lld\n", static_cast<long long>(qv::LiveDibBlocks()));
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (!qv::InstallCoreServices(qv::CoreServices{.imaging = &qv::Win32ImagingPlatform()})) {
    std::printf("error=platform not installed\n");
    return 2;
  }
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  const std::string command = argc > 1 ? argv[1] : "";
  if (command == "paint" && argc == 7)
    return Paint(argv[2], std::atoi(argv[3]), std::atoi(argv[4]), argv[5], std::atoi(argv[6]));
  if (command == "resource" && argc == 3) return Resource(argv[2]);
  if (command == "checks") return Checks();
  std::printf("usage: qvimaging paint <picture.bmp> <left> <top> <capture.bmp> <seconds> | resource <out.bmp> | checks\n");
  return 2;
}
