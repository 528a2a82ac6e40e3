#include "dialog.h"

#include "ui_dialog.h"
#include "window_icon.h"

namespace {

constexpr const char* kServicePassword = "hqkd274";

}  // namespace

Dialog::Dialog(QWidget* parent) : QDialog(parent), ui(new Ui::Dialog)
{
    ui->setupUi(this);
    // Its layout sizes it (fixed), so that a larger font never cuts the label.
    setWindowIcon(sealtool::windowIcon());
}

Dialog::~Dialog() { delete ui; }

void Dialog::on_pushButton_clicked()
{
    // Exact comparison: no trimming, case counts; a wrong password is simply not accepted.
    if (ui->lineEdit->text() == QLatin1String(kServicePassword)) {
        m_loggedIn = 1;
        accept();
    }
}
