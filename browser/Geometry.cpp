#include "browser/Geometry.h"

namespace harbinel::browser {

Rect growRect(const Rect& contentBounds) {
  constexpr double side = 16;
  return {contentBounds.x + contentBounds.width - side, contentBounds.y, side, side};
}

Point locationInScreen(const Point& point, const Rect& frame) {
  return {frame.x + point.x, frame.y + point.y};
}

}  // namespace harbinel::browser
