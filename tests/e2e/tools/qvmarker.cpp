// qvmarker: a harmless stand-in program for the end-to-end tests. It appends its own
// command line to "<its own path>.ran" and exits, so a test can tell whether (and with
// what) it was started: planted beside the saver as explorer.exe it must never run;
// registered as the web browser it shows what the saver opened.
#include <windows.h>

#include <cstdio>

int main() {
  char path[MAX_PATH + 8] = {};
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return 1;
  lstrcatA(path, ".ran");
  FILE* f = std::fopen(path, "a");
  if (!f) return 1;
  std::fprintf(f, "%s\n", GetCommandLineA());
  std::fclose(f);
  return 0;
}
