#include "media/video_events.h"

#include "package/file_types.h"

namespace qv {

MediaWindowKind MediaWindowKindFor(std::string_view path) {
  switch (FileTypeCode(path)) {
    case 7:
    case 8:
      return MediaWindowKind::Animation;
    case 3:
    case 4:
    case 16:
    case 18:
    case 23:
    case 46:
    case 52:
    case 53:
      return MediaWindowKind::Video;
    default:
      return MediaWindowKind::None;
  }
}

void FailVideo(VideoWindowState& state) {
  state.failed = true;
  state.playing = false;
  if (!state.loop) state.ended = true;
}

PlayerAction OnPlayerEvent(VideoWindowState& state, PlayerEvent event, bool succeeded, bool hasOwner,
                           bool hasPlayer) {
  if (!succeeded || event == PlayerEvent::Error) {
    if (event != PlayerEvent::Other) FailVideo(state);
    return PlayerAction::None;
  }
  switch (event) {
    case PlayerEvent::MediaItemCreated:
      return hasOwner && hasPlayer ? PlayerAction::SetItemIfVideo : PlayerAction::None;
    case PlayerEvent::MediaItemSet:
      return PlayerAction::PlayAndShow;
    case PlayerEvent::PlaybackEnded:
      if (!hasOwner) return PlayerAction::None;
      if (state.loop) return PlayerAction::PlayAgain;
      state.playing = false;
      state.ended = true;
      return PlayerAction::None;
    case PlayerEvent::Error:
    case PlayerEvent::Other:
      break;
  }
  return PlayerAction::None;
}

PlayStateCall SyncPlayState(VideoWindowState& state) {
  if (state.failed || state.playing == state.applied) return PlayStateCall::None;
  state.applied = state.playing;
  return state.playing ? PlayStateCall::Play : PlayStateCall::Pause;
}

}  // namespace qv
