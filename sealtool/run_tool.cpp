#include "run_tool.h"

#include <QApplication>
#include <QStyleFactory>

#include "dialog.h"
#include "mainwindow.h"

namespace sealtool {

int runTool(QApplication& app)
{
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    Dialog login;
    login.exec();
    if (login.m_loggedIn != 1)
        return 0;
    MainWindow window;
    window.show();
    return app.exec();
}

}  // namespace sealtool
