// When a document's media holds the sprites and the sound back. A media that plays once
// is an intro: the sprites and the sound wait until it has ended. A media that never got
// a window (an unknown file type, a kind this build does not play, a file that does not
// open) has ended before it began, or the scene would wait for ever.
#pragma once

namespace qv {

// haveWindow: a media window was made and created; windowEnded: it reports its end.
inline bool MediaFinished(bool haveWindow, bool windowEnded) { return !haveWindow || windowEnded; }

// mediaNamed: the run has a media path to play (none when nothing is named, nothing
// could be extracted, or the system plays no media).
inline bool MediaHoldsScene(bool mediaNamed, bool playOnce, bool finished) {
  return mediaNamed && playOnce && !finished;
}

// What the scene does with a media window that reports its end or its failure.
enum class MediaEndStep {
  None,
  FinishIntro,  // a play-once media is over: pause, close it, then sound and sprites
  Close,        // a looping media that failed: close it at once, it has nothing to show
};
inline MediaEndStep DecideMediaEnd(bool playOnce, bool ended, bool failed) {
  if (playOnce) return ended || failed ? MediaEndStep::FinishIntro : MediaEndStep::None;
  return failed ? MediaEndStep::Close : MediaEndStep::None;
}

}  // namespace qv
