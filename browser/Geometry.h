#pragma once

namespace harbinel::browser {

// Window geometry with the origin at the bottom left and y growing upwards, as window frames
// are given to the kiosk window's callers.
struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;
  bool operator==(const Rect&) const = default;
};

// The 16 x 16 square in the bottom right corner of `contentBounds`.
Rect growRect(const Rect& contentBounds);

// A point in window coordinates, in screen coordinates, for a window at `frame`.
Point locationInScreen(const Point& point, const Rect& frame);

}  // namespace harbinel::browser
