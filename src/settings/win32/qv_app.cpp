#include "settings/win32/qv_app.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "package/win32/package_files.h"
#include "settings/ansi_cut.h"
#include "settings/language.h"
#include "base/win32/monitors.h"
#include "base/win32/startup_marks.h"

namespace qv {

namespace {

HFONT MakeFont(int dpiY, int points, int weight, DWORD quality, const char* face) {
  const int height = -MulDiv(points, dpiY, 72);
  auto make = [&](const char* name) {
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, quality, DEFAULT_PITCH, name);
  };
  const HFONT font = make(face);
  return font ? font : make("Arial");
}

}  // namespace

CQvApp::CQvApp() {
  MarkStartup("app");  // built before WinMain: what lies before this is the system's loader
  MonitorRects = EnumerateMonitors();
  if (!ChooseTempFolder()) {
    Temp().TempFolder = "C:\\Temp\\";
    Temp().CreateFolderPath(Temp().TempFolder);
  }
  std::srand(static_cast<unsigned>(std::time(nullptr)));
  GetCursorPos(&SavedCursorPos);
  WipeTempFiles();
  LanguageCode = LanguageFromLangId(GetUserDefaultLangID());

  if (const WindowDC dc(GetDesktopWindow()); dc) ScreenDpiY = GetDeviceCaps(dc.get(), LOGPIXELSY);
  DialogBaseHeight = HIWORD(GetDialogBaseUnits());

  // Out of sight while the saver starts; the run and the dialog put it back.
  SetCursorPos(MonitorRects.rects[0].Width(), MonitorRects.rects[0].Height());

  HeadingFont.reset(MakeFont(ScreenDpiY, 15, 400, DEFAULT_QUALITY, "Trebuchet MS"));
  FeedTitleFont.reset(MakeFont(ScreenDpiY, 13, 700, NONANTIALIASED_QUALITY, "Trebuchet MS"));
  FeedTextFont.reset(MakeFont(ScreenDpiY, 9, 700, NONANTIALIASED_QUALITY, "Segoe UI"));
  BoldFont.reset(MakeFont(ScreenDpiY, 9, 700, DEFAULT_QUALITY, "Tahoma"));
  TextFont.reset(MakeFont(ScreenDpiY, 9, 400, DEFAULT_QUALITY, "Segoe UI"));
  SmallFont.reset(MakeFont(ScreenDpiY, 7, 400, DEFAULT_QUALITY, "Tahoma"));
}

CQvApp::~CQvApp() = default;

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

void CQvApp::ReadSettings() { qv::ReadSettings(m_settings, Package.Header.ScrName, Settings); }

void CQvApp::WriteSettings() { qv::WriteSettings(m_settings, Package.Header.ScrName, Settings); }

void CQvApp::ReadSystemProxy() { qv::ReadSystemProxy(m_store, Settings); }

void CQvApp::ApplyLanguageOverride(const std::string& companyName, const std::string& scrName) {
  if (const int language = ReadLanguageOverride(m_store, companyName, scrName)) LanguageCode = language;
}

bool LoadPackage() {
  PackageContext& package = theApp.Package;
  PackageHeader h;
  package.PackageError = package.ReadModuleHeader(h);
  if (package.PackageError == kPackageOk) {
    if (!h.CompanyName.empty()) theApp.ApplyLanguageOverride(h.CompanyName, h.ScrName);
    FinishDescription(h, theApp.LanguageCode);
    package.Header = std::move(h);
    theApp.ReadSettings();
    return true;
  }
  char text[96];
  std::snprintf(text, sizeof text, "Unable to load Screen Saver extended data (err = %d)", package.PackageError);
  // Topmost: the full-screen saver window above would hide it otherwise.
  MessageBoxA(nullptr, text, nullptr, MB_OK | MB_ICONSTOP | MB_TOPMOST | MB_SETFOREGROUND);
  return false;
}

void CQvApp::DeleteInterfaceFonts() {
  for (GdiFont* font : {&HeadingFont, &FeedTitleFont, &FeedTextFont, &BoldFont, &TextFont, &SmallFont})
    font->reset();
}

std::string LoadLocalisedString(int id) {
  wchar_t wide[256] = {};
  const UINT resource = static_cast<UINT>(LocalisedStringId(id, theApp.LanguageCode));
  const int length = LoadStringW(GetModuleHandleA(nullptr), resource, wide, 256);
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
  const auto getContext = ProcAddress<GetContext>(user32, "GetThreadDpiAwarenessContext");
  const auto awarenessOf = ProcAddress<AwarenessOf>(user32, "GetAwarenessFromDpiAwarenessContext");
  return getContext && awarenessOf ? awarenessOf(getContext()) : -1;
}
}  // namespace

void WriteTestDiagnostic(int documentSprites, int missingFiles) {
  char path[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableA("QV_TEST_DIAGNOSTIC_FILE", path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  FILE* f = std::fopen(path, "w");
  if (!f) return;
  const PackageHeader& header = theApp.Package.Header;
  const UserSettings& settings = theApp.Settings;
  std::fprintf(f, "ScrName=%s\nNoSplash=%u\nSplashSeconds=%u\nFixedPreview=%u\n", header.ScrName.c_str(),
               header.NoSplash, header.SplashSeconds, header.FixedPreview);
  std::fprintf(f, "UseRss=%d\nMuteSound=%d\nProxyAddress=%s\nProxyPort=%d\nUseProxy=%d\nFeedList=%s\n",
               settings.UseRss, settings.MuteSound, settings.ProxyAddress.c_str(), settings.ProxyPort,
               settings.UseProxy, settings.FeedListSetting.c_str());
  if (documentSprites >= 0)
    std::fprintf(f, "DocumentSprites=%d\nMissingFiles=%d\n", documentSprites, missingFiles);
  std::fprintf(f, "DialogBaseHeight=%d\nScreenDpiY=%d\nDpiAwareness=%d\n", theApp.DialogBaseHeight, theApp.ScreenDpiY,
               DpiAwareness());
  std::fprintf(f, "LanguageCode=%d\nTempFolder=%s\nModule=%s\nSplash=%s\nString8000=%s\n", theApp.LanguageCode,
               Temp().TempFolder.c_str(), theApp.Package.Extracted.module.c_str(),
               theApp.Package.Extracted.splash.c_str(),
               LoadLocalisedString(8000).c_str());
  std::fclose(f);
}

// Built before the entry runs: the shell, the run and the dialogs rely on what it sets.
CQvApp theApp;

}  // namespace qv
