// The picture area: a still picture, zoomed about the pointer with the wheel, panned with the
// right button, and clicked with the left to choose the stamp position, which a cross marks.
// The zoomed copy is made only when a picture loads or the zoom changes; drawing only wraps a
// rectangle of it.
#include <QFileDialog>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QWheelEvent>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "busy_call.h"
#include "library.h"
#include "text_args.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

using namespace sealtool;

namespace {

constexpr int kZoomStep = 20;
constexpr int kZoomMin = 20;
constexpr int kZoomMax = 200;
constexpr int kPositionLegal = 0;
constexpr int kBlank = 0;
constexpr int kPrinted = 1;
// The stamp mark: arms of this many pixels on screen, whatever the zoom.
constexpr int kMarkArm = 8;
constexpr int kMarkPen = 2;
const QColor kMarkColour(255, 0, 0);

}  // namespace

bool MainWindow::loadPicture(const QString& path)
{
    cv::Mat picture = cv::imread(path.toUtf8().toStdString(), cv::IMREAD_COLOR);
    if (picture.empty()) {
        warn(QStringLiteral("无法读取图片文件: %1").arg(path));
        return false;
    }
    cv::cvtColor(picture, picture, cv::COLOR_BGR2RGB);
    m_srcImg = picture;
    rescale();
    ShowCurPic();
    return true;
}

void MainWindow::rescale()
{
    const float scale = m_zoom / 100.0f;
    // A picture of a pixel or two must not vanish at the smallest zoom.
    const int width = std::max(1, static_cast<int>(m_srcImg.cols * scale));
    const int height = std::max(1, static_cast<int>(m_srcImg.rows * scale));
    cv::resize(m_srcImg, m_showImg, cv::Size(width, height), 0, 0, cv::INTER_LINEAR);
}

void MainWindow::ShowCurPic()
{
    if (m_showImg.empty()) return;
    const int areaWidth = ui->label_pic->width();
    const int areaHeight = ui->label_pic->height();
    m_img_x = std::max(m_img_x, 0);
    m_img_y = std::max(m_img_y, 0);
    int x = m_img_x;
    int y = m_img_y;
    int w = areaWidth;
    int h = areaHeight;
    if (m_showImg.cols < x + areaWidth) {
        m_img_x = x = 0;
        w = m_showImg.cols - 1;
    }
    if (m_showImg.rows < y + areaHeight) {
        m_img_y = y = 0;
        h = m_showImg.rows - 1;
    }
    if (w <= 0 || h <= 0) {
        ui->label_pic->clear();
        return;
    }
    const cv::Mat visible = m_showImg(cv::Rect(x, y, w, h));
    const QImage image(visible.data, w, h, static_cast<int>(visible.step), QImage::Format_RGB888);
    QPixmap shown = QPixmap::fromImage(image);
    drawStampMark(shown, x, y);
    ui->label_pic->setPixmap(shown);
}

void MainWindow::drawStampMark(QPixmap& shown, int left, int top) const
{
    // No position chosen yet: a valid click never gives 0.
    if (m_stampX <= 0 || m_stampY <= 0) return;
    const int x = static_cast<int>(m_stampX * m_zoom / 100.0) - left;
    const int y = static_cast<int>(m_stampY * m_zoom / 100.0) - top;
    QPainter painter(&shown);
    painter.setPen(QPen(kMarkColour, kMarkPen));
    painter.drawLine(x - kMarkArm, y, x + kMarkArm, y);
    painter.drawLine(x, y - kMarkArm, x, y + kMarkArm);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The area grew or shrank with the window: show as much of the picture as now fits.
    if (watched == ui->label_pic && event->type() == QEvent::Resize) ShowCurPic();
    return QMainWindow::eventFilter(watched, event);
}

QPoint MainWindow::areaPoint(const QPointF& windowPos, bool round) const
{
    const QPoint origin = ui->label_pic->mapTo(this, QPoint(0, 0));
    const int x = round ? qRound(windowPos.x()) : static_cast<int>(windowPos.x());
    const int y = round ? qRound(windowPos.y()) : static_cast<int>(windowPos.y());
    return {x - origin.x(), y - origin.y()};
}

bool MainWindow::insideArea(const QPoint& point) const
{
    return point.x() > 0 && point.x() < ui->label_pic->width() && point.y() > 0 && point.y() < ui->label_pic->height();
}

int MainWindow::clampPan(int value, int zoomedSize, int visibleSize) const
{
    if (value >= zoomedSize - visibleSize) value = zoomedSize - visibleSize - 1;
    return std::max(value, 0);
}

void MainWindow::showPointerLine()
{
    ui->label_bar->setText(QStringLiteral("%1, %2像素,  zoom:%3%").arg(m_picX).arg(m_picY).arg(m_zoom));
}

void MainWindow::mouseMoveEvent(QMouseEvent* event)
{
    if (m_showImg.empty() || busyCallRunning()) return;
    const QPoint g = areaPoint(event->localPos(), true);
    if (!insideArea(g)) return;
    m_picX = static_cast<int>((m_img_x + g.x()) * 100.0 / m_zoom);
    m_picY = static_cast<int>((m_img_y + g.y()) * 100.0 / m_zoom);
    showPointerLine();
    if (event->buttons() & Qt::RightButton) {
        m_img_x = clampPan(m_pressImgX + m_pressX - g.x(), m_showImg.cols, ui->label_pic->width());
        m_img_y = clampPan(m_pressImgY + m_pressY - g.y(), m_showImg.rows, ui->label_pic->height());
        ShowCurPic();
    }
}

void MainWindow::wheelEvent(QWheelEvent* event)
{
    if (m_showImg.empty() || busyCallRunning()) return;
    const QPoint g = areaPoint(event->position(), false);
    if (!insideArea(g)) return;
    const int oldZoom = m_zoom;
    const int step = event->angleDelta().y() > 0 ? kZoomStep : -kZoomStep;
    const int newZoom = std::clamp(oldZoom + step, kZoomMin, kZoomMax);
    if (newZoom == oldZoom) return;
    m_zoom = newZoom;
    const float scale = newZoom / 100.0f;
    rescale();
    // The source point under the pointer stays under it.
    const auto anchored = [&](int pan, int pointer) {
        const int source = static_cast<int>((pan + pointer) * 100.0 / oldZoom);
        return static_cast<int>(static_cast<float>(source) * scale - pointer);
    };
    m_img_x = clampPan(anchored(m_img_x, g.x()), m_showImg.cols, ui->label_pic->width());
    m_img_y = clampPan(anchored(m_img_y, g.y()), m_showImg.rows, ui->label_pic->height());
    m_picX = static_cast<int>((g.x() + m_img_x) * 100.0 / newZoom);
    m_picY = static_cast<int>((g.y() + m_img_y) * 100.0 / newZoom);
    showPointerLine();
    ShowCurPic();
}

void MainWindow::mousePressEvent(QMouseEvent* event)
{
    // The position of a stamp under way stays what it was.
    if (m_srcImg.empty() || busyCallRunning()) return;
    const QPoint g = areaPoint(event->localPos(), true);
    if (g.x() < 1 || g.x() > ui->label_pic->width() - 1 || g.y() < 1 || g.y() > ui->label_pic->height() - 1 ||
        m_bTesting)
        return;
    m_pressX = g.x();
    m_pressY = g.y();
    m_pressImgX = m_img_x;
    m_pressImgY = m_img_y;
    // The right button only starts a pan.
    if (event->button() != Qt::LeftButton) return;
    // The point is where the last movement or wheel step put the pointer line.
    if (m_picX <= 0 || m_picX >= m_srcImg.cols || m_picY <= 0 || m_picY >= m_srcImg.rows) return;
    QString verdict = lib().checkManualPrintPara(m_picX, m_picY, 0) == kPositionLegal
                          ? QStringLiteral("x:%1, y:%2, 合法")
                          : QStringLiteral("x:%1, y:%2，非法");
    verdict = verdict.arg(m_picX).arg(m_picY);
    switch (lib().isWhitePaper(m_picX, m_picY)) {
    case kBlank: verdict += QStringLiteral(", 盖章区域空白"); break;
    case kPrinted: verdict += QStringLiteral(", 盖章区域非空白"); break;
    default: verdict += QStringLiteral(", 盖章区域未知"); break;
    }
    ui->label_xy->setText(verdict);
    // Accepted whatever the verdicts say: the engineer may want to see the library refuse it.
    m_stampX = m_picX;
    m_stampY = m_picY;
    m_pointChosen = true;
    ShowCurPic();
}

void MainWindow::on_pushButton_SeePic_clicked()
{
    // Where the tool and the library keep their photos, in every type the library writes.
    const QString path =
        QFileDialog::getOpenFileName(this, QStringLiteral("打开图片"), filesDir() + QStringLiteral("/cut"),
                                     QStringLiteral("图片文件(*.jpg *.jpeg *.bmp *.png)"));
    if (!path.isEmpty()) loadPicture(path);
}
