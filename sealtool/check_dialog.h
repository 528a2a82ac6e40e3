// The calibration dialog: the machine's calibration values, their sending, and a backup file.
#pragma once

#include <QDialog>
#include <QMap>
#include <QString>

class QLineEdit;

namespace Ui {
class CheckDialog;
}

class CheckDialog : public QDialog {
    Q_OBJECT
public:
    explicit CheckDialog(QWidget* parent = nullptr);
    ~CheckDialog() override;

    // The line edit of a calibration value by its name (see calibrationFieldNames()).
    QLineEdit* field(const QString& name) const;

protected:
    void showEvent(QShowEvent* event) override;

private Q_SLOTS:
    void on_pushBtnAutoCheck_clicked();
    void on_pushBtnDownLoadJZXX_clicked();
    void on_pushButtonGetXZJZ_clicked();
    void on_pushButtonDownXZJZ_clicked();
    void on_pushButton_out_clicked();
    void on_pushButton_in_clicked();

private:
    void fitToContents();
    void tell(const QString& text);
    void warn(const QString& text);
    void tellResult(int code, const QString& successText);
    // The fields' numbers in the given order; false, after naming the first field that holds
    // no number in its range, when any does not.
    bool readFields(const QStringList& names, short* values);
    // Fills the fields from the machine; its result code (the failure already shown).
    int readBack();
    void setField(const QString& name, int number);

    Ui::CheckDialog* ui;
    bool m_bInit = false;
    QMap<QString, QLineEdit*> m_fields;
};
