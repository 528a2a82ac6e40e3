#include "msg_box.h"

#include <QApplication>
#include <QMainWindow>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace {

QWidget* toolWindow()
{
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(widget) && widget->isVisible()) return widget;
    return QApplication::activeWindow();
}

}  // namespace

msgBox::msgBox(const QString& title, const QString& text, int kind) : m_title(title), m_text(text), m_kind(kind) {}

void msgBox::show(const QString& title, const QString& text, int kind)
{
    QEventLoop loop;
    auto* box = new msgBox(title, text, kind);
    // The box deletes itself in the GUI thread; its end is what releases this thread.
    QObject::connect(box, &QObject::destroyed, &loop, &QEventLoop::quit, Qt::QueuedConnection);
    box->readyShow();
    loop.exec();
}

void msgBox::readyShow()
{
    moveToThread(QCoreApplication::instance()->thread());
    QTimer::singleShot(0, this, SLOT(onShow()));
}

void msgBox::onShow()
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (m_kind) {
    case MSGBOX_INFORMATION: icon = QMessageBox::Information; break;
    case MSGBOX_CRITICAL: icon = QMessageBox::Critical; break;
    case MSGBOX_QUESTION: icon = QMessageBox::Question; break;
    default: break;
    }
    if (icon != QMessageBox::NoIcon) {
        // Over the tool's window, with Qt's own (translated) button.
        QMessageBox box(icon, m_title, m_text, QMessageBox::Ok, toolWindow());
        box.exec();
    }
    deleteLater();
}
