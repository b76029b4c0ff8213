// The feed thread and its fetching on Windows: local files, the download-to-cache
// service, the Internet client library (both loaded by name at first use) and a small
// HTTP client over sockets, each bounded in size and time.
#pragma once
#include <windows.h>

#include <string>

#include "feed/thread_data.h"

namespace qv {

// Limits of one feed's fetch. Each route gives up at the feed's deadline; a route that
// is stuck in a platform call past it is abandoned (its thread finishes on its own).
inline constexpr DWORD kFeedConnectTimeoutMs = 8000;
inline constexpr DWORD kFeedReceiveTimeoutMs = 8000;
inline constexpr DWORD kFeedDeadlineMs = 20000;

// The bytes of one feed: a file on a local drive (FeedSourceOf), or the first network
// route that yields text. Empty on failure, past the deadline, for an address that is
// neither, once the run has ended, or when the feed exceeds kMaxFeedBytes.
std::string FetchFeedText(const std::string& address);

// -1 when there is no setting, else the autodial state; the state written back.
int GetAutodialState();
void SetAutodialState(int state);

// Starts the thread that fills record.m_pChannel from record.m_strAddresses. Null when
// the thread could not be started.
HANDLE StartFeedThread(CThreadData& record);

// The run's end, on the user-interface thread before the process ends: a fetch still
// under way has its autodial state put back now (exactly once, never again by the fetch),
// and no later fetch begins or switches autodial off.
void EndFeedRun();

// Whether a fetch is still running (one abandoned past its deadline may be inside a
// platform call).
bool FeedFetchesInFlight();

// The run's end: releases the download-to-cache library.
void ReleaseFeedLibraries();

}  // namespace qv
