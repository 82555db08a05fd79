#include "shell/render_backend.h"

// Qt before X11: the X11 headers define macros such as None and Bool.
#include <QString>
#include <QtGlobal>

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdlib>

namespace {

// Exit status of the probe child when it cannot open the display.
constexpr int kNoDisplay = 2;

// Runs in the child: the renderer of a direct context on an unmapped 1x1 window, empty when
// the display has no GLX or no visual for it.
std::string GlxRenderer(Display* display) {
    int errorBase = 0;
    int eventBase = 0;
    if (!glXQueryExtension(display, &errorBase, &eventBase))
        return {};
    int attributes[] = {GLX_RGBA, None};
    const int screen = DefaultScreen(display);
    XVisualInfo* visual = glXChooseVisual(display, screen, attributes);
    if (!visual)
        return {};
    const GLXContext context = glXCreateContext(display, visual, nullptr, True);
    if (!context)
        return {};
    XSetWindowAttributes windowAttributes{};
    windowAttributes.colormap =
        XCreateColormap(display, RootWindow(display, screen), visual->visual, AllocNone);
    const Window window =
        XCreateWindow(display, RootWindow(display, screen), 0, 0, 1, 1, 0, visual->depth,
                      InputOutput, visual->visual, CWColormap | CWBorderPixel, &windowAttributes);
    std::string renderer;
    if (glXMakeCurrent(display, window, context)) {
        if (const GLubyte* name = glGetString(GL_RENDERER))
            renderer = reinterpret_cast<const char*>(name);
    }
    return renderer;
}

QtMessageHandler previousHandler = nullptr;

// With OpenGL off, the browser engine still asks for a context as the application starts,
// and the X11 platform says at every start that it cannot make one: expected here, not news.
void WithoutOpenGlWarning(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
    if (type == QtWarningMsg &&
        message.startsWith(QLatin1String("QXcbIntegration: Cannot create platform OpenGL")))
        return;
    previousHandler(type, context, message);
}

bool OnX11() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    const std::string_view name = platform ? platform : "";
    return name.empty() || name == "xcb" || name.starts_with("xcb:");
}

}  // namespace

bool IsSoftwareRenderer(std::string_view renderer) {
    if (renderer.empty())
        return true;
    std::string lower(renderer);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static constexpr std::array<std::string_view, 5> kSoftware = {
        "llvmpipe", "softpipe", "swrast", "software rasterizer", "swiftshader"};
    return std::any_of(kSoftware.begin(), kSoftware.end(), [&](std::string_view name) {
        return lower.find(name) != std::string::npos;
    });
}

std::string NoDisplayReason() {
    if (!OnX11() || std::getenv("WAYLAND_DISPLAY") != nullptr)
        return {};
    const char* name = std::getenv("DISPLAY");
    if (name == nullptr || *name == '\0')
        return "DISPLAY is not set";
    Display* display = XOpenDisplay(nullptr);
    if (display == nullptr)
        return std::string("cannot open the X display '") + name + "'";
    XCloseDisplay(display);
    return {};
}

std::optional<std::string> ProbeGlRenderer() {
    const char* displayName = std::getenv("DISPLAY");
    if (!displayName || !*displayName)
        return std::nullopt;
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child < 0) {
        close(fds[0]);
        close(fds[1]);
        return std::nullopt;
    }
    if (child == 0) {
        close(fds[0]);
        Display* display = XOpenDisplay(nullptr);
        if (!display)
            _exit(kNoDisplay);
        const std::string renderer = GlxRenderer(display);
        // A marker first, so that an empty name differs from a child that died on the way.
        const std::string message = "=" + renderer;
        _exit(write(fds[1], message.data(), message.size()) == static_cast<ssize_t>(message.size())
                  ? 0
                  : 1);
    }
    close(fds[1]);
    std::string message;
    char buffer[256];
    ssize_t n = 0;
    while ((n = read(fds[0], buffer, sizeof buffer)) > 0)
        message.append(buffer, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == kNoDisplay)
        return std::nullopt;
    // A driver that crashed or failed the probe is no better than none.
    if (message.empty() || message[0] != '=')
        return std::string();
    return message.substr(1);
}

void ChooseRenderBackend(const std::function<std::optional<std::string>()>& probe) {
    const char* quick = std::getenv("QT_QUICK_BACKEND");
    const char* integration = std::getenv("QT_XCB_GL_INTEGRATION");
    const bool software = [&] {
        if ((quick && integration) || !OnX11())
            return false;
        if (integration && std::string_view(integration) == "none")
            return true;
        const std::optional<std::string> renderer = probe();
        return renderer && IsSoftwareRenderer(*renderer);
    }();
    if (software) {
        // The last argument 0 keeps a value the user gave.
        setenv("QT_QUICK_BACKEND", "software", 0);
        setenv("QT_XCB_GL_INTEGRATION", "none", 0);
    }
    const char* finalIntegration = std::getenv("QT_XCB_GL_INTEGRATION");
    if (OnX11() && finalIntegration && std::string_view(finalIntegration) == "none" &&
        !previousHandler)
        previousHandler = qInstallMessageHandler(WithoutOpenGlWarning);
}
