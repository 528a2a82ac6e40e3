// sealtool: the service engineers' tool for the seal-control machine.
#include <QApplication>

#include "run_tool.h"

int main(int argc, char* argv[])
{
    // On a high-DPI screen the forms grow with their fonts instead of cutting them.
    QApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    return sealtool::runTool(app);
}
