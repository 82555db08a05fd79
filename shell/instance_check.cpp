#include "shell/instance_check.h"

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

template <typename T>
using XcbReply = std::unique_ptr<T, decltype(&std::free)>;

template <typename T>
XcbReply<T> Own(T* reply) {
    return XcbReply<T>(reply, &std::free);
}

xcb_atom_t Atom(xcb_connection_t* c, const char* name) {
    auto reply = Own(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 1, static_cast<uint16_t>(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
}

// The raw bytes of a window property, empty when it is missing.
std::string Property(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
    if (property == XCB_ATOM_NONE)
        return {};
    auto reply =
        Own(xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 4096), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE)
        return {};
    const auto* data = static_cast<const char*>(xcb_get_property_value(reply.get()));
    const int bytes = xcb_get_property_value_length(reply.get());
    return std::string(data, static_cast<size_t>(bytes));
}

std::vector<xcb_window_t> Children(xcb_connection_t* c, xcb_window_t w) {
    auto reply = Own(xcb_query_tree_reply(c, xcb_query_tree(c, w), nullptr));
    if (!reply)
        return {};
    const xcb_window_t* first = xcb_query_tree_children(reply.get());
    return {first, first + xcb_query_tree_children_length(reply.get())};
}

// Managed windows from the window manager's client list; without a window manager, the
// root's children and their children (a reparenting manager puts clients one level down).
std::vector<xcb_window_t> TopLevelWindows(xcb_connection_t* c, xcb_window_t root) {
    const std::string list = Property(c, root, Atom(c, "_NET_CLIENT_LIST"), XCB_ATOM_WINDOW);
    std::vector<xcb_window_t> windows(list.size() / sizeof(xcb_window_t));
    if (!windows.empty()) {
        std::memcpy(windows.data(), list.data(), windows.size() * sizeof(xcb_window_t));
        return windows;
    }
    for (xcb_window_t w : Children(c, root)) {
        windows.push_back(w);
        for (xcb_window_t inner : Children(c, w)) windows.push_back(inner);
    }
    return windows;
}

void Activate(xcb_connection_t* c, xcb_window_t root, xcb_window_t w) {
    // Iconic (minimised) windows are mapped again, which restores them.
    const std::string state = Property(c, w, Atom(c, "WM_STATE"), XCB_ATOM_ANY);
    uint32_t wmState = 0;
    if (state.size() >= sizeof wmState)
        std::memcpy(&wmState, state.data(), sizeof wmState);
    if (wmState == 3)
        xcb_map_window(c, w);

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = w;
    message.type = Atom(c, "_NET_ACTIVE_WINDOW");
    message.data.data32[0] = 1;  // request from an application
    xcb_send_event(c, 0, root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    const uint32_t above = XCB_STACK_MODE_ABOVE;
    xcb_configure_window(c, w, XCB_CONFIG_WINDOW_STACK_MODE, &above);
    xcb_flush(c);
}

}  // namespace

int FindRunningInstance(const char* title) {
    if (std::getenv("DISPLAY") == nullptr)
        return 1;
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return 1;
    }
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 0; ++i) xcb_screen_next(&screens);
    const xcb_window_t root = screens.data->root;

    const xcb_atom_t netName = Atom(c, "_NET_WM_NAME");
    const xcb_atom_t utf8 = Atom(c, "UTF8_STRING");
    int result = 1;
    for (xcb_window_t w : TopLevelWindows(c, root)) {
        std::string name = Property(c, w, netName, utf8);
        if (name.empty())
            name = Property(c, w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
        if (name == title) {
            Activate(c, root, w);
            result = 0;
            break;
        }
    }
    xcb_disconnect(c);
    return result;
}
