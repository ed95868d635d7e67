// For the tests that start the program itself on an X server and look at its window from outside, as
// the user sees it: a virtual X server of a size of its own, a window manager (openbox) on it, and
// questions to the server about a window (shown or not, where its frame lies, a screenshot).
#pragma once

#include "platform/window/Geometry.h"
#include "tests/app/shell/ShellTestSupport.h"
#include "tests/support/ScopedEnvironment.h"

#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <QImage>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace shelltest {

// A virtual X server with one screen of the given size ("800x600x24"), ended with the scope.
class XServer {
public:
    explicit XServer(const std::string& screen) {
        int ready[2];
        if (pipe(ready) != 0) return;
        // No reset when the last client goes: a program connecting at that moment loses its connection.
        m_pid = Spawn(
            {"Xvfb", "-displayfd", std::to_string(ready[1]), "-screen", "0", screen, "-nolisten", "tcp", "-noreset"});
        close(ready[1]);
        // The server writes its display number once it takes connections.
        std::string number;
        pollfd wait{ready[0], POLLIN, 0};
        char c = 0;
        while (m_pid > 0 && poll(&wait, 1, 10000) == 1 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        if (!number.empty()) m_display = ":" + number;
    }
    ~XServer() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        WaitForEnd(m_pid, 5000);
    }
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;
    // ":N", empty when the server did not start.
    const std::string& Display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

// A connection of the test's own to an X server (DISPLAY when the name is empty).
class XConnection {
public:
    explicit XConnection(const std::string& display = std::string())
        : m_connection(xcb_connect(display.empty() ? nullptr : display.c_str(), nullptr)) {}
    ~XConnection() { xcb_disconnect(m_connection); }
    XConnection(const XConnection&) = delete;
    XConnection& operator=(const XConnection&) = delete;

    bool IsOpen() const { return xcb_connection_has_error(m_connection) == 0; }
    xcb_window_t Root() const { return xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root; }
    platform::Rect ScreenRect() const {
        const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data;
        return platform::Rect{0, 0, screen->width_in_pixels, screen->height_in_pixels};
    }

    // Mapped and on view.
    bool IsViewable(uint32_t window) const {
        Reply<xcb_get_window_attributes_reply_t> reply(
            xcb_get_window_attributes_reply(m_connection, xcb_get_window_attributes(m_connection, window), nullptr));
        return reply && reply->map_state == XCB_MAP_STATE_VIEWABLE;
    }

    // The window as the screen shows it, in the root's pixels: the outermost window below the root that
    // holds it (the window manager's frame around it, or the window itself without a manager), borders
    // included. Empty when the window is gone.
    platform::Rect OuterRect(uint32_t window) const {
        const xcb_window_t root = Root();
        xcb_window_t outer = window;
        for (;;) {
            Reply<xcb_query_tree_reply_t> tree(
                xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, outer), nullptr));
            if (!tree) return platform::Rect{};
            if (tree->parent == root || tree->parent == XCB_WINDOW_NONE) break;
            outer = tree->parent;
        }
        Reply<xcb_get_geometry_reply_t> g(
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, outer), nullptr));
        if (!g) return platform::Rect{};
        return platform::Rect{g->x, g->y, g->x + g->width + 2 * g->border_width,
                              g->y + g->height + 2 * g->border_width};
    }

    // The window's own area, without any frame, in the root's pixels.
    platform::Rect InnerRect(uint32_t window) const {
        Reply<xcb_get_geometry_reply_t> g(
            xcb_get_geometry_reply(m_connection, xcb_get_geometry(m_connection, window), nullptr));
        if (!g) return platform::Rect{};
        Reply<xcb_translate_coordinates_reply_t> at(xcb_translate_coordinates_reply(
            m_connection, xcb_translate_coordinates(m_connection, window, Root(), 0, 0), nullptr));
        if (!at) return platform::Rect{};
        return platform::Rect{at->dst_x, at->dst_y, at->dst_x + g->width, at->dst_y + g->height};
    }

    // A window manager has taken the screen over (its check window is named on the root).
    bool ManagerRunning() const {
        const char name[] = "_NET_SUPPORTING_WM_CHECK";
        Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 0, uint16_t(std::strlen(name)), name), nullptr));
        if (!atom) return false;
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, Root(), atom->atom, XCB_ATOM_WINDOW, 0, 1), nullptr));
        return reply && reply->value_len == 1;
    }

    // The whole screen, as PNG.
    bool SaveScreen(const std::string& path) const {
        const platform::Rect area = ScreenRect();
        Reply<xcb_get_image_reply_t> image(
            xcb_get_image_reply(m_connection,
                                xcb_get_image(m_connection, XCB_IMAGE_FORMAT_Z_PIXMAP, Root(), 0, 0,
                                              uint16_t(area.right), uint16_t(area.bottom), ~0U),
                                nullptr));
        if (!image || image->depth != 24) return false;
        const int stride = xcb_get_image_data_length(image.get()) / area.bottom;
        QImage shot(xcb_get_image_data(image.get()), area.right, area.bottom, stride, QImage::Format_RGB32);
        return shot.copy().save(QString::fromStdString(path), "PNG");
    }

private:
    struct FreeReply {
        void operator()(void* reply) const { std::free(reply); }
    };
    template <class T>
    using Reply = std::unique_ptr<T, FreeReply>;

    xcb_connection_t* m_connection;
};

// openbox on the display (DISPLAY when empty) for the scope; ready once it has taken the screen.
class WindowManager {
public:
    explicit WindowManager(const std::string& display = std::string()) {
        std::unique_ptr<gbxtest::ScopedEnvironment> onDisplay;
        if (!display.empty()) onDisplay = std::make_unique<gbxtest::ScopedEnvironment>("DISPLAY", display);
        m_pid = Spawn({"openbox", "--sm-disable"});
        XConnection x(display);
        gbxtest::PumpUntil([&] { return x.IsOpen() && x.ManagerRunning(); }, 10000);
        gbxtest::PumpFor(200);  // its own set-up after it has claimed the screen
    }
    ~WindowManager() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        WaitForEnd(m_pid, 5000);
    }
    WindowManager(const WindowManager&) = delete;
    WindowManager& operator=(const WindowManager&) = delete;
    bool Running() const { return m_pid > 0 && waitpid(m_pid, nullptr, WNOHANG) == 0; }

private:
    pid_t m_pid = -1;
};

}  // namespace shelltest
