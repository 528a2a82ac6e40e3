#pragma once

class QApplication;

namespace sealtool {

// Login, then the main window until it is closed; the program's exit code. A login dialog
// closed without the password ends with 0 and opens nothing.
int runTool(QApplication& app);

}  // namespace sealtool
