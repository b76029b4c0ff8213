// The media window's rules without the media engine: which window a media file gets, and
// how the video window answers the player's events and keeps the player's state in step
// with its playing flag. The Win32 window makes the calls these decisions name.
#pragma once
#include <cstdint>
#include <string_view>

namespace qv {

enum class MediaWindowKind { None, Animation, Video };

// By the file's type code: FLI and FLC play as animations; AVI, ASF, ASX, MOV, QT, MPG,
// MPEG, WMV, MP4, M4V, MP4V, 3GP and 3G2 (any case) as video; anything else not at all.
MediaWindowKind MediaWindowKindFor(std::string_view path);

// The video window's flags that the player's events and the scene read and write.
struct VideoWindowState {
  bool playing = true;   // what the window wants
  bool applied = false;  // what the player was last told
  bool loop = false;
  bool ended = false;
  bool failed = false;
  bool hasVideo = false;
};

enum class PlayerEvent { MediaItemCreated, MediaItemSet, PlaybackEnded, Error, Other };

enum class PlayerAction {
  None,
  SetItemIfVideo,  // ask the item whether it has video, then hand it to the player
  PlayAndShow,     // play, and show the full-screen window
  PlayAgain,       // a looping video restarts from the beginning
};

// A video that cannot be played (no player, no video window, no frame size, a failed
// open or a failed player event) has nothing more to show: it is marked failed, stops,
// and a play-once video ends as a finished one would, so an intro never holds the
// scene back.
void FailVideo(VideoWindowState& state);

// One event of the player. A failed item-created, item-set or ended event, and every
// error event, fail the video without asking the item anything (on some engines a
// failed item crashes when asked); other failed events are ignored. hasOwner/hasPlayer:
// the child window has been given its owner and the player.
PlayerAction OnPlayerEvent(VideoWindowState& state, PlayerEvent event, bool succeeded, bool hasOwner,
                           bool hasPlayer);

enum class PlayStateCall { None, Play, Pause };

// From the scene's frame step: the call that brings the player to the playing flag.
PlayStateCall SyncPlayState(VideoWindowState& state);

}  // namespace qv
