#pragma once

#include <string>
#include <string_view>

namespace harbinel::platform {

// Whether an OpenGL renderer's name (GL_RENDERER) is one of Mesa's renderers that draw with the
// processor rather than a graphics card.
bool isSoftwareRenderer(std::string_view glRenderer);

// The name of the OpenGL renderer the default display would draw with, or the empty text when
// the display has no OpenGL.
std::string displayGLRenderer();

// Chooses how GTK draws the windows, once, before the first window is shown: with the processor
// (cairo) when OpenGL on this display is itself drawn by the processor. A renderer the user chose
// (GSK_RENDERER) is left as it is.
void chooseRenderer();

}  // namespace harbinel::platform
