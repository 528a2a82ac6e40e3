// The icon of the tool's windows, the same picture as the desktop entry's.
#pragma once

#include <QIcon>

namespace sealtool {

QIcon windowIcon();

}  // namespace sealtool
