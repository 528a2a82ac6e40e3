// Library calls that can take seconds (a photo, a stamp, a reset, automatic calibration) run on a
// worker thread while the window keeps painting and answering, so that no window manager offers
// to kill the tool in the middle of a stamp.
#pragma once

#include <functional>

#include <QString>

class QWidget;

namespace sealtool {

// Runs `call` on a worker thread and returns its result once it has ended. Meanwhile `panel` is
// disabled and the pointer shows that the tool is busy; with a `progress` text a progress dialog
// over `owner` shows it with the seconds spent so far. Only the GUI thread may call this.
int runBusy(QWidget* owner, QWidget* panel, const std::function<int()>& call, const QString& progress = {});

// Whether a busy call is under way: the window takes no clicks and does not close meanwhile.
bool busyCallRunning();

}  // namespace sealtool
