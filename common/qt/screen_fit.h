// Keeps top-level windows whole on their screen: the window with the frame
// the window manager puts around it lies within the screen's available area.
#pragma once

#include <QMargins>
#include <QRect>
#include <QSize>

class QWidget;

namespace vexla {

// Where a window of `wanted` size (without its frame) goes: shrunk, not
// below `minimum`, until it fits `available` with its `frame`, then its frame
// centred on `owner` (an owner's frame; an invalid rectangle centres it on
// `available`) and moved back inside `available` where it would stick out.
// Answers the window's geometry without the frame.
QRect fittedGeometry(const QRect& available, const QRect& owner, QSize wanted, QSize minimum, QMargins frame);

// Makes `window` fit its screen each time it is shown, centred on the window
// of its parent (or on the screen). A window manager decorates a window only
// once it is mapped, so until then its frame is taken from the parent's
// window, else estimated; when the real frame turns out larger, the window is
// fitted once more.
void fitToScreen(QWidget& window);

}  // namespace vexla
