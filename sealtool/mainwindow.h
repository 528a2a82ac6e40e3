// The main window: the picture view with click-to-stamp, and one button per library function.
#pragma once

#include <atomic>
#include <thread>

#include <QByteArray>
#include <QMainWindow>
#include <QPoint>
#include <QSize>
#include <QString>

#include <opencv2/core.hpp>

namespace Ui {
class MainWindow;
}

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
    bool refuseWhileTesting();
    void tell(const QString& text);
    void tellResult(int code, const QString& successText);
    void setFirmwareMode(int mode);
    // The across-page request (when ticked) and a stamp at the clicked position.
    int stampAtClick(int (*print)(int, int, int, int));
    // The pointer's place on the picture area, and whether it lies strictly inside.
    QPoint areaPoint(const QPointF& windowPos, bool round) const;
    bool insideArea(const QPoint& point) const;
    void rescale();
    int clampPan(int value, int zoomedSize, int visibleSize) const;
    void showPointerLine();
    // Takes a photo and shows its cut picture; false (after saying why) when none came.
    bool takePhoto();
    // Ends a stress run: the operator's message first, then the run counts as over.
    void endStressTest(const QString& text);
    // The cycles of one run; the text that ends it.
    QString runStressCycles();
    void waitForStressTest();

    Ui::MainWindow* ui;
    int m_stampX = 0;
    int m_stampY = 0;
    // Shared with the stress test's worker.
    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bTesting{false};
    std::atomic<int> m_successCount{0};
    std::atomic<int> m_resetCount{0};
    std::thread m_worker;
    bool m_closeAfterTest = false;
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
