// How much of the screen the tool's windows may take.
#pragma once

#include <QSize>

class QWidget;

namespace sealtool {

// Room left for the window manager's frame and title bar, which are not known before showing.
constexpr QSize kFrameAllowance(16, 48);

// `wanted` cut down to the free area (without panels and docks) of the screen that `window`
// opens on, with room for its frame.
QSize withinScreen(const QWidget& window, QSize wanted);

}  // namespace sealtool
