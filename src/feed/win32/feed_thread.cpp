#include "feed/win32/feed_thread.h"

#include <winsock2.h>
#include <urlmon.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>

#include "base/win32/win32_handles.h"
#include "feed/autodial_guard.h"
#include "feed/feed_address.h"
#include "feed/feed_fetch.h"
#include "feed/http_reply.h"

namespace qv {

namespace {

constexpr char kUserAgent[] = "QuorvexPKSV/1.0";
constexpr DWORD kUrlBufferSize = 256;
// A waiting socket call looks at the deadline (and so at the cancel) at least this often.
constexpr DWORD kSocketSliceMs = 100;

uint64_t TickMs() { return GetTickCount64(); }

// A whole file, or empty when it is missing, unreadable or larger than a feed may be.
std::string ReadWholeFile(const char* path) {
  const FileHandle owned(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!owned) return {};
  const HANDLE file = owned.get();
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

// The two libraries the first routes need, loaded by the session's first fetch that
// asks for them. The run's end frees the download-to-cache library when no fetch uses
// it; the Internet client stays loaded to the process's end, since threads of its own
// may outlive our calls into it.
class NetLibraries {
 public:
  NetLibraries() = default;
  NetLibraries(const NetLibraries&) = delete;
  NetLibraries& operator=(const NetLibraries&) = delete;

  UrlDownloadToCacheFileFn DownloadToCache() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_urlMonTried) {
      m_urlMonTried = true;
      m_urlMon.reset(LoadLibraryA("UrlMon.DLL"));
      downloadToCache = ProcAddress<UrlDownloadToCacheFileFn>(m_urlMon.get(), "URLDownloadToCacheFileA");
    }
    return downloadToCache;
  }

  bool InternetClientAvailable() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_wininetTried) {
      m_wininetTried = true;
      m_wininet = LoadLibraryA("Wininet.DLL");
      if (m_wininet) {
        open = ProcAddress<InternetOpenFn>(m_wininet, "InternetOpenA");
        connect = ProcAddress<InternetConnectFn>(m_wininet, "InternetConnectA");
        openUrl = ProcAddress<InternetOpenUrlFn>(m_wininet, "InternetOpenUrlA");
        readFile = ProcAddress<InternetReadFileFn>(m_wininet, "InternetReadFile");
        close = ProcAddress<InternetCloseHandleFn>(m_wininet, "InternetCloseHandle");
        setOption = ProcAddress<InternetSetOptionFn>(m_wininet, "InternetSetOptionA");
      }
    }
    return open && connect && openUrl && readFile && close;
  }

  // The run's end: the download-to-cache library goes (no fetch is using it).
  void ReleaseUrlMon() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_urlMon.reset();
    downloadToCache = nullptr;
  }

  UrlDownloadToCacheFileFn downloadToCache = nullptr;
  InternetOpenFn open = nullptr;
  InternetConnectFn connect = nullptr;
  InternetOpenUrlFn openUrl = nullptr;
  InternetReadFileFn readFile = nullptr;
  InternetCloseHandleFn close = nullptr;
  InternetSetOptionFn setOption = nullptr;  // optional: time limits

 private:
  std::mutex m_lock;
  bool m_urlMonTried = false, m_wininetTried = false;
  LoadedLibrary m_urlMon;
  HMODULE m_wininet = nullptr;  // never freed: see above
};

class RegistryAutodial final : public AutodialStore {
 public:
  int Get() override { return GetAutodialState(); }
  void Set(int state) override { SetAutodialState(state); }
};

// The session with what only Windows has: the libraries, the autodial switch, and an
// event that the cancel sets, so that a wait for a fetch ends at once.
class Win32FeedSession final : public FeedSession {
 public:
  Win32FeedSession()
      : m_cancelled(CreateEventA(nullptr, TRUE, FALSE, nullptr)), m_idle(CreateEventA(nullptr, TRUE, TRUE, nullptr)) {
    const HANDLE event = m_cancelled.get();
    if (event) cancel.Arm([event] { SetEvent(event); });
  }
  HANDLE CancelledEvent() const { return m_cancelled.get(); }

  // Network fetches under way, each on its own thread. No fetch begins once the run has
  // ended, so after that the count only falls.
  void FetchBegins() {
    if (m_fetches.fetch_add(1) == 0 && m_idle) ResetEvent(m_idle.get());
  }
  void FetchEnds() {
    if (m_fetches.fetch_sub(1) == 1 && m_idle) SetEvent(m_idle.get());
  }
  int FetchesInFlight() const { return m_fetches.load(); }
  // Waits at most ms for every fetch to have returned.
  bool WaitForFetches(DWORD ms) const { return !m_idle || WaitForSingleObject(m_idle.get(), ms) == WAIT_OBJECT_0; }

  NetLibraries net;
  RegistryAutodial autodialStore;
  AutodialGuard autodial{autodialStore};

 private:
  KernelHandle m_cancelled;
  KernelHandle m_idle;  // set while no fetch is under way
  std::atomic<int> m_fetches{0};
};

// Ends a blocking call from the user-interface thread while it is armed: Disarm says
// whether the interrupter ran (and so closed what the call used).
class Interruptible {
 public:
  Interruptible(FeedCancel& cancel, std::function<void()> interrupt)
      : m_cancel(cancel), m_token(cancel.Arm(std::move(interrupt))) {}
  Interruptible(const Interruptible&) = delete;
  Interruptible& operator=(const Interruptible&) = delete;
  ~Interruptible() { Disarm(); }
  // False when the session was cancelled before arming: the call is not to be made.
  bool Armed() const { return m_token != 0; }
  // True when the interrupter ran.
  bool Disarm() {
    const bool ran = m_cancel.Disarm(m_token);
    m_token = 0;
    return ran;
  }

 private:
  FeedCancel& m_cancel;
  FeedCancel::Token m_token;
};

// --- Route 1: the download-to-cache service ----------------------------------------

// Progress reports of the download: aborts it past the deadline (which the run's end
// brings forward) or the feed size cap. While the download runs, the run's end also
// aborts its binding from the user-interface thread, for a server that sends nothing
// and so gives no progress to answer.
class BindCallback final : public IBindStatusCallback {
 public:
  BindCallback(const FeedDeadline& deadline, FeedCancel& cancel) : m_deadline(deadline), m_cancel(cancel) {}
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
  HRESULT STDMETHODCALLTYPE OnStartBinding(DWORD, IBinding* binding) override {
    if (m_deadline.Passed()) return E_ABORT;
    if (binding && !m_binding) {
      binding->AddRef();
      m_binding = binding;
      m_token = m_cancel.Arm([binding] { binding->Abort(); });
    }
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetPriority(LONG*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE OnLowResource(DWORD) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnProgress(ULONG progress, ULONG, ULONG, LPCWSTR) override {
    return (m_deadline.Passed() || progress > kMaxFeedBytes) ? E_ABORT : S_OK;
  }
  // Not disarmed here: an abort may report the stop at once, on the thread that aborts.
  HRESULT STDMETHODCALLTYPE OnStopBinding(HRESULT, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE GetBindInfo(DWORD*, BINDINFO*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnDataAvailable(DWORD, DWORD, FORMATETC*, STGMEDIUM*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE OnObjectAvailable(REFIID, IUnknown*) override { return S_OK; }

  // The download has returned: its binding can no longer be aborted, and is let go.
  void Finished() {
    m_cancel.Disarm(m_token);
    m_token = 0;
    if (m_binding) m_binding->Release();
    m_binding = nullptr;
  }

 private:
  LONG m_refs = 1;
  const FeedDeadline m_deadline;
  FeedCancel& m_cancel;  // the session's, which the fetch holds
  IBinding* m_binding = nullptr;
  FeedCancel::Token m_token = 0;
};

std::string DownloadToCacheRoute(Win32FeedSession& session, const std::string& address,
                                 const FeedDeadline& deadline) {
  const UrlDownloadToCacheFileFn download = session.net.DownloadToCache();
  if (!download) return {};
  char file[kUrlBufferSize] = {};
  BindCallback* callback = new BindCallback(deadline, session.cancel);
  const HRESULT hr = download(nullptr, address.c_str(), file, kUrlBufferSize, 0, callback);
  callback->Finished();
  callback->Release();
  if (FAILED(hr) || deadline.Passed() || file[0] == '\0' || GetFileAttributesA(file) == INVALID_FILE_ATTRIBUTES)
    return {};
  std::string text = ReadWholeFile(file);
  DeleteFileA(file);
  return text;
}

// --- Route 2: the Internet client library ------------------------------------------

std::string InternetClientRoute(Win32FeedSession& session, const std::string& address,
                                const FeedDeadline& deadline) {
  NetLibraries& net = session.net;
  if (!net.InternetClientAvailable()) return {};
  const HINTERNET root = net.open(kUserAgent, 0, nullptr, nullptr, 0);
  if (!root) return {};
  if (net.setOption) {
    DWORD connectMs = session.limits.connectMs, receiveMs = session.limits.receiveMs;
    net.setOption(root, INTERNET_OPTION_CONNECT_TIMEOUT, &connectMs, sizeof connectMs);
    net.setOption(root, INTERNET_OPTION_RECEIVE_TIMEOUT, &receiveMs, sizeof receiveMs);
    net.setOption(root, INTERNET_OPTION_SEND_TIMEOUT, &receiveMs, sizeof receiveMs);
  }
  // Closing the root handle from the user-interface thread ends the open or the read
  // under way, and the request handle with it.
  const InternetCloseHandleFn close = net.close;
  Interruptible interruptible(session.cancel, [close, root] { close(root); });
  std::string text;
  HINTERNET url = nullptr;
  if (interruptible.Armed()) url = net.openUrl(root, address.c_str(), nullptr, 0, 0, 0);
  if (url) {
    char piece[1024];
    DWORD got = 0;
    while (!deadline.Passed() && net.readFile(url, piece, sizeof piece, &got) && got > 0) {
      if (text.size() + got > kMaxFeedBytes || deadline.Passed()) {
        text.clear();  // too long or too slow: dropped, not cut
        break;
      }
      text.append(piece, got);
    }
    if (deadline.Passed()) text.clear();
  }
  if (!interruptible.Disarm()) {
    if (url) net.close(url);
    net.close(root);
  }
  return text;
}

// --- Route 3: HTTP over a socket ---------------------------------------------------

// Waits until s is ready (writable after a connect, else readable), in slices, so that
// the deadline and the cancel are seen while it waits. False past the deadline, on an
// error, or when the socket was closed under the wait.
bool WaitForSocket(SOCKET s, bool writable, const FeedDeadline& deadline) {
  while (!deadline.Passed()) {
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(s, &ready);
    FD_SET(s, &failed);
    const DWORD ms = std::min(kSocketSliceMs, static_cast<DWORD>(deadline.MsLeft()));
    timeval slice{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
    const int n = writable ? select(0, nullptr, &ready, &failed, &slice) : select(0, &ready, nullptr, &failed, &slice);
    if (n < 0 || FD_ISSET(s, &failed)) return false;
    if (n > 0) return FD_ISSET(s, &ready) != 0;
  }
  return false;
}

// Connects within the connect time limit: a non-blocking connect waited for in slices.
bool ConnectWithin(SOCKET s, const sockaddr_in& to, const FeedDeadline& deadline) {
  if (connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) != 0) {
    if (WSAGetLastError() != WSAEWOULDBLOCK) return false;
    if (!WaitForSocket(s, true, deadline)) return false;
    int error = 0;
    int length = sizeof error;
    if (getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0 || error != 0)
      return false;
  }
  return true;
}

// Sends the request and reads the reply on a connected non-blocking socket; every wait
// is a slice that looks at the deadline, and a server silent for the receive time limit
// fails the fetch.
std::string Exchange(const FeedSession& session, SOCKET s, const std::string& request, const FeedDeadline& deadline) {
  size_t sent = 0;
  while (sent < request.size()) {
    const int n = send(s, request.data() + sent, static_cast<int>(request.size() - sent), 0);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n < 0 && WSAGetLastError() == WSAEWOULDBLOCK) {
      if (!WaitForSocket(s, true, deadline)) return {};
    } else {
      return {};
    }
  }
  HttpReplyParser reply;
  char piece[1024];
  for (;;) {
    const FeedDeadline quiet(session.cancel, &TickMs, std::min(session.limits.receiveMs, deadline.MsLeft()));
    if (!WaitForSocket(s, false, quiet)) return {};
    const int n = recv(s, piece, sizeof piece, 0);
    if (n < 0) {
      if (WSAGetLastError() == WSAEWOULDBLOCK) continue;
      return {};  // failed, or closed by the run's end
    }
    const auto state = n == 0 ? reply.Finish() : reply.Feed(std::string_view(piece, static_cast<size_t>(n)));
    if (state == HttpReplyParser::State::Done) return reply.TakeBody();  // moved: one copy of the feed, not two
    if (state == HttpReplyParser::State::Failed) return {};
  }
}

std::string SocketExchange(Win32FeedSession& session, const HttpTarget& target, const FeedDeadline& deadline) {
  const HttpProxy& proxy = session.proxy;
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
  // Closing the socket from the user-interface thread ends a wait on it at once.
  Interruptible interruptible(session.cancel, [s] { closesocket(s); });
  std::string body;
  u_long nonBlocking = 1;
  if (interruptible.Armed() && ioctlsocket(s, FIONBIO, &nonBlocking) == 0) {
    const FeedDeadline connectBy(session.cancel, &TickMs, std::min(session.limits.connectMs, deadline.MsLeft()));
    if (ConnectWithin(s, to, connectBy)) body = Exchange(session, s, *request, deadline);
  }
  if (!interruptible.Disarm()) closesocket(s);
  if (deadline.Passed()) body.clear();
  return body;
}

std::string SocketRoute(Win32FeedSession& session, const std::string& address, const FeedDeadline& deadline) {
  const std::optional<HttpTarget> target = SocketTarget(address);
  if (!target) return {};
  WSADATA wsa{};
  if (WSAStartup(MAKEWORD(1, 1), &wsa) != 0) return {};
  std::string text;
  if (wsa.wVersion == MAKEWORD(1, 1)) text = SocketExchange(session, *target, deadline);
  WSACleanup();
  return text;
}

std::string FetchNetwork(Win32FeedSession& session, const std::string& address, const FeedDeadline& deadline) {
  const FeedLimits& limits = session.limits;
  std::string text;
  if (limits.RouteAllowed(1) && !deadline.Passed()) text = DownloadToCacheRoute(session, address, deadline);
  if (text.empty() && limits.RouteAllowed(2) && !deadline.Passed())
    text = InternetClientRoute(session, address, deadline);
  if (text.empty() && limits.RouteAllowed(3) && !deadline.Passed()) text = SocketRoute(session, address, deadline);
  return text;
}

// One network fetch on its own thread, so that a route stuck in a platform call cannot
// hold the feed list past the deadline, nor the feed thread past the run's end. Shared
// by the two threads; the last one out deletes it. It holds the session, so a fetch
// left behind still has everything it uses.
struct Attempt {
  Attempt(std::shared_ptr<Win32FeedSession> s, std::string a)
      : session(std::move(s)), address(std::move(a)), deadline(session->cancel, &TickMs, session->limits.deadlineMs) {}
  std::shared_ptr<Win32FeedSession> session;
  std::string address;
  FeedDeadline deadline;
  std::string text;
  std::atomic<int> owners{2};
  void Leave() {
    if (owners.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
};

DWORD WINAPI AttemptProc(void* parameter) {
  auto* attempt = static_cast<Attempt*>(parameter);
  try {
    attempt->text = FetchNetwork(*attempt->session, attempt->address, attempt->deadline);
  } catch (...) {
    attempt->text.clear();  // out of memory: this feed yields nothing
  }
  attempt->session->FetchEnds();
  attempt->Leave();
  return 0;
}

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

// Puts autodial back when the fetch returns, however it returns.
struct AutodialFetchScope {
  explicit AutodialFetchScope(AutodialGuard& guard) : m_guard(guard) {}
  AutodialFetchScope(const AutodialFetchScope&) = delete;
  AutodialFetchScope& operator=(const AutodialFetchScope&) = delete;
  ~AutodialFetchScope() { m_guard.EndFetch(); }
  AutodialGuard& m_guard;
};

// The bytes of one feed: a file on a local drive (FeedSourceOf), or the first network
// route that yields text. Empty on failure, past the deadline, for an address that is
// neither, once the run has ended, or when the feed exceeds kMaxFeedBytes.
std::string FetchFeedText(const std::shared_ptr<Win32FeedSession>& session, const std::string& address) {
  if (address.empty() || session->cancel.Cancelled()) return {};
  switch (FeedSourceOf(address, DriveIsLocal)) {
    case FeedSource::Refused:
      return {};
    case FeedSource::LocalFile:
      return ReadWholeFile(address.c_str());
    case FeedSource::Network:
      break;
  }

  if (!session->autodial.BeginFetch()) return {};  // the run has ended
  const AutodialFetchScope autodialBack(session->autodial);
  auto* attempt = new Attempt(session, address);
  const DWORD waitMs = session->limits.deadlineMs + 2000;  // the routes watch the deadline themselves
  std::string text;
  session->FetchBegins();
  const KernelHandle thread(CreateThread(nullptr, 0, AttemptProc, attempt, 0, nullptr));
  if (thread) {
    // The fetch's end, its deadline or the run's end, whichever comes first.
    const HANDLE waits[2] = {thread.get(), session->CancelledEvent()};
    const DWORD count = waits[1] ? 2 : 1;
    if (WaitForMultipleObjects(count, waits, FALSE, waitMs) == WAIT_OBJECT_0 && !session->cancel.Cancelled())
      text = std::move(attempt->text);
  } else {
    session->FetchEnds();
    try {
      text = FetchNetwork(*session, address, attempt->deadline);
    } catch (...) {
      text.clear();
    }
    attempt->Leave();  // the thread's share
  }
  attempt->Leave();
  if (text.size() > kMaxFeedBytes) text.clear();
  return text;
}

class Win32FeedFetcher final : public FeedFetcher {
 public:
  explicit Win32FeedFetcher(std::shared_ptr<Win32FeedSession> session) : m_session(std::move(session)) {}
  std::string FetchFeedText(const std::string& address) override { return qv::FetchFeedText(m_session, address); }

 private:
  std::shared_ptr<Win32FeedSession> m_session;
};

// The thread's parameter is its own reference to the session, which it lets go at its end.
DWORD WINAPI FeedThreadProc(void* parameter) {
  const std::unique_ptr<std::shared_ptr<Win32FeedSession>> held(static_cast<std::shared_ptr<Win32FeedSession>*>(parameter));
  const std::shared_ptr<Win32FeedSession> session = *held;
  // The loop catches what the fetches and the parse throw; nothing may leave a thread
  // routine, so whatever gets here still marks the thread finished.
  try {
    Win32FeedFetcher fetcher(session);
    RunFeedLoop(*session, fetcher);
  } catch (...) {
    session->record.m_nFinished.store(1, std::memory_order_release);
  }
  return 0;
}

RegKey OpenAutodialKey(bool create, const char** valueName, bool* win9x) {
  *win9x = (GetVersion() & 0x80000000u) != 0;
  const char* path = *win9x ? "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings"
                            : "Software\\Microsoft\\RAS Autodial\\Control";
  *valueName = *win9x ? "EnableAutodial" : "LoginSessionDisable";
  RegKey key;
  const LONG status = create ? RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                               nullptr, key.put(), nullptr)
                             : RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, key.put());
  if (status != ERROR_SUCCESS) key.reset();
  return key;
}

Win32FeedSession& Native(const std::shared_ptr<FeedSession>& session) {
  return static_cast<Win32FeedSession&>(*session);
}

}  // namespace

int GetAutodialState() {
  const char* name = nullptr;
  bool win9x = false;
  const RegKey key = OpenAutodialKey(false, &name, &win9x);
  if (!key) return -1;
  DWORD value = 0, size = sizeof value, type = 0;
  const LONG status = RegQueryValueExA(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size);
  if (status != ERROR_SUCCESS || size != sizeof value) return -1;
  if (win9x) return static_cast<int>(value);
  return value ? 0 : 1;  // the stored value disables autodial
}

void SetAutodialState(int state) {
  const char* name = nullptr;
  bool win9x = false;
  const RegKey key = OpenAutodialKey(true, &name, &win9x);
  if (!key) return;
  const DWORD value = win9x ? static_cast<DWORD>(state) : (state ? 0u : 1u);
  RegSetValueExA(key.get(), name, 0, win9x ? REG_BINARY : REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                 sizeof value);
  RegFlushKey(key.get());
}

FeedThread::~FeedThread() = default;

std::shared_ptr<FeedSession> FeedThread::NewSession() {
  m_session = std::make_shared<Win32FeedSession>();
  return m_session;
}

bool FeedThread::Start() {
  if (!m_session || m_thread) return false;
  m_session->record.m_nDelivered.store(0, std::memory_order_relaxed);
  m_session->record.m_nFinished.store(0, std::memory_order_relaxed);
  auto* held = new std::shared_ptr<Win32FeedSession>(std::static_pointer_cast<Win32FeedSession>(m_session));
  m_thread.reset(CreateThread(nullptr, 0, FeedThreadProc, held, 0, nullptr));
  if (!m_thread) delete held;
  return static_cast<bool>(m_thread);
}

bool FeedThread::Stop(DWORD waitMs) {
  if (!m_session || m_bStopped) return true;
  m_session->cancel.Cancel();
  Native(m_session).autodial.EndRun();  // on this thread, before the process may end
  const ULONGLONG end = GetTickCount64() + waitMs;
  const auto left = [end] {
    const ULONGLONG now = GetTickCount64();
    return now >= end ? DWORD{0} : static_cast<DWORD>(end - now);
  };
  if (m_thread) {
    if (WaitForSingleObject(m_thread.get(), waitMs) != WAIT_OBJECT_0) return false;
    m_thread.reset();
  }
  // The interrupted fetches, given what is left of the wait to return; one that does not
  // is left behind, holding the session.
  Native(m_session).WaitForFetches(left());
  m_bStopped = true;
  return true;
}

int FeedThread::FetchesInFlight() const { return m_session ? Native(m_session).FetchesInFlight() : 0; }

void FeedThread::ReleaseLibraries() {
  // A fetch left behind may still be inside the library: it stays then, and goes with
  // the session when that fetch lets go of it.
  if (!m_session || FetchesInFlight() != 0) return;
  Native(m_session).net.ReleaseUrlMon();
}

}  // namespace qv
