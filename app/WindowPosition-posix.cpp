#include <xcb/xcb.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QGuiApplication>
#include <QThread>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "app/WindowPosition.h"

namespace {

template <typename T>
using Reply = std::unique_ptr<T, decltype(&std::free)>;

struct SystemGeometry {
  QPoint origin;  // on the screen
  xcb_get_geometry_reply_t size;
};

xcb_connection_t* X11Connection() {
  auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return x11 ? x11->connection() : nullptr;
}

std::optional<SystemGeometry> QueryGeometry(xcb_connection_t* connection, xcb_window_t id) {
  const Reply<xcb_get_geometry_reply_t> geometry(
      xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr), &std::free);
  if (!geometry) return std::nullopt;
  const Reply<xcb_translate_coordinates_reply_t> origin(
      xcb_translate_coordinates_reply(
          connection, xcb_translate_coordinates(connection, id, geometry->root, 0, 0), nullptr),
      &std::free);
  if (!origin) return std::nullopt;
  return SystemGeometry{QPoint(origin->dst_x, origin->dst_y), *geometry};
}

// The notice a window manager owes a client whose window it moved without
// resizing it: a ConfigureNotify sent through the server with the position
// on the screen. The toolkit takes its position from it.
void SendMoveNotice(xcb_connection_t* connection, xcb_window_t id, const SystemGeometry& geometry) {
  xcb_configure_notify_event_t notice;
  std::memset(&notice, 0, sizeof notice);
  notice.response_type = XCB_CONFIGURE_NOTIFY;
  notice.event = id;
  notice.window = id;
  notice.above_sibling = XCB_NONE;
  notice.x = static_cast<int16_t>(geometry.origin.x());
  notice.y = static_cast<int16_t>(geometry.origin.y());
  notice.width = geometry.size.width;
  notice.height = geometry.size.height;
  notice.border_width = geometry.size.border_width;
  xcb_send_event(connection, 0, id, XCB_EVENT_MASK_STRUCTURE_NOTIFY,
                 reinterpret_cast<const char*>(&notice));
  xcb_flush(connection);
}

}  // namespace

std::optional<QPoint> WindowSystemPosition(const QWidget& window) {
  xcb_connection_t* connection = X11Connection();
  const QWindow* handle = window.windowHandle();
  if (!connection || !handle || !handle->handle()) return std::nullopt;
  const std::optional<SystemGeometry> geometry =
      QueryGeometry(connection, static_cast<xcb_window_t>(handle->winId()));
  if (!geometry) return std::nullopt;
  return geometry->origin;
}

bool SyncWindowPosition(QWidget& window) {
  QWindow* handle = window.windowHandle();
  xcb_connection_t* connection = X11Connection();
  if (!connection || !window.isWindow() || !handle || !handle->isExposed()) return false;
  const auto id = static_cast<xcb_window_t>(handle->winId());
  const std::optional<SystemGeometry> geometry = QueryGeometry(connection, id);
  if (!geometry || geometry->origin == handle->geometry().topLeft()) return false;
  SendMoveNotice(connection, id, *geometry);
  // The notice comes back through the server; what follows (centring a
  // dialog, starting a move) needs the position now.
  const QDeadlineTimer deadline(500);
  while (handle->geometry().topLeft() != geometry->origin && !deadline.hasExpired()) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    QThread::msleep(1);
  }
  return true;
}
