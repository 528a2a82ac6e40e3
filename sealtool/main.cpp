// sealtool: the service engineers' tool for the seal-control machine.
#include <QApplication>

#include "run_tool.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    return sealtool::runTool(app);
}
