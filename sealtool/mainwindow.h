// The main window: the picture view with click-to-stamp, and one button per library function.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>

#include <QByteArray>
#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <QString>

#include <opencv2/core.hpp>

#include "text_args.h"

class QLineEdit;

namespace Ui {
class MainWindow;
}

namespace sealtool {

// The machine turns a seal through a full circle, 360 included.
inline const NumberField kAngleField{QStringLiteral("转章角度"), 0, 360};
// Page millimetres from the top-left corner: nothing lies beyond the long side of an A4 sheet.
constexpr int kA4LongSideMm = 297;
inline const NumberField kPageXField{QStringLiteral("毫米X"), 0, kA4LongSideMm};
inline const NumberField kPageYField{QStringLiteral("毫米Y"), 0, kA4LongSideMm};
// Every code the library gives is 0 or negative, four digits at most.
inline const NumberField kErrorCodeField{QStringLiteral("错误码"), -9999, 0};

}  // namespace sealtool

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void SetSelfTitle();
    // The checked seal 1..6, or 0 when none is.
    int GetSealNo() const;

    // Shows a picture file; an unreadable one leaves the view as it was and says so.
    bool loadPicture(const QString& path);
    void ShowCurPic();

    // What the view and the stamping buttons work with, for whoever inspects the window.
    QPoint stampPosition() const { return {m_stampX, m_stampY}; }
    QPoint pointerPosition() const { return {m_picX, m_picY}; }
    QPoint pan() const { return {m_img_x, m_img_y}; }
    int zoom() const { return m_zoom; }
    QSize pictureSize() const { return {m_srcImg.cols, m_srcImg.rows}; }
    QByteArray machineType() const { return m_machineType; }

    // The stress test's worker, called on its own thread.
    static void* _RunYlTest(void* window);
    void RunYlTest();
    bool stressTestRunning() const { return m_bTesting; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private Q_SLOTS:
    // Connection and identity
    void on_pushButton_Connet_clicked();
    void on_pushButton_DisConnet_clicked();
    void on_pushButton_con_safe_clicked();
    void on_pushButton_get_type_clicked();
    void on_pushButton_GetNo_clicked();
    void on_pushButton_SetNo_clicked();
    void on_pushButton_GetType_clicked();
    void on_pushButton_ywb_clicked();
    void on_pushButton_xzb_clicked();
    void on_pushButton_getID_clicked();
    void on_pushButton_setID_clicked();
    void on_pushButton_safe_clicked();
    void on_pushButton_del_safe_clicked();
    void on_pushButton_onekey_clicked();
    void on_pushButton_error_clicked();
    // Firmware mode
    void on_pushButton_wwk_clicked();
    void on_pushButton_wswjyc_clicked();
    void on_pushButton_CutDebug_clicked();
    // Doors, alarms, light, locks
    void on_pushButton_OpenPaperDoor_clicked();
    void on_pushButton_OpenPaperDoorSt_clicked();
    void on_pushButton_BackDoor_clicked();
    void on_pushButton_OpenBackDoorSt_clicked();
    void on_pushButton_backdoor_error_clicked();
    void on_pushButton_get_backdoor_error_clicked();
    void on_pushButton_del_backdoor_error_clicked();
    void on_pushButton_OpenAlarm_clicked();
    void on_pushButton_CloseAlarm_clicked();
    void on_pushButton_OpenAlarm_FD_clicked();
    void on_pushButton_CloseAlarm_FD_clicked();
    void on_pushButton_inq_alarm_clicked();
    void on_pushButton_del_alarm_clicked();
    void on_pushButton_openlight_clicked();
    void on_pushButton_closelight_clicked();
    void on_pushButton_unlock_clicked();
    // Seals and RFID
    void on_pushButton_GetRFID_clicked();
    void on_pushButton_SlotInfo_clicked();
    void on_pushButton_GetSealInof_clicked();
    void on_pushButton_getsealinfo_clicked();
    void on_pushButton_bind_rfid_clicked();
    void on_pushButton_unbind_rfid_clicked();
    // Stamping and calibration
    void on_pushButton_RgSeal_clicked();
    void on_pushButton_GmSeal_clicked();
    void on_pushButton_ZdSeal_clicked();
    void on_pushButton_Reset_clicked();
    void on_pushButton_CheckSet_clicked();
    // Camera and pictures
    void on_pushButton_clicked();
    void on_pushButton_CloseCamera_clicked();
    void on_pushButton_camstatus_clicked();
    void on_pushButton_Photo_clicked();
    void on_pushButton_SeePic_clicked();
    void on_pushButton_Gzpzkm_clicked();
    // Stress test
    void on_pushButton_ylcs_start_clicked();
    void on_pushButton_ylcs_end_clicked();
    void onStressTestEnded();

private:
    void scrollPanel();
    void fitIntoScreen();
    bool refuseWhileTesting();
    void tell(const QString& text);
    // A failure comes with a warning sign, so that it cannot be taken for a success.
    void warn(const QString& text);
    void tellResult(int code, const QString& successText);
    // A library call that may take seconds, on a worker while the window stays responsive.
    int busy(const std::function<int()>& call, const QString& progress = {});
    // The field's text, or nothing after asking for it when it is blank.
    std::optional<QString> filledIn(const QLineEdit* edit, const QString& name);
    // Stamping at the chosen point needs a picture shown and a point of it chosen.
    bool refuseWithoutChosenPoint();
    // A Yes/No question in Chinese; only Yes answers true.
    bool confirm(const QString& question);
    // The field's number, or nothing after telling the operator what the field takes.
    std::optional<int> numberIn(const QLineEdit* edit, const sealtool::NumberField& field);
    void setFirmwareMode(int mode);
    // The across-page request (when ticked) and a stamp at the clicked position; nothing when
    // the angle field was refused.
    std::optional<int> stampAtClick(int (*print)(int, int, int, int));
    // Marks the stamp position on the shown part of the picture.
    void drawStampMark(QPixmap& shown, int left, int top) const;
    // The pointer's place on the picture area, and whether it lies strictly inside.
    QPoint areaPoint(const QPointF& windowPos, bool round) const;
    bool insideArea(const QPoint& point) const;
    void rescale();
    int clampPan(int value, int zoomedSize, int visibleSize) const;
    void showPointerLine();
    // Takes a photo and shows its cut picture; false (after saying why) when none came.
    bool takePhoto();
    // Ends a stress run: the operator's message first, then the run counts as over.
    void endStressTest(const std::optional<QString>& text);
    // The cycles of one run; the text that ends it, none when it ended on request.
    std::optional<QString> runStressCycles();
    // What the operator reads when a run ended on request.
    QString stopNotice() const;
    void waitForStressTest();
    // While the operator is asked whether to close, the worker starts no further cycle.
    void holdStressTest(bool hold);
    void waitWhileHeld();

    Ui::MainWindow* ui;
    int m_stampX = 0;
    int m_stampY = 0;
    bool m_pointChosen = false;
    // Shared with the stress test's worker.
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bTesting{false};
    std::atomic<int> m_successCount{0};
    std::atomic<int> m_resetCount{0};
    std::thread m_worker;
    std::atomic<bool> m_stopByButton{false};
    std::atomic<bool> m_closeAfterTest{false};
    std::mutex m_holdLock;
    std::condition_variable m_holdChanged;
    bool m_hold = false;  // under m_holdLock
    QByteArray m_machineType;

    cv::Mat m_srcImg;
    cv::Mat m_showImg;
    int m_img_x = 0;
    int m_img_y = 0;
    int m_pressX = 0;
    int m_pressY = 0;
    int m_pressImgX = 0;
    int m_pressImgY = 0;
    int m_picX = 0;
    int m_picY = 0;
    int m_zoom = 40;
};
