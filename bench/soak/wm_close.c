/* wm_close NAME: asks every viewable top-level window called NAME to close, as a window
 * manager's close button does (a WM_DELETE_WINDOW client message); prints how many it asked.
 * Xvfb has no window manager, and xdotool's windowclose destroys the window instead. */
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <stdio.h>
#include <string.h>

/* A window may go away between listing and asking; that is no failure. */
static int IgnoreErrors(Display* display, XErrorEvent* error) {
    (void)display;
    (void)error;
    return 0;
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: wm_close NAME\n");
        return 2;
    }
    Display* display = XOpenDisplay(NULL);
    if (display == NULL)
        return 2;
    XSetErrorHandler(IgnoreErrors);
    Window root = DefaultRootWindow(display), parent, *children = NULL;
    unsigned int count = 0, asked = 0;
    Atom protocols = XInternAtom(display, "WM_PROTOCOLS", False);
    Atom remove = XInternAtom(display, "WM_DELETE_WINDOW", False);
    XQueryTree(display, root, &root, &parent, &children, &count);
    for (unsigned int i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        char* name = NULL;
        if (!XGetWindowAttributes(display, children[i], &attributes) ||
            attributes.map_state != IsViewable || !XFetchName(display, children[i], &name))
            continue;
        if (name != NULL && strcmp(name, argv[1]) == 0) {
            XEvent event;
            memset(&event, 0, sizeof event);
            event.xclient.type = ClientMessage;
            event.xclient.window = children[i];
            event.xclient.message_type = protocols;
            event.xclient.format = 32;
            event.xclient.data.l[0] = (long)remove;
            event.xclient.data.l[1] = CurrentTime;
            XSendEvent(display, children[i], False, NoEventMask, &event);
            ++asked;
        }
        XFree(name);
    }
    XFree(children);
    XCloseDisplay(display);
    printf("%u\n", asked);
    return asked > 0 ? 0 : 1;
}
