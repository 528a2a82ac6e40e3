// Login and the message box that worker threads use.
#include <atomic>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>

#include <gtest/gtest.h>

#include "dialog.h"
#include "mainwindow.h"
#include "msg_box.h"
#include "run_tool.h"
#include "tool_test_support.h"

using namespace sealtool;
using namespace sealtool::test;

namespace {

// Runs the tool; the operator types each password in turn at the login dialog, and closes it
// when none is left. Whether the main window showed is recorded, and it is closed at once.
struct ToolRun {
    int exitCode = -1;
    bool mainWindowShown = false;
    int attempts = 0;
};

ToolRun runWithPasswords(const QStringList& passwords)
{
    ToolRun run;
    QStringList left = passwords;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* window = qobject_cast<MainWindow*>(widget); window && window->isVisible()) {
                run.mainWindowShown = true;
                window->close();
            }
        }
        auto* login = qobject_cast<Dialog*>(QApplication::activeModalWidget());
        if (!login)
            return;
        if (left.isEmpty()) {
            login->close();
            return;
        }
        login->findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(left.takeFirst());
        ++run.attempts;
        login->findChild<QPushButton*>(QStringLiteral("pushButton"))->click();
    });
    timer.start(5);
    run.exitCode = runTool(*qApp);
    return run;
}

}  // namespace

TEST(Login, RightPasswordOpensTheMainWindowAfterWrongOnes)
{
    TempFiles files;
    const ToolRun run = runWithPasswords({"", "HQKD274", "hqkd274 ", "hqkd274"});
    EXPECT_EQ(run.attempts, 4);
    EXPECT_TRUE(run.mainWindowShown);
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(QApplication::style()->objectName().toLower(), "fusion");
}

TEST(Login, ClosingTheDialogEndsWithZeroAndNoWindow)
{
    TempFiles files;
    const ToolRun run = runWithPasswords({"", "Hqkd274"});
    EXPECT_EQ(run.attempts, 2);
    EXPECT_FALSE(run.mainWindowShown);
    EXPECT_EQ(run.exitCode, 0);
}

TEST(MsgBox, WorkerWaitsForTheBoxShownByTheGuiThread)
{
    std::atomic<bool> returned{false};
    bool returnedWhileOpen = true;
    QElapsedTimer open;
    // The box runs its own loop in the GUI thread: look at it from a timer inside that loop,
    // and close it only after a while.
    Operator answering;
    answering.onBox = [&](QMessageBox*) {
        if (!open.isValid())
            open.start();
        if (open.elapsed() < 100)
            return false;
        returnedWhileOpen = returned;
        return true;
    };
    std::thread worker([&] {
        msgBox::show("标题", "正文", MSGBOX_INFORMATION);
        returned = true;
    });
    EXPECT_TRUE(waitUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_FALSE(returnedWhileOpen);
    ASSERT_EQ(answering.boxes.size(), 1);
    const SeenBox& box = answering.boxes.first();
    EXPECT_TRUE(box.shownByGuiThread);
    EXPECT_EQ(box.title, "标题");
    EXPECT_EQ(box.text, "正文");
    EXPECT_EQ(box.buttons, QStringList{"ok"});
    EXPECT_EQ(box.icon, QMessageBox::Information);
}

TEST(MsgBox, EachKindShowsItsBoxAndOthersNothing)
{
    Operator answering;
    for (int kind : {0, 4}) {
        std::atomic<bool> returned{false};
        std::thread worker([&] {
            msgBox::show("标题", "正文", kind);
            returned = true;
        });
        EXPECT_TRUE(waitUntil([&] { return returned.load(); }));
        worker.join();
    }
    // Called on the GUI thread itself it returns as well.
    msgBox::show("标题", "正文", 0);
    EXPECT_TRUE(answering.boxes.isEmpty());

    msgBox::show("t", "critical", MSGBOX_CRITICAL);
    msgBox::show("t", "question", MSGBOX_QUESTION);
    ASSERT_EQ(answering.boxes.size(), 2);
    EXPECT_EQ(answering.boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(answering.boxes[1].icon, QMessageBox::Question);
    EXPECT_EQ(answering.boxes[1].buttons, QStringList{"ok"});
}
