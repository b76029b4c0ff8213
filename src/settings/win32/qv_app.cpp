#include "settings/win32/qv_app.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "imaging/cdib.h"
#include "imaging/resample.h"
#include "imaging/win32/imaging_win32.h"
#include "package/win32/package_files.h"
#include "settings/ansi_cut.h"
#include "settings/language.h"
#include "base/win32/monitors.h"
#include "base/win32/startup_marks.h"

namespace qv {

POINT SavedCursorPos{};
int LanguageCode = 1;
int ScreenDpiY = 96;
int DialogBaseHeight = 16;
UserSettings Settings;
HFONT HeadingFont = nullptr, FeedTitleFont = nullptr, FeedTextFont = nullptr, BoldFont = nullptr,
      TextFont = nullptr, SmallFont = nullptr;

namespace {

HFONT MakeFont(int points, int weight, DWORD quality, const char* face) {
  const int height = -MulDiv(points, ScreenDpiY, 72);
  auto make = [&](const char* name) {
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH, name);
  };
  const HFONT font = make(face);
  return font ? font : make("Arial");
}

void DeleteFont(HFONT& font) {
  if (font) DeleteObject(font);
  font = nullptr;
}

}  // namespace

CQvApp::CQvApp() {
  MarkStartup("app");  // built before WinMain: what lies before this is the system's loader
  // Pictures live in movable global memory and know the real screen depth from here on.
  InstallWin32Imaging();
  CDIB::SetPictureOperations(DibKeyToAlpha, DibResample);
  EnumerateMonitors();
  if (!ChooseTempFolder()) {
    Temp().TempFolder = "C:\\Temp\\";
    Temp().CreateFolderPath(Temp().TempFolder);
  }
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  GetCursorPos(&SavedCursorPos);
  WipeTempFiles();
  LanguageCode = LanguageFromLangId(GetUserDefaultLangID());
  // Texts cut to a setting's limit end on a whole character of the ANSI code page.
  SetLeadByteRule([](unsigned char byte) { return IsDBCSLeadByte(byte) != FALSE; });

  const HWND desktop = GetDesktopWindow();
  if (const HDC dc = GetDC(desktop)) {
    ScreenDpiY = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(desktop, dc);
  }
  DialogBaseHeight = HIWORD(GetDialogBaseUnits());

  // Out of sight while the saver starts; the run and the dialog put it back.
  SetCursorPos(MonitorRects.rects[0].Width(), MonitorRects.rects[0].Height());

  HeadingFont = MakeFont(15, 400, DEFAULT_QUALITY, "Trebuchet MS");
  FeedTitleFont = MakeFont(13, 700, NONANTIALIASED_QUALITY, "Trebuchet MS");
  FeedTextFont = MakeFont(9, 700, NONANTIALIASED_QUALITY, "Segoe UI");
  BoldFont = MakeFont(9, 700, DEFAULT_QUALITY, "Tahoma");
  TextFont = MakeFont(9, 400, DEFAULT_QUALITY, "Segoe UI");
  SmallFont = MakeFont(7, 400, DEFAULT_QUALITY, "Tahoma");
}

CQvApp::~CQvApp() {
  if (m_hPalette) DeleteObject(m_hPalette);
}

int CQvApp::GetSettingInt(const std::string& section, const std::string& name, int defaultValue) {
  return m_settings.GetSettingInt(section, name, defaultValue);
}

std::string CQvApp::GetSettingString(const std::string& section, const std::string& name,
                                     const std::string& defaultValue) {
  return m_settings.GetSettingString(section, name, defaultValue);
}

bool CQvApp::PutSettingInt(const std::string& section, const std::string& name, int value) {
  return m_settings.PutSettingInt(section, name, value);
}

bool CQvApp::PutSettingString(const std::string& section, const std::string& name, const std::string& value) {
  return m_settings.PutSettingString(section, name, value);
}

void CQvApp::ReadSettings() { qv::ReadSettings(m_settings, Header.ScrName, Settings); }

void CQvApp::WriteSettings() { qv::WriteSettings(m_settings, Header.ScrName, Settings); }

void CQvApp::ReadSystemProxy() { qv::ReadSystemProxy(m_store, Settings); }

void CQvApp::ApplyLanguageOverride(const std::string& companyName, const std::string& scrName) {
  if (const int language = ReadLanguageOverride(m_store, companyName, scrName)) LanguageCode = language;
}

bool LoadPackage() {
  PackageHeader h;
  PackageError = ReadModuleHeader(h);
  if (PackageError == kPackageOk) {
    if (!h.CompanyName.empty()) theApp.ApplyLanguageOverride(h.CompanyName, h.ScrName);
    FinishDescription(h, LanguageCode);
    Header = std::move(h);
    theApp.ReadSettings();
    return true;
  }
  char text[96];
  std::snprintf(text, sizeof text, "Unable to load Screen Saver extended data (err = %d)", PackageError);
  // Topmost: the full-screen saver window above would hide it otherwise.
  MessageBoxA(nullptr, text, nullptr, MB_OK | MB_ICONSTOP | MB_TOPMOST | MB_SETFOREGROUND);
  return false;
}

void DeleteInterfaceFonts() {
  for (HFONT* font : {&HeadingFont, &FeedTitleFont, &FeedTextFont, &BoldFont, &TextFont, &SmallFont})
    DeleteFont(*font);
}

std::string LoadLocalisedString(int id) {
  wchar_t wide[256] = {};
  const int length = LoadStringW(GetModuleHandleA(nullptr), static_cast<UINT>(LocalisedStringId(id, LanguageCode)),
                                 wide, 256);
  if (length <= 0) return {};
  char narrow[512] = {};
  const int bytes = WideCharToMultiByte(CP_ACP, 0, wide, length, narrow, sizeof narrow - 1, nullptr, nullptr);
  return std::string(narrow, bytes > 0 ? static_cast<size_t>(bytes) : 0);
}

namespace {
// The DPI awareness the system gave this thread (2: per monitor, 1: system, 0: none);
// -1 on systems without the query.
int DpiAwareness() {
  using GetContext = void*(WINAPI*)();
  using AwarenessOf = int(WINAPI*)(void*);
  const HMODULE user32 = GetModuleHandleA("user32.dll");
  if (!user32) return -1;
  const auto getContext = reinterpret_cast<GetContext>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
  const auto awarenessOf = reinterpret_cast<AwarenessOf>(
      reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
  return getContext && awarenessOf ? awarenessOf(getContext()) : -1;
}
}  // namespace

void WriteTestDiagnostic(int documentSprites, int missingFiles) {
  char path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA("QV_TEST_DIAGNOSTIC_FILE", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  FILE* f = std::fopen(path, "w");
  if (!f) return;
  std::fprintf(f, "ScrName=%s\nNoSplash=%u\nSplashSeconds=%u\nFixedPreview=%u\n", Header.ScrName.c_str(),
               Header.NoSplash, Header.SplashSeconds, Header.FixedPreview);
  std::fprintf(f, "UseRss=%d\nMuteSound=%d\nProxyAddress=%s\nProxyPort=%d\nUseProxy=%d\nFeedList=%s\n",
               Settings.UseRss, Settings.MuteSound, Settings.ProxyAddress.c_str(), Settings.ProxyPort,
               Settings.UseProxy, Settings.FeedListSetting.c_str());
  if (documentSprites >= 0)
    std::fprintf(f, "DocumentSprites=%d\nMissingFiles=%d\n", documentSprites, missingFiles);
  std::fprintf(f, "DialogBaseHeight=%d\nScreenDpiY=%d\nDpiAwareness=%d\n", DialogBaseHeight, ScreenDpiY,
               DpiAwareness());
  std::fprintf(f, "LanguageCode=%d\nTempFolder=%s\nModule=%s\nSplash=%s\nString8000=%s\n", LanguageCode,
               Temp().TempFolder.c_str(), Extracted.module.c_str(), Extracted.splash.c_str(),
               LoadLocalisedString(8000).c_str());
  std::fclose(f);
}

// Built before the entry runs: the shell, the run and the dialogs rely on what it sets.
CQvApp theApp;

}  // namespace qv
