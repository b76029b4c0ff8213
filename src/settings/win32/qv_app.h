// The application object: built once, before the shell's entry runs. It prepares what
// every mode needs (monitors, temporary folder, language, screen figures, fonts) and
// reads and writes the user's settings in the registry.
#pragma once
#include <string>

#include "package/win32/package_files.h"
#include "settings/user_settings.h"
#include "settings/win32/registry_store.h"
#include "base/monitor_layout.h"
#include "base/win32/framework.h"
#include "base/win32/win32_handles.h"

namespace qv {

class CQvApp : public CWinApp {
 public:
  CQvApp();
  ~CQvApp() override;
  CQvApp(const CQvApp&) = delete;
  CQvApp& operator=(const CQvApp&) = delete;

  int GetSettingInt(const std::string& section, const std::string& name, int defaultValue);
  std::string GetSettingString(const std::string& section, const std::string& name, const std::string& defaultValue);
  bool PutSettingInt(const std::string& section, const std::string& name, int value);
  bool PutSettingString(const std::string& section, const std::string& name, const std::string& value);

  void ReadSettings();   // after the package header was read
  void WriteSettings();  // the configuration dialog's OK
  void ReadSystemProxy();
  // "AppLanguage" under the company's key replaces LanguageCode when it names one.
  void ApplyLanguageOverride(const std::string& companyName, const std::string& scrName);

  // Deleted when a run or the configuration dialog ends.
  void DeleteInterfaceFonts();

  GdiPalette m_hPalette;  // the application palette, built on demand

  // What the construction sets up for every mode, and what a run or the dialog loads.
  MonitorLayout MonitorRects;  // up to five monitors, the primary first
  POINT SavedCursorPos{};      // the cursor at process start
  int LanguageCode = 1;        // 1 English ... 8 Russian
  int ScreenDpiY = 96;         // vertical pixels per logical inch of the screen
  int DialogBaseHeight = 16;   // high word of the dialog base units
  GdiFont HeadingFont, FeedTitleFont, FeedTextFont, BoldFont, TextFont, SmallFont;
  UserSettings Settings;       // read with the package header, written by the dialog's OK
  PackageContext Package;      // the package header and the files taken from it

 private:
  RegistryStore m_store;
  SettingsAccess m_settings{m_store};
};

// Process-wide (defined in qv_app.cpp; the list of all of them is in
// docs/architecture.md): the application object, holding what every mode shares.
extern CQvApp theApp;

// Reads the package header from the running executable (ReadModuleHeader), applies the
// company's language override, cuts the Description to the language and reads the
// user's settings. On failure tells the user and returns false.
bool LoadPackage();

// An interface string (8000...) in the current language, converted to the ANSI code page.
std::string LoadLocalisedString(int id);

// Test diagnostic, off unless QV_TEST_DIAGNOSTIC_FILE is set: writes the loaded header
// values, the settings and the temporary folder to that file for the end-to-end tests,
// and, when a document was loaded (documentSprites >= 0), its sprite count and missing
// files.
void WriteTestDiagnostic(int documentSprites = -1, int missingFiles = 0);

}  // namespace qv
