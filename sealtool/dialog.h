// The login dialog: the main window opens only after the service password.
#pragma once

#include <QDialog>

namespace Ui {
class Dialog;
}

class Dialog : public QDialog {
    Q_OBJECT
public:
    explicit Dialog(QWidget* parent = nullptr);
    ~Dialog() override;

    int m_loggedIn = 0;

private Q_SLOTS:
    void on_pushButton_clicked();

private:
    Ui::Dialog* ui;
};
