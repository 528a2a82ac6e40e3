#include "screen_room.h"

#include <QScreen>
#include <QWidget>

namespace sealtool {

QSize withinScreen(const QWidget& window, QSize wanted)
{
    const QScreen* screen = window.screen();
    if (!screen) return wanted;
    return wanted.boundedTo(screen->availableGeometry().size() - kFrameAllowance);
}

}  // namespace sealtool
