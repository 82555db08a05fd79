#pragma once
// How Qt composes the windows. The embedded browser view makes Qt compose the whole window
// through OpenGL; on a software rasteriser that re-draws every pixel of the window for each
// video frame, while Qt Quick's software scene graph only paints what changed.

#include <functional>
#include <optional>
#include <string>
#include <string_view>

// True for the renderer names of software OpenGL (and for an empty name: no OpenGL at all).
bool IsSoftwareRenderer(std::string_view renderer);

// The OpenGL renderer of the X display in DISPLAY, read in a short-lived child process so the
// driver's threads and any crash stay out of the player. Empty when the display has no usable
// OpenGL; nullopt when there is no X display to ask.
std::optional<std::string> ProbeGlRenderer();

// Why the player can show no window, found before Qt would abort over it: on X11 (the
// platform unless QT_QPA_PLATFORM names another, and no Wayland display is given) DISPLAY
// unset or naming a display that does not answer. Empty when there is a display.
std::string NoDisplayReason();

// Before the QApplication is made: where OpenGL is software or absent, selects Qt Quick's
// software scene graph and no OpenGL integration for X11; with a real GPU keeps both. A
// user's own QT_QUICK_BACKEND or QT_XCB_GL_INTEGRATION is kept; only the X11 platform is
// probed. With OpenGL off, Qt's warning that it cannot make a context is not shown.
// `probe` stands in for ProbeGlRenderer in tests.
void ChooseRenderBackend(
    const std::function<std::optional<std::string>()>& probe = ProbeGlRenderer);
