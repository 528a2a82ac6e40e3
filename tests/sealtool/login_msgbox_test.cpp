// Login and the message box that worker threads use.
#include <atomic>
#include <thread>

#include <QDialogButtonBox>
#include <QElapsedTimer>

#include "dialog.h"
#include "msg_box.h"
#include "run_tool.h"
#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

// Runs the tool; the operator types each password in turn at the login dialog and closes it
// when none is left. Whether the main window showed is recorded; it is closed at once.
TEST(Login, OnlyTheRightPasswordOpensTheMainWindowOfTheClassTheDesktopEntryNames)
{
    TempFiles files;
    for (auto [passwords, opens] :
         {std::pair{QStringList{"", "HQKD274", "hqkd274 ", "hqkd274"}, true}, {QStringList{"", "Hqkd274"}, false}}) {
        bool shown = false;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&, left = passwords]() mutable {
            for (QWidget* widget : QApplication::topLevelWidgets())
                if (auto* window = qobject_cast<MainWindow*>(widget); window && window->isVisible())
                    shown = true, window->close();
            auto* login = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!login) return;
            if (left.isEmpty()) return void(login->close());
            login->findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(left.takeFirst());
            login->findChild<QPushButton*>(QStringLiteral("pushButton"))->click();
        });
        timer.start(5);
        EXPECT_EQ(runTool(*qApp), 0);
        EXPECT_EQ(shown, opens) << passwords.join('|').toStdString();
    }
    // Docks and task bars match the tool's windows to its menu entry by the windows' class, which
    // Qt takes from the application name that the run set.
    QFile entry(STAMPCTL_DESKTOP_ENTRY);
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(
        QString::fromUtf8(entry.readAll()).contains("\nStartupWMClass=" + QApplication::applicationName() + "\n"));
}

TEST(MsgBox, WorkerWaitsForTheBoxShownByTheGuiThread)
{
    TempFiles files;
    MainWindow window;  // the box belongs over the tool's window
    window.show();
    std::atomic<bool> returned{false};
    bool returnedWhileOpen = true;
    QElapsedTimer open;
    // The box runs its own loop in the GUI thread: look at it from a timer inside that loop,
    // and close it only after a while.
    Operator answering;
    answering.onBox = [&](QMessageBox*) {
        if (!open.isValid()) open.start();
        if (open.elapsed() < 100) return false;
        returnedWhileOpen = returned;
        return true;
    };
    std::thread worker([&] {
        msgBox::show("标题", "正文", MSGBOX_INFORMATION);
        msgBox::show("t", "none", 4);  // a kind without a box returns at once
        returned = true;
    });
    EXPECT_TRUE(waitUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_FALSE(returnedWhileOpen);
    ASSERT_EQ(answering.boxes.size(), 1);
    const SeenBox& box = answering.boxes.first();
    const QString ok = QDialogButtonBox(QDialogButtonBox::Ok).button(QDialogButtonBox::Ok)->text();
    EXPECT_EQ(std::tuple(box.title, box.text, box.buttons, box.icon, box.shownByGuiThread, box.parent),
              std::tuple("标题", "正文", QStringList{ok}, QMessageBox::Information, true, &window));
    msgBox::show("t", "critical", MSGBOX_CRITICAL);  // from the GUI thread itself
    EXPECT_EQ(answering.boxes.last().icon, QMessageBox::Critical);
}
