#include "tool_test_support.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QFileDialog>

#include <opencv2/imgcodecs.hpp>

#ifndef STAMPCTL_TEST_WAIT_FACTOR
#define STAMPCTL_TEST_WAIT_FACTOR 1
#endif

namespace sealtool::test {

namespace {
constexpr int kWaitFactor = STAMPCTL_TEST_WAIT_FACTOR;
}  // namespace

Operator::Operator(QMessageBox::StandardButton answer) : answer(answer)
{
    connect(&m_timer, &QTimer::timeout, this, [this] { poll(); });
    m_timer.start(5);
}

QStringList Operator::texts() const
{
    QStringList all;
    for (const SeenBox& box : boxes) all << box.text;
    return all;
}

QString Operator::press(QObject* window, const char* name)
{
    boxes.clear();
    click(window, name);
    return boxes.isEmpty() ? QString() : boxes.last().text;
}

void Operator::poll()
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || modal == m_accepting) return;
    if (auto* box = qobject_cast<QMessageBox*>(modal)) {
        if (onBox && !onBox(box)) return;
        SeenBox seen{box->windowTitle(), box->text(), {}, box->icon(), box->thread() == qApp->thread(),
                     box->parentWidget()};
        for (QAbstractButton* button : box->buttons()) seen.buttons << button->text();
        boxes << seen;
        QAbstractButton* choice = box->button(answer);
        (choice ? choice : box->buttons().first())->click();
    } else if (auto* dialog = qobject_cast<QFileDialog*>(modal)) {
        fileDialogs << std::pair(dialog->directory().path(), dialog->nameFilters());
        if (fileNames.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(fileNames.takeFirst());
            // Accepted from the event loop, not from this timer: a question the dialog asks
            // (replace the file?) must reach the next poll.
            m_accepting = dialog;
            QTimer::singleShot(0, dialog, [this, dialog] {
                m_accepting = nullptr;
                QMetaObject::invokeMethod(dialog, "accept");
            });
        }
    } else {
        modal->close();
    }
}

bool waitUntil(const std::function<bool()>& done, int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > static_cast<qint64>(ms) * kWaitFactor) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

QString writePicture(const QString& path, int width, int height)
{
    cv::Mat picture(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) picture.at<cv::Vec3b>(y, x) = cv::Vec3b(x % 256, y % 256, (x + y) % 256);
    cv::imwrite(path.toStdString(), picture);
    return path;
}

void click(QObject* window, const char* name)
{
    auto* button = window->findChild<QAbstractButton*>(QLatin1String(name));
    ASSERT_NE(button, nullptr) << name;
    button->click();
}

}  // namespace sealtool::test

// Qt's offscreen platform keeps its screen objects to the end of the process; under
// LeakSanitizer that is not a leak of the tool's.
extern "C" __attribute__((used)) const char* __lsan_default_suppressions() { return "leak:libqoffscreen.so\n"; }

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
