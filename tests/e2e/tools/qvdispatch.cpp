// qvdispatch: drives the music player's dispatch path (WrapDispatch, the runtime's
// wrapper over IDispatch) against automation objects of ours whose IDispatch is the
// system's own: CreateStdDispatch over a type description made by CreateDispTypeInfo.
// So the BSTRs, VARIANTs, reference counts and error returns meet the real automation
// runtime, with the members of the newer media-player control.
//
//   qvdispatch
//
// Prints each call the objects receive as "<object> <kind> <id> <values>" (the recording
// fake's lines), "== <step>" between steps, and "refs <object>=<count>" for the objects
// the player hands out (1: every reference the wrapper took was released).
#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <string>
#include <vector>

#include "media/win32/media_control_win32.h"
#include "media/win_media.h"

namespace {

std::vector<std::string> Log;

// A BSTR back in the ANSI code page, bytes above 127 written as \xNN.
std::string Ansi(BSTR b) {
  const int n = WideCharToMultiByte(CP_ACP, 0, b, static_cast<int>(SysStringLen(b)), nullptr, 0, nullptr, nullptr);
  std::string s(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_ACP, 0, b, static_cast<int>(SysStringLen(b)), s.data(), n, nullptr, nullptr);
  std::string out;
  for (unsigned char c : s) {
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02x", c);
    out += c < 128 ? std::string(1, static_cast<char>(c)) : std::string(hex);
  }
  return out;
}
std::string B(VARIANT_BOOL v) { return v == VARIANT_TRUE ? "bool true" : v == VARIANT_FALSE ? "bool false" : "bool ?"; }
std::string D(double d) {
  char text[32];
  std::snprintf(text, sizeof text, "double %g", d);
  return text;
}
void Record(const char* object, const char* kind, int id, const std::string& values = "") {
  Log.push_back(std::string(object) + " " + kind + " " + std::to_string(id) + (values.empty() ? "" : " " + values));
}

// One member of a type description.
struct Member {
  const wchar_t* name;
  DISPID id;
  WORD flags;       // DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT
  VARTYPE result;   // VT_EMPTY for none
  std::vector<VARTYPE> params;
};

// An IDispatch made by the system over obj's vtable: members[i] calls vtable slot i.
class StdObject {
 public:
  StdObject(void* obj, std::vector<Member> members) : m_members(std::move(members)) {
    m_params.resize(m_members.size());
    std::vector<METHODDATA> methods(m_members.size());
    for (size_t i = 0; i < m_members.size(); ++i) {
      const Member& m = m_members[i];
      for (VARTYPE vt : m.params) m_params[i].push_back(PARAMDATA{const_cast<OLECHAR*>(L"v"), vt});
      methods[i] = METHODDATA{const_cast<OLECHAR*>(m.name), m_params[i].empty() ? nullptr : m_params[i].data(),
                              m.id, static_cast<UINT>(i), CC_STDCALL, static_cast<UINT>(m.params.size()), m.flags,
                              m.result};
    }
    INTERFACEDATA data{methods.data(), static_cast<UINT>(methods.size())};
    // The description comes as a class; its one interface holds the members.
    ITypeInfo* coclass = nullptr;
    ITypeInfo* info = nullptr;
    HREFTYPE ref = 0;
    IUnknown* unknown = nullptr;
    if (FAILED(CreateDispTypeInfo(&data, LOCALE_SYSTEM_DEFAULT, &coclass)) ||
        FAILED(coclass->GetRefTypeOfImplType(0, &ref)) || FAILED(coclass->GetRefTypeInfo(ref, &info)) ||
        FAILED(CreateStdDispatch(nullptr, obj, info, &unknown)) ||
        FAILED(unknown->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&m_dispatch)))) {
      std::printf("error: the automation runtime made no object\n");
      std::exit(3);
    }
    unknown->Release();
    info->Release();
    coclass->Release();
  }
  ~StdObject() { m_dispatch->Release(); }
  // A new reference for the caller, as a property get hands out.
  IDispatch* Give() {
    m_dispatch->AddRef();
    return m_dispatch;
  }
  ULONG Refs() {
    m_dispatch->AddRef();
    return m_dispatch->Release();
  }
  IDispatch* get() const { return m_dispatch; }

 private:
  std::vector<Member> m_members;
  std::vector<std::vector<PARAMDATA>> m_params;
  IDispatch* m_dispatch = nullptr;
};

constexpr WORD kGet = DISPATCH_PROPERTYGET, kPut = DISPATCH_PROPERTYPUT, kMethod = DISPATCH_METHOD;

// The vtables below are in the order of their members' tables.
struct Settings {
  virtual void Volume(LONG v) { Record("settings", "put", 107, "int " + std::to_string(v)); }
  virtual void Balance(LONG v) { Record("settings", "put", 102, "int " + std::to_string(v)); }
  virtual void AutoStart(VARIANT_BOOL v) { Record("settings", "put", 101, B(v)); }
  virtual void PlayCount(LONG v) { Record("settings", "put", 105, "int " + std::to_string(v)); }
  virtual void SetMode(BSTR mode, VARIANT_BOOL on) { Record("settings", "method", 111, "string " + Ansi(mode) + " " + B(on)); }
};
struct Controls {
  double position = 0;
  virtual void Play() { Record("controls", "method", 51); }
  virtual void Stop() { Record("controls", "method", 52); }
  virtual void Pause() { Record("controls", "method", 53); }
  virtual double GetPosition() { Record("controls", "get", 56); return position; }
  virtual void PutPosition(double v) { Record("controls", "put", 56, D(v)); position = v; }
};
struct Media {
  double duration = 3.9;
  virtual double Duration() { Record("media", "get", 757); return duration; }
};
struct Error {
  LONG count = 0;
  virtual LONG Count() { Record("error", "get", 852); return count; }
};
struct Player {
  StdObject *settings = nullptr, *controls = nullptr, *media = nullptr, *error = nullptr;
  virtual IDispatch* Settings() { Record("player", "get", 5); return settings->Give(); }
  virtual IDispatch* Controls() { Record("player", "get", 4); return controls->Give(); }
  virtual IDispatch* CurrentMedia() { Record("player", "get", 6); return media->Give(); }
  virtual IDispatch* Error() { Record("player", "get", 17); return error->Give(); }
  virtual void Url(BSTR v) { Record("player", "put", 1, "string " + Ansi(v)); }
  virtual void ContextMenu(VARIANT_BOOL v) { Record("player", "put", 22, B(v)); }
  virtual void UiMode(BSTR v) { Record("player", "put", 23, "string " + Ansi(v)); }
};

class OneControl final : public qv::ControlFactory {
 public:
  explicit OneControl(StdObject& player) : m_player(player) {}
  std::unique_ptr<qv::MediaDispatch> CreateControl(qv::ControlGeneration) override {
    return qv::WrapDispatch(m_player.Give());
  }

 private:
  StdObject& m_player;
};

void Flush(const char* step) {
  std::printf("== %s\n", step);
  for (const std::string& line : Log) std::printf("%s\n", line.c_str());
  Log.clear();
}

}  // namespace

int main() {
  if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 3;
  {
    Settings settingsObj;
    Controls controlsObj;
    Media mediaObj;
    Error errorObj;
    Player playerObj;
    StdObject settings(&settingsObj, {{L"volume", 107, kPut, VT_EMPTY, {VT_I4}},
                                      {L"balance", 102, kPut, VT_EMPTY, {VT_I4}},
                                      {L"autoStart", 101, kPut, VT_EMPTY, {VT_BOOL}},
                                      {L"playCount", 105, kPut, VT_EMPTY, {VT_I4}},
                                      {L"setMode", 111, kMethod, VT_EMPTY, {VT_BSTR, VT_BOOL}}});
    StdObject controls(&controlsObj, {{L"play", 51, kMethod, VT_EMPTY, {}},
                                      {L"stop", 52, kMethod, VT_EMPTY, {}},
                                      {L"pause", 53, kMethod, VT_EMPTY, {}},
                                      {L"currentPosition", 56, kGet, VT_R8, {}},
                                      {L"currentPosition", 56, kPut, VT_EMPTY, {VT_R8}}});
    StdObject media(&mediaObj, {{L"duration", 757, kGet, VT_R8, {}}});
    StdObject error(&errorObj, {{L"errorCount", 852, kGet, VT_I4, {}}});
    playerObj.settings = &settings;
    playerObj.controls = &controls;
    playerObj.media = &media;
    playerObj.error = &error;
    StdObject player(&playerObj, {{L"settings", 5, kGet, VT_DISPATCH, {}},
                                  {L"controls", 4, kGet, VT_DISPATCH, {}},
                                  {L"currentMedia", 6, kGet, VT_DISPATCH, {}},
                                  {L"error", 17, kGet, VT_DISPATCH, {}},
                                  {L"URL", 1, kPut, VT_EMPTY, {VT_BSTR}},
                                  {L"enableContextMenu", 22, kPut, VT_EMPTY, {VT_BOOL}},
                                  {L"uiMode", 23, kPut, VT_EMPTY, {VT_BSTR}}});
    OneControl factory(player);
    {
      qv::CWinMedia music(factory, qv::ControlGeneration::Newer);
      music.SetLoop(1);
      Log.clear();
      const bool opened = music.Open("C:\\m\\s\xF8ng.mp3");
      Flush("open");
      std::printf("opened=%d duration=%d\n", opened, music.StoredDurationSeconds());
      music.Seek(25);
      Flush("seek 25");
      controlsObj.position = 3.5;
      music.LoopCheck();
      Flush("loop check at 3.5 s");
      music.Stop();
      Flush("stop");
    }
    {
      errorObj.count = 2;
      qv::CWinMedia music(factory, qv::ControlGeneration::Newer);
      const bool opened = music.Open("x.mp3");
      Log.clear();
      std::printf("== error count 2\nopened=%d\n", opened);
    }
    {
      // The older control's members are not in this object: their calls fail cleanly
      // (put 23 meets the player's uiMode, and the runtime turns its value into text).
      qv::CWinMedia music(factory, qv::ControlGeneration::Older);
      const bool opened = music.Open("y.mid");
      Flush("older members missing");
      std::printf("opened=%d duration=%d\n", opened, music.StoredDurationSeconds());
    }
    std::printf("== refs\nplayer=%lu settings=%lu controls=%lu media=%lu error=%lu\n", player.Refs(), settings.Refs(),
                controls.Refs(), media.Refs(), error.Refs());
  }
  CoUninitialize();
  return 0;
}
