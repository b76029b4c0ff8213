// One run's feed work, shared by the run (on the user-interface thread) and the feed
// thread: the record the thread fills, the channel, everything the fetch needs (proxy,
// code page, limits) and the cancel that ends it. The thread reads nothing but its
// session, so the process can end normally while a fetch is still under way: whoever
// lets go of the session last (the run, the thread, or a fetch left behind) frees it.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "document/ansi_text.h"
#include "feed/http_reply.h"
#include "feed/rss.h"
#include "feed/thread_data.h"

namespace qv {

// The cancel flag of a session, and the ways out of the blocking calls under way: each
// call registers what ends it from another thread (closing its socket or handle), and
// Cancel runs those once.
class FeedCancel {
 public:
  using Token = uint64_t;

  // Any thread. Sets the flag and runs every interrupter still registered, once each.
  void Cancel();
  bool Cancelled() const { return m_bCancelled.load(std::memory_order_acquire); }

  // Registers what ends a blocking call from another thread. 0 (nothing registered) once
  // cancelled: the call is not to be made.
  Token Arm(std::function<void()> interrupt);
  // Unregisters; after this the interrupter never runs. True when it ran already (what
  // it closed is gone and must not be closed again).
  bool Disarm(Token token);

 private:
  struct Armed {
    Token token;
    std::function<void()> interrupt;
  };
  std::atomic<bool> m_bCancelled{false};
  std::mutex m_lock;
  Token m_nextToken = 1;
  std::vector<Armed> m_armed;
  std::vector<Token> m_interrupted;  // ran, not yet disarmed
};

// A fetch's deadline, which the session's cancel brings forward to now.
class FeedDeadline {
 public:
  using Clock = uint64_t (*)();  // milliseconds, monotonic
  FeedDeadline(const FeedCancel& cancel, Clock clock, uint64_t ms)
      : m_cancel(cancel), m_clock(clock), m_end(clock() + ms) {}
  bool Passed() const { return m_cancel.Cancelled() || m_clock() >= m_end; }
  // 0 once passed.
  uint32_t MsLeft() const;

 private:
  const FeedCancel& m_cancel;
  Clock m_clock;
  uint64_t m_end;
};

// How long a fetch may take, and which network routes it may use ("123": all three, in
// that order).
struct FeedLimits {
  uint32_t connectMs = 8000;
  uint32_t receiveMs = 8000;
  uint32_t deadlineMs = 20000;
  std::string routes = "123";
  bool RouteAllowed(int route) const { return routes.find(static_cast<char>('0' + route)) != std::string::npos; }
};

class FeedSession {
 public:
  FeedSession() { record.m_pChannel = &channel; }
  virtual ~FeedSession() = default;
  FeedSession(const FeedSession&) = delete;
  FeedSession& operator=(const FeedSession&) = delete;

  CThreadData record;              // addresses, the channel below, delivered, finished
  CRssChannel channel;             // the run reads it only once delivered is 1
  HttpProxy proxy;                 // the socket route's proxy
  Utf16ToAnsiFn toAnsi = &Utf16ToWindows1252;  // the code page the texts are decoded into
  FeedLimits limits;
  FeedCancel cancel;
};

}  // namespace qv
