// The description box's scrolling: a text taller than the box rests at the top for five
// seconds, moves up one pixel per tick (100 ms) until its end is inside the box, rests
// there five seconds, vanishes for half a second and starts again from the top. A text
// that fits is centred vertically and never moves.
#pragma once

namespace qv {

// Text heights include the 6-pixel margins above and below the text.
struct DescriptionScroll {
  int ScrollOffset = 0;   // pixels added to the text's vertical position
  int ScrollCounter = 0;  // 1..50 resting at the top, > 50 scrolling, -55..-6 resting
                          // at the end, -5..-1 blank, 0 back at the top

  // Initial placement: a text no taller than the box's client height is centred.
  void Start(int textHeight, int boxHeight);
  // Whether the timer moves this text: it is taller than the box inside its border.
  static bool Scrolls(int textHeight, int innerBoxHeight) { return textHeight > innerBoxHeight; }
  // One timer tick; true when the box must be repainted. Does nothing for a text that
  // does not scroll.
  bool Tick(int textHeight, int innerBoxHeight);
  // The blank phase paints the box without its text.
  bool ShowsText() const { return ScrollCounter != -5; }
};

}  // namespace qv
