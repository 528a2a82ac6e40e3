// The document camera's buttons and the photo that fills the picture view.
#include <ctime>

#include <QElapsedTimer>

#include "library.h"
#include "mainwindow.h"
#include "text_args.h"
#include "ui_mainwindow.h"

using namespace sealtool;

namespace {

constexpr int kCameraRunning = 1;
constexpr int kCameraStopped = 2;
// The business edition keeps the full photo as a bitmap next to the cut picture.
constexpr const char* kBusinessEdition = "OVM350";
constexpr int kPhotoBothFiles = 0;
constexpr int kPhotoCutOnly = 1;
constexpr int kEraseBorder = 1;
constexpr int kConfiguredQuality = 0;

// A photo file name under "cut" after the local time, without extension.
QString timedPhotoStem()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[64];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d-%H:%M:%S", &local);
    return filesDir() + QStringLiteral("/cut/") + QString::fromLatin1(stamp);
}

}  // namespace

void MainWindow::on_pushButton_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(busy([] { return lib().openVideoCap(); }), QStringLiteral("打开摄像头成功"));
}

void MainWindow::on_pushButton_CloseCamera_clicked()
{
    if (refuseWhileTesting()) return;
    tellResult(busy([] { return lib().closeVideoCap(); }), QStringLiteral("关闭摄像头成功"));
}

void MainWindow::on_pushButton_camstatus_clicked()
{
    if (refuseWhileTesting()) return;
    const int state = lib().checkVideoState();
    if (state == kCameraRunning)
        tell(QStringLiteral("摄像头打开"));
    else if (state == kCameraStopped)
        tell(QStringLiteral("摄像头关闭"));
    else
        warn(fromLibrary(lib().geterrMsg(state)));
}

bool MainWindow::takePhoto()
{
    // Both names from one reading of the clock: the cut picture sits beside the bitmap.
    const QString stem = timedPhotoStem();
    const QString cut = stem + QStringLiteral(".jpg");
    // File names go whole: unlike the operator's texts they are not cut to a field's size.
    const bool business = m_machineType == kBusinessEdition;
    const QByteArray path = (business ? stem + QStringLiteral(".bmp") : cut).toUtf8();
    const int type = business ? kPhotoBothFiles : kPhotoCutOnly;
    const int code =
        busy([&path, type] { return lib().getImageFormat(path.constData(), type, kEraseBorder, kConfiguredQuality); });
    if (code != 0) {
        warn(fromLibrary(lib().geterrMsg(code)));
        return false;
    }
    return loadPicture(cut);
}

void MainWindow::on_pushButton_Photo_clicked()
{
    if (refuseWhileTesting()) return;
    takePhoto();
}

void MainWindow::on_pushButton_Gzpzkm_clicked()
{
    if (refuseWhileTesting()) return;
    QElapsedTimer timer;
    timer.start();
    const std::optional<int> code = stampAtClick(lib().manualPrintStart);
    if (!code) return;
    if (*code != 0) {
        warn(fromLibrary(lib().geterrMsg(*code)));
        return;
    }
    takePhoto();
    busy([] { return lib().openPaperDoor(); });
    tell(QString::asprintf("-用印成功, 耗时:%0.2fS", timer.elapsed() / 1000.0));
}
