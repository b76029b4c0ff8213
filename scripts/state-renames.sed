# Renames of the process-state change (branch wip/state), in the order to apply, for
# re-applying to versions of the same files made in parallel. Apply once per file.
/^[[:space:]]*InstallWin32WaveOut();[[:space:]]*$/d
s/\bSetPlainScreenDepth(depth);/InstallCoreServices(CoreServices{.plainScreenDepth = depth});/g
s/\bBlockOffset(Header,/BlockOffset(theApp.Package.Header,/g
s/\bHeader\./theApp.Package.Header./g
s/\bExtracted\./theApp.Package.Extracted./g
s/\bModulePath\b/theApp.Package.ModulePath/g
s/\bSceneVideoPath\b/theApp.Package.SceneVideoPath/g
s/\bExtractPackageBlocks(ExtractMode/theApp.Package.ExtractPackageBlocks(ExtractMode/g
s/\bDeleteExtractedFiles();/theApp.Package.DeleteExtractedFiles();/g
s/\bFreePackageHeader();/theApp.Package.FreePackageHeader();/g
s/\bDeleteInterfaceFonts();/theApp.DeleteInterfaceFonts();/g
s/\bSavedCursorPos\b/theApp.SavedCursorPos/g
s/\bDialogBaseHeight\b/theApp.DialogBaseHeight/g
s/\bScreenDpiY\b/theApp.ScreenDpiY/g
s/\bLanguageCode\b/theApp.LanguageCode/g
s/\bSettings\./theApp.Settings./g
s/(Settings,/(theApp.Settings,/g
s/, Settings)/, theApp.Settings)/g
s/\bMonitorRects\b/theApp.MonitorRects/g
s/\bEnumerateMonitors();/theApp.MonitorRects = EnumerateMonitors();/g
s/\b\(HeadingFont\|FeedTitleFont\|FeedTextFont\|BoldFont\|TextFont\|SmallFont\)\b/theApp.\1.get()/g
s|^#include "scene/win32/perf_timer.h"$|&\n#include "settings/win32/qv_app.h"|
s/\bSplashWindow->Create(scene, /SplashWindow->Create(scene, SplashCardText{theApp.Package.Header.ScrName, theApp.Package.Header.RightsLine, theApp.HeadingFont.get(), theApp.BoldFont.get()}, /g
