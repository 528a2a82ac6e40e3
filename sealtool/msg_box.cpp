#include "msg_box.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

msgBox::msgBox(const QString& title, const QString& text, int kind)
    : m_title(title), m_text(text), m_kind(kind)
{
}

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
        QMessageBox box(icon, m_title, m_text, QMessageBox::NoButton, nullptr);
        box.addButton(QStringLiteral("ok"), QMessageBox::AcceptRole);
        box.exec();
    }
    deleteLater();
}
