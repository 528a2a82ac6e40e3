#include "run_tool.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>

#include "dialog.h"
#include "mainwindow.h"

namespace sealtool {

int runTool(QApplication& app)
{
    // The windows' class on X11, which the desktop entry's StartupWMClass names.
    QApplication::setApplicationName(QStringLiteral("sealtool"));
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    // Qt's own buttons and file dialogs speak Chinese like the rest of the tool; without the
    // translation files they stay English and the tool still works.
    QTranslator qtTexts;
    if (qtTexts.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    Dialog login;
    login.exec();
    if (login.m_loggedIn != 1) return 0;
    MainWindow window;
    window.show();
    return app.exec();
}

}  // namespace sealtool
