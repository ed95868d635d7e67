#include "platform/window/DesktopFrame.h"

#include <QtGui/qguiapplication_platform.h>
#include <QGuiApplication>
#include <QWidget>

#if QT_CONFIG(xcb)
#include <xcb/xcb.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

namespace platform {

#if QT_CONFIG(xcb)

namespace {

// Some window managers answer only after a moment; none that answers at all takes longer.
constexpr std::chrono::milliseconds kAnswerWait{300};

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <class T>
using Reply = std::unique_ptr<T, FreeReply>;

xcb_atom_t InternAtom(xcb_connection_t* c, const char* name) {
    const Reply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The 32-bit values of a property; empty when it is missing or of another type.
std::vector<uint32_t> Property(xcb_connection_t* c, xcb_window_t window, xcb_atom_t name, xcb_atom_t type,
                               uint32_t count) {
    const Reply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, count), nullptr));
    if (!reply || reply->type != type || reply->format != 32) return {};
    const auto* values = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return std::vector<uint32_t>(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

// A window manager runs (its check window still names itself: one that has gone leaves the root's
// properties behind) and says it answers frame requests.
bool ManagerAnswersFrameRequests(xcb_connection_t* c, xcb_window_t root, xcb_atom_t request) {
    const xcb_atom_t check = InternAtom(c, "_NET_SUPPORTING_WM_CHECK");
    const std::vector<uint32_t> manager = Property(c, root, check, XCB_ATOM_WINDOW, 1);
    if (manager.size() != 1 || Property(c, manager[0], check, XCB_ATOM_WINDOW, 1) != manager) return false;
    const std::vector<uint32_t> supported = Property(c, root, InternAtom(c, "_NET_SUPPORTED"), XCB_ATOM_ATOM, 4096);
    return std::find(supported.begin(), supported.end(), request) != supported.end();
}

}  // namespace

bool AskFrameMargins(const QWidget* like, FrameMargins& margins) {
    if (like == nullptr || !like->isWindow() || qGuiApp == nullptr) return false;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 != nullptr ? x11->connection() : nullptr;
    if (c == nullptr) return false;
    // The manager frames a window by what it says of itself (its type, its decorations): the flags say it.
    QWidget window(nullptr, like->windowFlags());
    const auto id = xcb_window_t(window.winId());
    const Reply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, id), nullptr));
    if (!geometry) return false;
    const xcb_atom_t request = InternAtom(c, "_NET_REQUEST_FRAME_EXTENTS");
    const xcb_atom_t extents = InternAtom(c, "_NET_FRAME_EXTENTS");
    if (request == XCB_ATOM_NONE || extents == XCB_ATOM_NONE
        || !ManagerAnswersFrameRequests(c, geometry->root, request))
        return false;

    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = id;
    message.type = request;
    xcb_send_event(c, 0, geometry->root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(c);

    // The answer is a property of the window: left, right, top, bottom in the display's pixels.
    const auto until = std::chrono::steady_clock::now() + kAnswerWait;
    std::vector<uint32_t> values;
    while ((values = Property(c, id, extents, XCB_ATOM_CARDINAL, 4)).size() != 4) {
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // Rounded up: what is fitted with them then lies inside whatever the scale.
    const double ratio = window.devicePixelRatioF() > 0 ? window.devicePixelRatioF() : 1.0;
    const auto scaled = [ratio](uint32_t value) {
        return int(std::ceil(double(std::min<uint32_t>(value, 1U << 16)) / ratio));
    };
    margins = FrameMargins{scaled(values[0]), scaled(values[2]), scaled(values[1]), scaled(values[3])};
    return true;
}

#else

bool AskFrameMargins(const QWidget*, FrameMargins&) { return false; }

#endif

}  // namespace platform
