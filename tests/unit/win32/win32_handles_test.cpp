// The owning Win32 types: moving hands a handle over once, release() gives up ownership,
// reset() gives the handle back, and every kind really is given back at its scope's end.
#include "base/win32/win32_handles.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

bool HandleOpen(HANDLE h) {
  DWORD flags = 0;
  return GetHandleInformation(h, &flags) != FALSE;
}

TEST(Win32Handles, MoveReleaseAndResetHandOverOneHandle) {
  KernelHandle a(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  ASSERT_TRUE(a);
  const HANDLE first = a.get();

  KernelHandle b(std::move(a));
  EXPECT_FALSE(a);
  EXPECT_EQ(a.get(), nullptr);
  EXPECT_EQ(b.get(), first);

  KernelHandle c(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const HANDLE second = c.get();
  c = std::move(b);  // the second event is closed, the first moves in
  EXPECT_EQ(c.get(), first);
  EXPECT_FALSE(HandleOpen(second));
  EXPECT_TRUE(HandleOpen(first));

  c.reset(c.get());  // the same handle again: kept, not closed
  EXPECT_TRUE(HandleOpen(first));

  const HANDLE released = c.release();
  EXPECT_FALSE(c);
  c.reset();
  EXPECT_TRUE(HandleOpen(released));  // released: the caller owns it now
  c.reset(released);
  c.reset();
  EXPECT_FALSE(HandleOpen(first));

  // Neither failure value is ever closed; a file's empty value is its failure value.
  KernelHandle pseudo(GetCurrentProcess());
  EXPECT_FALSE(pseudo);
  FileHandle file;
  EXPECT_EQ(file.get(), INVALID_HANDLE_VALUE);
  EXPECT_FALSE(file);
  FileHandle none(nullptr);
  EXPECT_FALSE(none);
}

TEST(Win32Handles, SelectedObjectPutsThePreviousObjectBackBeforeTheDcGoes) {
  const WindowDC screen(nullptr);
  ASSERT_TRUE(screen);
  const OwnedDC dc(CreateCompatibleDC(screen.get()));
  ASSERT_TRUE(dc);
  const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BITMAP);
  const GdiBitmap bitmap(CreateCompatibleBitmap(screen.get(), 4, 4));
  {
    const SelectedObject selected(dc.get(), bitmap.get());
    EXPECT_EQ(selected.get(), original);
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());
  }
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), original);

  SelectedObject nothing(dc.get(), nullptr);  // a missing font selects nothing
  EXPECT_FALSE(nothing);
  SelectedObject kept(dc.get(), bitmap.get());
  SelectedObject moved(std::move(kept));
  EXPECT_FALSE(kept);
  const HGDIOBJ previous = moved.release();
  moved.reset();
  EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), bitmap.get());  // released: left selected
  SelectObject(dc.get(), previous);
}

TEST(Win32Handles, EveryKindIsGivenBackAtItsScopesEnd) {
  const HANDLE process = GetCurrentProcess();
  const DWORD gdiBefore = GetGuiResources(process, GR_GDIOBJECTS);
  HGDIOBJ objects[8] = {};
  HKEY key = nullptr;
  {
    const WindowDC screen(nullptr);
    const OwnedDC dc(CreateCompatibleDC(screen.get()));
    const GdiBitmap bitmap(CreateCompatibleBitmap(screen.get(), 8, 8));
    const GdiFont font(CreateFontA(12, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "Arial"));
    const GdiBrush brush(CreateSolidBrush(RGB(1, 2, 3)));
    const GdiPen pen(CreatePen(PS_SOLID, 1, RGB(4, 5, 6)));
    const GdiRegion region(CreateRectRgn(0, 0, 4, 4));
    LOGPALETTE lp{0x300, 1, {{7, 8, 9, 0}}};
    const GdiPalette palette(CreatePalette(&lp));
    const SelectedObject selectedBitmap(dc.get(), bitmap.get());
    const SelectedObject selectedFont(dc.get(), font.get());
    const HGDIOBJ made[] = {dc.get(), bitmap.get(), font.get(), brush.get(), pen.get(), region.get(), palette.get()};
    for (size_t i = 0; i < std::size(made); ++i) {
      ASSERT_NE(made[i], nullptr) << i;
      EXPECT_NE(GetObjectType(made[i]), 0u) << i;
      objects[i] = made[i];
    }
    RegKey software;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software", 0, KEY_READ, software.put()), ERROR_SUCCESS);
    key = software.get();
  }
  // Wine counts no GDI objects (its GetGuiResources answers 0); a deleted object's type
  // is 0 there and on Windows.
  for (size_t i = 0; objects[i]; ++i) EXPECT_EQ(GetObjectType(objects[i]), 0u) << i;
  EXPECT_EQ(GetGuiResources(process, GR_GDIOBJECTS), gdiBefore);
  EXPECT_EQ(RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                             nullptr, nullptr),
            ERROR_INVALID_HANDLE);

  WSADATA wsa{};
  ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &wsa), 0);
  SOCKET raw = INVALID_SOCKET;
  {
    const OwnedSocket s(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    ASSERT_TRUE(s);
    raw = s.get();
  }
  int type = 0, size = sizeof type;
  EXPECT_NE(getsockopt(raw, SOL_SOCKET, SO_TYPE, reinterpret_cast<char*>(&type), &size), 0);
  EXPECT_EQ(WSAGetLastError(), WSAENOTSOCK);
  WSACleanup();

  {
    const LoadedLibrary library(LoadLibraryA("msvfw32.dll"));
    ASSERT_TRUE(library);
    EXPECT_NE(ProcAddress<FARPROC>(library.get(), "DrawDibOpen"), nullptr);
    EXPECT_EQ(ProcAddress<FARPROC>(library.get(), "NoSuchEntry"), nullptr);
  }
  EXPECT_EQ(GetModuleHandleA("msvfw32.dll"), nullptr);
}

}  // namespace
}  // namespace qv
