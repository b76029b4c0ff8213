#include "feed/win32/feed_thread.h"

#include <winsock2.h>
#include <urlmon.h>
#include <wininet.h>

#include <atomic>
#include <algorithm>
#include <cstring>
#include <mutex>

#include "feed/autodial_guard.h"
#include "feed/feed_address.h"
#include "feed/feed_fetch.h"
#include "feed/http_reply.h"
#include "settings/win32/qv_app.h"

namespace qv {

namespace {

constexpr char kUserAgent[] = "QuorvexPKSV/1.0";
constexpr DWORD kUrlBufferSize = 256;

bool PastDeadline(ULONGLONG deadline) { return GetTickCount64() >= deadline; }
DWORD MsLeft(ULONGLONG deadline) {
  const ULONGLONG now = GetTickCount64();
  return now >= deadline ? 0 : static_cast<DWORD>(deadline - now);
}

// Test diagnostic: QV_TEST_FEED_ROUTES lists the network routes that may be tried ("3"
// for the socket route alone). All three without it.
bool RouteAllowed(int route) {
  static const std::string allowed = [] {
    char buf[16] = {};
    const DWORD n = GetEnvironmentVariableA("QV_TEST_FEED_ROUTES", buf, sizeof buf);
    return (n > 0 && n < sizeof buf) ? std::string(buf) : std::string("123");
  }();
  return allowed.find(static_cast<char>('0' + route)) != std::string::npos;
}

// A whole file, or empty when it is missing, unreadable or larger than a feed may be.
std::string ReadWholeFile(const char* path) {
  const HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string text;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && static_cast<uint64_t>(size.QuadPart) <= kMaxFeedBytes) {
    text.reserve(static_cast<size_t>(size.QuadPart));
    char piece[256];
    DWORD got = 0;
    while (ReadFile(file, piece, sizeof piece, &got, nullptr) && got > 0) {
      if (text.size() + got > kMaxFeedBytes) {  // grew while we read
        text.clear();
        break;
      }
      text.append(piece, got);
    }
  }
  CloseHandle(file);
  return text;
}

// --- Libraries loaded at first use ------------------------------------------------

using UrlDownloadToCacheFileFn = HRESULT(WINAPI*)(LPUNKNOWN, LPCSTR, LPSTR, DWORD, DWORD,
                                                  LPBINDSTATUSCALLBACK);
using InternetOpenFn = HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
using InternetConnectFn = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, INTERNET_PORT, LPCSTR, LPCSTR,
                                             DWORD, DWORD, DWORD_PTR);
using InternetOpenUrlFn = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR);
using InternetReadFileFn = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);
using InternetCloseHandleFn = BOOL(WINAPI*)(HINTERNET);
using InternetSetOptionFn = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, DWORD);

struct NetLibraries {
  std::mutex lock;
  bool urlMonTried = false, wininetTried = false;
  HMODULE urlMon = nullptr, wininet = nullptr;
  UrlDownloadToCacheFileFn downloadToCache = nullptr;
  InternetOpenFn open = nullptr;
  InternetConnectFn connect = nullptr;
  InternetOpenUrlFn openUrl = nullptr;
  InternetReadFileFn readFile = nullptr;
  InternetCloseHandleFn close = nullptr;
  InternetSetOptionFn setOption = nullptr;  // optional: time limits
};
NetLibraries Net;
std::atomic<int> FetchesInFlight{0};

template <class Fn>
Fn Proc(HMODULE module, const char* name) {
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

UrlDownloadToCacheFileFn DownloadToCache() {
  std::lock_guard<std::mutex> guard(Net.lock);
  if (!Net.urlMonTried) {
    Net.urlMonTried = true;
    Net.urlMon = LoadLibraryA("UrlMon.DLL");
    if (Net.urlMon) Net.downloadToCache = Proc<UrlDownloadToCacheFileFn>(Net.urlMon, "URLDownloadToCacheFileA");
  }
  return Net.downloadToCache;
}

bool InternetClientAvailable() {
  std::lock_guard<std::mutex> guard(Net.lock);
  if (!Net.wininetTried) {
    Net.wininetTried = true;
    Net.wininet = LoadLibraryA("Wininet.DLL");
    if (Net.wininet) {
      Net.open = Proc<InternetOpenFn>(Net.wininet, "InternetOpenA");
      Net.connect = Proc<InternetConnectFn>(Net.wininet, "InternetConnectA");
      Net.openUrl = Proc<InternetOpenUrlFn>(Net.wininet, "InternetOpenUrlA");
      Net.readFile = Proc<InternetReadFileFn>(Net.wininet, "InternetReadFile");
      Net.close = Proc<InternetCloseHandleFn>(Net.wininet, "InternetCloseHandle");
      Net.setOption = Proc<InternetSetOptionFn>(Net.wininet, "InternetSetOptionA");
    }
  }
  return Net.open && Net.connect && Net.openUrl && Net.readFile && Net.close;
}

// --- Route 1: the download-to-cache service ----------------------------------------

// Progress reports of the download: aborts it past the deadline or the feed size cap.
class BindCallback final : public IBindStatusCallback {
 public:
  explicit BindCallback(ULONGLONG deadline) : m_deadline(deadline) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
    static const GUID kUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
    static const GUID kBindStatusCallback = {0x79eac9c1, 0xbaf9, 0x11ce,
                                             {0x8c, 0x82, 0x00, 0xaa, 0x00, 0x4b, 0xa9, 0x0b}};
    if (!out) return E_POINTER;
    if (IsEqualGUID(riid, kUnknown) || IsEqualGUID(riid, kBindStatusCallback)) {
      *out = static_cast<IBindStatusCallback*>(this);
      AddRef();
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&m_refs)); }
  ULONG STDMETHODCALLTYPE Release() override {
    const LONG left = InterlockedDecrement(&m_refs);
    if (left == 0) delete this;
    return static_cast<ULONG>(left);
  }
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG, ULONG, LPCWSTR) override {
    return (PastDeadline(m_deadline) || progress > kMaxFeedBytes) ? E_ABORT : S_OK;
  }
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

 private:
  LONG m_refs = 1;
  ULONGLONG m_deadline;
};

std::string DownloadToCacheRoute(const std::string& address, ULONGLONG deadline) {
  const UrlDownloadToCacheFileFn download = DownloadToCache();
  if (!download) return {};
  char file[kUrlBufferSize] = {};
  BindCallback* callback = new BindCallback(deadline);
  const HRESULT hr = download(nullptr, address.c_str(), file, kUrlBufferSize, 0, callback);
  callback->Release();
  if (FAILED(hr) || file[0] == '\0' || GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES) return {};
  std::string text = ReadWholeFile(file);
  DeleteFileA(file);
  return text;
}

// --- Route 2: the Internet client library ------------------------------------------

std::string InternetClientRoute(const std::string& address, ULONGLONG deadline) {
  if (!InternetClientAvailable()) return {};
  const HINTERNET session = Net.open(kUserAgent, 0, nullptr, nullptr, 0);
  if (!session) return {};
  if (Net.setOption) {
    DWORD connectMs = kFeedConnectTimeoutMs, receiveMs = kFeedReceiveTimeoutMs;
    Net.setOption(session, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
    Net.setOption(session, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveMs, sizeof receiveMs);
    Net.setOption(session, INTERNET_OPTION_SEND_TIMEOUT, &receiveMs, sizeof receiveMs);
  }
  std::string text;
  if (const HINTERNET url = Net.openUrl(session, address.c_str(), nullptr, 0, 0, 0)) {
    char piece[1024];
    DWORD got = 0;
    while (Net.readFile(url, piece, sizeof piece, &got) && got > 0) {
      if (text.size() + got > kMaxFeedBytes || PastDeadline(deadline)) {
        text.clear();  // too long or too slow: dropped, not cut
        break;
      }
      text.append(piece, got);
    }
    Net.close(url);
  }
  Net.close(session);
  return text;
}

// --- Route 3: HTTP over a socket ---------------------------------------------------

HttpProxy ProxyFromSettings() {
  HttpProxy proxy;
  proxy.use = theApp.Settings.UseProxy != 0 && !theApp.Settings.ProxyAddress.empty();
  proxy.address = theApp.Settings.ProxyAddress;
  proxy.port = theApp.Settings.ProxyPort > 0 && theApp.Settings.ProxyPort < 65536 ? theApp.Settings.ProxyPort : 80;
  proxy.authenticate = theApp.Settings.UseProxyAuthentication != 0;
  proxy.login = theApp.Settings.ProxyLogin;
  proxy.password = theApp.Settings.ProxyPassword;
  return proxy;
}

// Connects with a time limit: a non-blocking connect waited for with select.
bool ConnectWithin(SOCKET s, const sockaddr_in& to, DWORD ms) {
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return false;
  if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
    fd_set writable, failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval limit{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    if (select(0, nullptr, &writable, &failed, &limit) <= 0 || !FD_ISSET(s, &writable)) return false;
    int error = 0;
    int length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 || error != 0)
      return false;
  }
  nonBlocking = 0;
  return ioctlsocket(s, FIONBIO, &nonBlocking) == 0;
}

std::string SocketExchange(const HttpTarget& target, const HttpProxy& proxy, ULONGLONG deadline) {
  const std::optional<std::string> request = BuildHttpRequest(target, proxy);
  if (!request) return {};
  const std::string& host = proxy.use ? proxy.address : target.host;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_addr.s_addr = inet_addr(host.c_str());
  if (to.sin_addr.s_addr == INADDR_NONE) {
    const hostent* entry = gethostbyname(host.c_str());
    if (!entry || entry->h_addrtype != AF_INET || entry->h_length != 4 || !entry->h_addr_list[0]) return {};
    std::memcpy(&to.sin_addr, entry->h_addr_list[0], 4);
  }
  int port = proxy.use ? proxy.port : target.port;
  if (!proxy.use && port == 80) {
    if (const servent* service = getservbyname("http", "tcp")) port = ntohs(service->s_port);
  }
  to.sin_port = htons(static_cast<u_short>(port));

  const SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return {};
  std::string body;
  DWORD receiveMs = kFeedReceiveTimeoutMs;
  setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&receiveMs), sizeof receiveMs);
  setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&receiveMs), sizeof receiveMs);
  if (ConnectWithin(s, to, std::min(kFeedConnectTimeoutMs, MsLeft(deadline)))) {
    size_t sent = 0;
    while (sent < request->size()) {
      const int n = send(s, request->data() + sent, static_cast<int>(request->size() - sent), 0);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
    if (sent == request->size()) {
      HttpReplyParser reply;
      char piece[1024];
      for (;;) {
        if (PastDeadline(deadline)) break;
        const int n = recv(s, piece, sizeof piece, 0);
        if (n < 0) break;  // failed or timed out
        const auto state = n == 0 ? reply.Finish() : reply.Feed(std::string_view(piece, static_cast<size_t>(n)));
        if (state == HttpReplyParser::State::Done) {
          body = reply.TakeBody();  // moved: one copy of the feed, not two
          break;
        }
        if (state == HttpReplyParser::State::Failed) break;
      }
    }
  }
  closesocket(s);
  return body;
}

std::string SocketRoute(const std::string& address, ULONGLONG deadline) {
  const std::optional<HttpTarget> target = SocketTarget(address);
  if (!target) return {};
  WSADATA wsa{};
  if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0) return {};
  std::string text;
  if (wsa.wVersion == MAKEWORD(1, 1)) text = SocketExchange(*target, ProxyFromSettings(), deadline);
  WSACleanup();
  return text;
}

std::string FetchNetwork(const std::string& address, ULONGLONG deadline) {
  std::string text;
  if (RouteAllowed(1)) text = DownloadToCacheRoute(address, deadline);
  if (text.empty() && RouteAllowed(2) && !PastDeadline(deadline)) text = InternetClientRoute(address, deadline);
  if (text.empty() && RouteAllowed(3) && !PastDeadline(deadline)) text = SocketRoute(address, deadline);
  return text;
}

// One network fetch on its own thread, so that a route stuck in a platform call cannot
// hold the feed list past the deadline. Shared by the two threads; the last one out
// deletes it.
struct Attempt {
  std::string address;
  ULONGLONG deadline = 0;
  std::string text;
  std::atomic<int> owners{2};
  void Leave() {
    if (owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
};

DWORD WINAPI AttemptProc(void* parameter) {
  auto* attempt = static_cast<Attempt*>(parameter);
  try {
    attempt->text = FetchNetwork(attempt->address, attempt->deadline);
  } catch (...) {
    attempt->text.clear();  // out of memory: this feed yields nothing
  }
  FetchesInFlight.fetch_sub(1);
  attempt->Leave();
  return 0;
}

class Win32FeedFetcher final : public FeedFetcher {
 public:
  std::string FetchFeedText(const std::string& address) override { return qv::FetchFeedText(address); }
};

DWORD WINAPI FeedThreadProc(void* parameter) {
  auto& record = *static_cast<CThreadData*>(parameter);
  // The loop catches what the fetches and the parse throw; nothing may leave a thread
  // routine, so whatever gets here still marks the thread finished.
  try {
    Win32FeedFetcher fetcher;
    RunFeedLoop(record, fetcher);
  } catch (...) {
    record.m_nFinished.store(1, std::memory_order_release);
  }
  return 0;
}

HKEY OpenAutodialKey(bool create, const char** valueName, bool* win9x) {
  *win9x = (GetVersion() & 0x80000000u) != 0;
  const char* path = *win9x ? "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
                            : "Software\\Microsoft\\RAS Autodial\\Control";
  *valueName = *win9x ? "EnableAutodial" : "LoginSessionDisable";
  HKEY key = nullptr;
  const LONG status = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                               nullptr, &key, nullptr)
                             : RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &key);
  return status == ERROR_SUCCESS ? key : nullptr;
}

}  // namespace

int GetAutodialState() {
  const char* name = nullptr;
  bool win9x = false;
  const HKEY key = OpenAutodialKey(false, &name, &win9x);
  if (!key) return -1;
  DWORD value = 0, size = sizeof value, type = 0;
  const LONG status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS || size != sizeof value) return -1;
  if (win9x) return static_cast<int>(value);
  return value ? 0 : 1;  // the stored value disables autodial
}

void SetAutodialState(int state) {
  const char* name = nullptr;
  bool win9x = false;
  const HKEY key = OpenAutodialKey(true, &name, &win9x);
  if (!key) return;
  const DWORD value = win9x ? static_cast<DWORD>(state) : (state ? 0u : 1u);
  RegSetValueExA(key, name, 0, win9x ? REG_BINARY : REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof value);
  RegFlushKey(key);
  RegCloseKey(key);
}

namespace {

class RegistryAutodial final : public AutodialStore {
 public:
  int Get() override { return GetAutodialState(); }
  void Set(int state) override { SetAutodialState(state); }
};
RegistryAutodial AutodialRegistry;
AutodialGuard Autodial(AutodialRegistry);

// Puts autodial back when the fetch returns, however it returns.
struct AutodialFetchScope {
  AutodialFetchScope() = default;
  AutodialFetchScope(const AutodialFetchScope&) = delete;
  AutodialFetchScope& operator=(const AutodialFetchScope&) = delete;
  ~AutodialFetchScope() { Autodial.EndFetch(); }
};

// Fixed, removable, optical and RAM drives; a network drive, or a letter that names no
// drive, is not local.
bool DriveIsLocal(char letter) {
  const char root[] = {letter, ':', '\\', '\0'};
  switch (GetDriveTypeA(root)) {
    case DRIVE_FIXED:
    case DRIVE_REMOVABLE:
    case DRIVE_CDROM:
    case DRIVE_RAMDISK:
      return true;
    default:
      return false;
  }
}

}  // namespace

std::string FetchFeedText(const std::string& address) {
  if (address.empty()) return {};
  switch (FeedSourceOf(address, DriveIsLocal)) {
    case FeedSource::Refused:
      return {};
    case FeedSource::LocalFile:
      return ReadWholeFile(address.c_str());
    case FeedSource::Network:
      break;
  }

  if (!Autodial.BeginFetch()) return {};  // the run has ended
  const AutodialFetchScope autodialBack;
  auto* attempt = new Attempt;
  attempt->address = address;
  attempt->deadline = GetTickCount64() + kFeedDeadlineMs;
  std::string text;
  FetchesInFlight.fetch_add(1);
  const HANDLE thread = CreateThread(nullptr, 0, AttemptProc, attempt, 0, nullptr);
  if (thread) {
    // A little beyond the deadline: the routes watch it themselves and return.
    if (WaitForSingleObject(thread, kFeedDeadlineMs + 2000) == WAIT_OBJECT_0) text = std::move(attempt->text);
    CloseHandle(thread);
  } else {
    FetchesInFlight.fetch_sub(1);
    try {
      text = FetchNetwork(address, attempt->deadline);
    } catch (...) {
      text.clear();
    }
    attempt->Leave();  // the thread's share
  }
  attempt->Leave();
  if (text.size() > kMaxFeedBytes) text.clear();
  return text;
}

void EndFeedRun() { Autodial.EndRun(); }

bool FeedFetchesInFlight() { return FetchesInFlight.load() != 0; }

HANDLE StartFeedThread(CThreadData& record) {
  return CreateThread(nullptr, 0, FeedThreadProc, &record, 0, nullptr);
}

void ReleaseFeedLibraries() {
  // A fetch abandoned past its deadline may still be inside the library: it stays then,
  // and the process's end releases it.
  if (FetchesInFlight.load() != 0) return;
  std::lock_guard<std::mutex> guard(Net.lock);
  if (Net.urlMon) FreeLibrary(Net.urlMon);
  Net.urlMon = nullptr;
  Net.downloadToCache = nullptr;
}

}  // namespace qv
