// The remembered window position: the top-left corner of a window in screen coordinates, kept in
// section "Windowspos" as the values "<template id>_X" and "<template id>_Y".
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// The stored corner, 0 for a value that is missing or unreadable.
QPoint LoadWindowPos(unsigned template_id);
// True when both values reached the store.
bool SaveWindowPos(unsigned template_id, const QPoint& top_left);

// Pulls a stored corner back so that a client area of `client` size fits on the desktop: past
// the right or bottom edge it moves left or up, and a coordinate left of or above the desktop
// becomes its edge (which wins when the window is larger than the desktop).
QPoint ClampWindowPos(const QPoint& stored, const QSize& client, const QRect& desktop);
