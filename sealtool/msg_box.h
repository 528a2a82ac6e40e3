// A message box that any thread may ask for: it is shown by the GUI thread, and the caller waits
// until the operator has closed it.
#pragma once

#include <QObject>
#include <QString>

enum {
    MSGBOX_INFORMATION = 1,
    MSGBOX_CRITICAL = 2,
    MSGBOX_QUESTION = 3,
};

class msgBox : public QObject {
    Q_OBJECT
public:
    // Returns once the box has been closed; a kind outside the three shows nothing.
    static void show(const QString& title, const QString& text, int kind);

private:
    msgBox(const QString& title, const QString& text, int kind);
    void readyShow();

private Q_SLOTS:
    void onShow();

private:
    QString m_title;
    QString m_text;
    int m_kind;
};
