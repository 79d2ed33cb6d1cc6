#pragma once

#include <QPoint>
#include <optional>

class QWidget;

// Where the window system really shows a top-level window. The toolkit keeps
// its own copy of every window's position, fed by the notices the window
// manager sends; a window manager that places a frameless window without
// such a notice (openbox does so now and then, racing with the window's
// reparenting) leaves that copy wrong. Dialogs are then centred on a parent
// that is not where it seems, and a drag of the title bar makes the window
// jump by its own offset on the screen.

// The window system's position of `window`'s top-left corner on the screen;
// nothing where the window system does not say (no X11 display, the window
// not made yet).
std::optional<QPoint> WindowSystemPosition(const QWidget& window);

// Makes the toolkit's position of the top-level `window` agree with the
// window system's. Only for a window that is on the screen, where the window
// manager has finished placing it; a window that is not exposed is left
// alone. Returns true when the position had to be corrected.
bool SyncWindowPosition(QWidget& window);
