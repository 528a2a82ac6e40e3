// Scaffolding of the tool's tests: a private files directory, an operator who answers every
// message box and file dialog, and a way to put recording functions into the library table.
#pragma once

#include <functional>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

#include "library.h"
#include "mainwindow.h"

namespace sealtool::test {

// A fresh directory with "log" and "cut", given to the library and the tool as their files
// directory for the life of the object.
class TempFiles {
public:
    TempFiles()
    {
        for (const char* sub : {"log", "cut"}) QDir(m_dir.path()).mkpath(sub);
        qputenv("STAMPCTL_BASE_DIR", m_dir.path().toLocal8Bit());
    }
    ~TempFiles() { qunsetenv("STAMPCTL_BASE_DIR"); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    // Everything the library has traced so far.
    QString traces() const
    {
        QString all;
        for (const QFileInfo& day : QDir(file("log")).entryInfoList(QDir::Files)) {
            QFile in(day.filePath());
            if (in.open(QIODevice::ReadOnly)) all += QString::fromUtf8(in.readAll());
        }
        return all;
    }

private:
    QTemporaryDir m_dir;
};

// One message box as the operator saw it.
struct SeenBox {
    QString title, text;
    QStringList buttons;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool shownByGuiThread = false;
    QWidget* parent = nullptr;
};

// Answers every message box with `answer` (or its first button) and every file dialog with the
// next queued file name (cancelling when none is queued), and records the boxes it saw.
class Operator : public QObject {
public:
    explicit Operator(QMessageBox::StandardButton answer = QMessageBox::Ok);
    QStringList texts() const;
    // Clicks the button `name` of `window`: the text of the last box it brought up, or empty.
    QString press(QObject* window, const char* name);
    QList<SeenBox> boxes;
    QStringList fileNames;
    QList<std::pair<QString, QStringList>> fileDialogs;  // the folder and name filters of each
    QMessageBox::StandardButton answer;
    std::function<bool(QMessageBox*)> onBox;  // asked first; false leaves the box open for now

private:
    void poll();
    QTimer m_timer;
    QPointer<QWidget> m_accepting;  // a file dialog about to be accepted
};

// Runs the event loop until `done` holds or `ms` have passed; whether it held.
bool waitUntil(const std::function<bool()>& done, int ms = 20000);

// Puts the library table back as it was when the test began.
struct LibraryScope {
    Library saved = lib();
    ~LibraryScope() { lib() = saved; }
};

// Writes a picture of the given size: a grey ramp so that every pixel is readable.
QString writePicture(const QString& path, int width, int height);
// Clicks the push button of `window` with the given object name.
void click(QObject* window, const char* name);

// The main window shown, on its own files directory and library table, with an operator at it.
// Mouse positions are those of the picture label.
class ToolWindow : public ::testing::Test {
protected:
    // At the form's own size, whatever the test screen's: the positions below are made for it.
    void SetUp() override
    {
        window.resize(1399, 780);
        window.show();
    }
    QString press(const char* name) { return answering.press(&window, name); }
    QPoint onPicture(int gx, int gy) { return window.findChild<QLabel*>("label_pic")->mapTo(&window, QPoint(gx, gy)); }
    void mouse(QEvent::Type type, int gx, int gy, Qt::MouseButton button)
    {
        QMouseEvent event(type, onPicture(gx, gy), button, button, Qt::NoModifier);
        QApplication::sendEvent(&window, &event);
    }
    void moveTo(int gx, int gy) { mouse(QEvent::MouseMove, gx, gy, Qt::NoButton); }
    // A click where the pointer was moved to, as a hand does it.
    void clickAt(int gx, int gy, Qt::MouseButton button = Qt::LeftButton)
    {
        moveTo(gx, gy);
        mouse(QEvent::MouseButtonPress, gx, gy, button);
    }

    TempFiles files;
    LibraryScope restore;
    Operator answering;
    MainWindow window;
};

}  // namespace sealtool::test
