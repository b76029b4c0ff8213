#include "media/win32/media_control_win32.h"

#include <windows.h>
#include <initguid.h>
#include <ole2.h>
#include <oleauto.h>
#include <wmp.h>

#include <string>
#include <vector>

#include "base/win32/win32_handles.h"

namespace qv {

namespace {

constexpr char kNewerKey[] = "CLSID\\{6BF52A52-394A-11D3-B153-00C04F79FAA6}\\InprocServer32";
constexpr char kOlderKey[] = "CLSID\\{22D6F312-B0F6-11D0-94AB-0080C74C7E95}\\InprocServer32";
const CLSID kOlderClsid = {0x22D6F312, 0xB0F6, 0x11D0, {0x94, 0xAB, 0x00, 0x80, 0xC7, 0x4C, 0x7E, 0x95}};

const IID kNoIid = {};  // IID_NULL, which Invoke requires
int ProbeResult = 0;  // 0 not yet probed, 1 available, 2 unavailable
int NewerInterface = 0;

std::string DefaultValue(const char* key) {
  RegKey hkey;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key, 0, KEY_READ, hkey.put()) != ERROR_SUCCESS) return {};
  char value[MAX_PATH + 1] = {};
  DWORD size = MAX_PATH;
  DWORD type = 0;
  const LONG r = RegQueryValueExA(hkey.get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size);
  if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  value[size < MAX_PATH ? size : MAX_PATH] = 0;
  return value;
}

// The high word of the file version's most significant part; 0 without a version.
unsigned MajorFileVersion(const std::string& path) {
  if (GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return 0;
  std::vector<char> info(size);
  if (!GetFileVersionInfoA(path.c_str(), 0, size, info.data())) return 0;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
      length < sizeof(VS_FIXEDFILEINFO))
    return 0;
  return HIWORD(fixed->dwFileVersionMS);
}

// An ANSI text as a new BSTR the caller frees.
BSTR AllocBstr(const std::string& text) {
  const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
  std::wstring wide(n > 0 ? n - 1 : 0, L'\0');
  if (n > 1) MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), n);
  return SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
}

class Bstr {
 public:
  explicit Bstr(const std::string& text) : m_b(AllocBstr(text)) {}
  ~Bstr() { SysFreeString(m_b); }
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  BSTR get() const { return m_b; }

 private:
  BSTR m_b;
};

// --- The dispatch path ------------------------------------------------------------

class IDispatchControl final : public MediaDispatch {
 public:
  explicit IDispatchControl(IDispatch* d) : m_d(d) {}  // takes the reference
  ~IDispatchControl() override { m_d->Release(); }
  bool Invoke(int32_t id, DispatchKind kind, std::vector<DispatchValue> args, DispatchValue* result) override;

 private:
  IDispatch* m_d;
};

void ToVariant(const DispatchValue& v, VARIANT& out) {
  VariantInit(&out);
  switch (v.type) {
    case DispatchValue::Type::Int: out.vt = VT_I4; out.lVal = v.i; break;
    case DispatchValue::Type::Bool: out.vt = VT_BOOL; out.boolVal = v.b ? VARIANT_TRUE : VARIANT_FALSE; break;
    case DispatchValue::Type::Double: out.vt = VT_R8; out.dblVal = v.d; break;
    case DispatchValue::Type::String: out.vt = VT_BSTR; out.bstrVal = AllocBstr(v.s); break;
    default: break;
  }
}

void FromVariant(VARIANT& in, DispatchValue& out) {
  VARIANT converted;
  VariantInit(&converted);
  switch (in.vt) {
    case VT_DISPATCH:
      out.type = DispatchValue::Type::Object;
      if (in.pdispVal) {
        in.pdispVal->AddRef();
        out.object = std::make_unique<IDispatchControl>(in.pdispVal);
      }
      break;
    case VT_BOOL: out.type = DispatchValue::Type::Bool; out.b = in.boolVal != VARIANT_FALSE; break;
    case VT_R8: case VT_R4:
      if (SUCCEEDED(VariantChangeType(&converted, &in, 0, VT_R8))) {
        out.type = DispatchValue::Type::Double;
        out.d = converted.dblVal;
      }
      break;
    default:
      if (SUCCEEDED(VariantChangeType(&converted, &in, 0, VT_I4))) {
        out.type = DispatchValue::Type::Int;
        out.i = converted.lVal;
      }
      break;
  }
  VariantClear(&converted);
}

bool IDispatchControl::Invoke(int32_t id, DispatchKind kind, std::vector<DispatchValue> args, DispatchValue* result) {
  // Arguments go in reverse order.
  std::vector<VARIANT> variants(args.size());
  for (size_t i = 0; i < args.size(); ++i) ToVariant(args[args.size() - 1 - i], variants[i]);
  DISPPARAMS params{};
  params.cArgs = static_cast<UINT>(variants.size());
  params.rgvarg = variants.empty() ? nullptr : variants.data();
  DISPID putId = DISPID_PROPERTYPUT;
  WORD flags = DISPATCH_METHOD;
  if (kind == DispatchKind::Get) flags = DISPATCH_PROPERTYGET;
  if (kind == DispatchKind::Put) {
    flags = DISPATCH_PROPERTYPUT;
    params.cNamedArgs = 1;
    params.rgdispidNamedArgs = &putId;
  }
  VARIANT out;
  VariantInit(&out);
  const HRESULT hr = m_d->Invoke(id, kNoIid, LOCALE_USER_DEFAULT, flags, &params, result ? &out : nullptr,
                                 nullptr, nullptr);
  for (VARIANT& v : variants) VariantClear(&v);
  if (SUCCEEDED(hr) && result) FromVariant(out, *result);
  VariantClear(&out);
  return SUCCEEDED(hr);
}

// --- The newer control's C++ interfaces, answering the same identifiers ------------

template <class T>
class ComRef {
 public:
  explicit ComRef(T* p = nullptr) : m_p(p) {}
  ~ComRef() { if (m_p) m_p->Release(); }
  ComRef(const ComRef&) = delete;
  ComRef& operator=(const ComRef&) = delete;
  T* operator->() const { return m_p; }
  T* get() const { return m_p; }
  T** out() { return &m_p; }

 private:
  T* m_p;
};

const DispatchValue* Arg(const std::vector<DispatchValue>& args, size_t i) {
  return i < args.size() ? &args[i] : nullptr;
}

class WmpObject final : public MediaDispatch {
 public:
  enum class Role { Player, Settings, Controls, Media };
  WmpObject(Role role, IUnknown* object) : m_role(role), m_object(object) {}  // takes the reference
  ~WmpObject() override { m_object->Release(); }

  bool Invoke(int32_t id, DispatchKind kind, std::vector<DispatchValue> args, DispatchValue* result) override {
    switch (m_role) {
      case Role::Player: return OnPlayer(id, kind, args, result);
      case Role::Settings: return OnSettings(id, kind, args);
      case Role::Controls: return OnControls(id, kind, args, result);
      case Role::Media: return OnMedia(id, kind, result);
    }
    return false;
  }

 private:
  static VARIANT_BOOL Vb(const DispatchValue* v) { return v && v->b ? VARIANT_TRUE : VARIANT_FALSE; }

  bool Object(DispatchValue* result, Role role, IUnknown* p, HRESULT hr) {
    if (FAILED(hr) || !p || !result) {
      if (p) p->Release();
      return false;
    }
    result->type = DispatchValue::Type::Object;
    result->object = std::make_unique<WmpObject>(role, p);
    return true;
  }

  bool OnPlayer(int32_t id, DispatchKind kind, const std::vector<DispatchValue>& args, DispatchValue* result) {
    auto* p = static_cast<IWMPPlayer4*>(m_object);
    const DispatchValue* a = Arg(args, 0);
    if (kind == DispatchKind::Get) {
      if (id == 5) { IWMPSettings* s = nullptr; const HRESULT hr = p->get_settings(&s); return Object(result, Role::Settings, s, hr); }
      if (id == 4) { IWMPControls* c = nullptr; const HRESULT hr = p->get_controls(&c); return Object(result, Role::Controls, c, hr); }
      if (id == 6) { IWMPMedia* m = nullptr; const HRESULT hr = p->get_currentMedia(&m); return Object(result, Role::Media, m, hr); }
      return false;  // 17, the error object, is not answered here
    }
    if (kind != DispatchKind::Put || !a) return false;
    if (id == 1) return SUCCEEDED(p->put_URL(Bstr(a->s).get()));
    if (id == 22) return SUCCEEDED(p->put_enableContextMenu(Vb(a)));
    if (id == 23) return SUCCEEDED(p->put_uiMode(Bstr(a->s).get()));
    return false;
  }

  bool OnSettings(int32_t id, DispatchKind kind, const std::vector<DispatchValue>& args) {
    auto* s = static_cast<IWMPSettings*>(m_object);
    const DispatchValue* a = Arg(args, 0);
    if (!a) return false;
    if (kind == DispatchKind::Method && id == 111) return SUCCEEDED(s->setMode(Bstr(a->s).get(), Vb(Arg(args, 1))));
    if (kind != DispatchKind::Put) return false;
    switch (id) {
      case 107: return SUCCEEDED(s->put_volume(a->i));
      case 102: return SUCCEEDED(s->put_balance(a->i));
      case 101: return SUCCEEDED(s->put_autoStart(Vb(a)));
      case 105: return SUCCEEDED(s->put_playCount(a->i));
    }
    return false;
  }

  bool OnControls(int32_t id, DispatchKind kind, const std::vector<DispatchValue>& args, DispatchValue* result) {
    auto* c = static_cast<IWMPControls*>(m_object);
    if (kind == DispatchKind::Method) {
      if (id == 51) return SUCCEEDED(c->play());
      if (id == 52) return SUCCEEDED(c->stop());
      if (id == 53) return SUCCEEDED(c->pause());
      return false;
    }
    if (id != 56) return false;
    if (kind == DispatchKind::Put) return !args.empty() && SUCCEEDED(c->put_currentPosition(args[0].d));
    double position = 0;
    if (!result || FAILED(c->get_currentPosition(&position))) return false;
    *result = DispatchValue::Double(position);
    return true;
  }

  bool OnMedia(int32_t id, DispatchKind kind, DispatchValue* result) {
    auto* m = static_cast<IWMPMedia*>(m_object);
    double duration = 0;
    if (kind != DispatchKind::Get || id != 757 || !result || FAILED(m->get_duration(&duration))) return false;
    *result = DispatchValue::Double(duration);
    return true;
  }

  Role m_role;
  IUnknown* m_object;
};

// COM on the user-interface thread, once; an apartment already set up is fine too.
void ComReady() {
  static const HRESULT once = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  (void)once;
}

}  // namespace

bool IsPlayerControlAvailable() {
  if (ProbeResult == 0) {
    if (!DefaultValue(kNewerKey).empty()) {
      NewerInterface = 1;
      ProbeResult = 1;
    } else {
      NewerInterface = 0;
      const std::string server = DefaultValue(kOlderKey);
      ProbeResult = !server.empty() && MajorFileVersion(server) > 5 ? 1 : 2;
    }
  }
  return ProbeResult == 1;
}

ControlGeneration ProbedGeneration() {
  IsPlayerControlAvailable();
  return NewerInterface ? ControlGeneration::Newer : ControlGeneration::Older;
}

std::unique_ptr<MediaDispatch> WrapDispatch(IDispatch* dispatch) {
  if (!dispatch) return nullptr;
  return std::make_unique<IDispatchControl>(dispatch);
}

std::unique_ptr<MediaDispatch> Win32ControlFactory::CreateControl(ControlGeneration generation) {
  ComReady();
  const bool newer = generation == ControlGeneration::Newer;
  IUnknown* unknown = nullptr;
  if (FAILED(CoCreateInstance(newer ? CLSID_WindowsMediaPlayer : kOlderClsid, nullptr, CLSCTX_INPROC_SERVER,
                              IID_IUnknown, reinterpret_cast<void**>(&unknown))) ||
      !unknown)
    return nullptr;
  ComRef<IUnknown> control(unknown);
  IDispatch* dispatch = nullptr;
  if (SUCCEEDED(control->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) && dispatch)
    return WrapDispatch(dispatch);
  if (!newer) return nullptr;
  IWMPPlayer4* player = nullptr;
  if (FAILED(control->QueryInterface(IID_IWMPPlayer4, reinterpret_cast<void**>(&player))) || !player) return nullptr;
  return std::make_unique<WmpObject>(WmpObject::Role::Player, player);
}

}  // namespace qv
