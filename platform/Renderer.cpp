#include "platform/Renderer.h"

#include <epoxy/gl.h>
#include <gdk/gdk.h>
#include <glib.h>

#include <algorithm>
#include <array>
#include <cctype>

#include "platform/Log.h"

namespace harbinel::platform {

bool isSoftwareRenderer(std::string_view glRenderer) {
  std::string lower(glRenderer);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  constexpr std::array<std::string_view, 4> kSoftware{"llvmpipe", "softpipe", "swrast",
                                                      "software rasterizer"};
  return std::any_of(kSoftware.begin(), kSoftware.end(),
                     [&](std::string_view name) { return lower.find(name) != std::string::npos; });
}

std::string displayGLRenderer() {
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr) return {};
  GError* error = nullptr;
  GdkGLContext* context = gdk_display_create_gl_context(display, &error);
  std::string name;
  if (context != nullptr && gdk_gl_context_realize(context, &error)) {
    gdk_gl_context_make_current(context);
    if (const GLubyte* text = glGetString(GL_RENDERER); text != nullptr) {
      name = reinterpret_cast<const char*>(text);
    }
    gdk_gl_context_clear_current();
  }
  g_clear_error(&error);
  if (context != nullptr) g_object_unref(context);
  return name;
}

// GTK's OpenGL renderer keeps large buffers for every window; where OpenGL is drawn by the
// processor anyway they cost memory and buy no speed, and cairo draws the same windows.
void chooseRenderer() {
  if (g_getenv("GSK_RENDERER") != nullptr) return;
  const std::string glRenderer = displayGLRenderer();
  if (!isSoftwareRenderer(glRenderer)) return;
  g_setenv("GSK_RENDERER", "cairo", true);
  logLine("OpenGL is drawn by the processor (" + glRenderer + "): windows are drawn with cairo.");
}

}  // namespace harbinel::platform
