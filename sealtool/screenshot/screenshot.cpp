// Renders sealtool's main window as an engineer sees it after connecting, taking a photo,
// clicking a stamp position and stamping there, and saves it as a PNG. Every message box is
// acknowledged at once.
//
//   sealtool_screenshot out.png        (run by scripts/screenshot.sh under a virtual X server)
#include <cstdio>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPixmap>
#include <QStyleFactory>
#include <QTimer>

#include "dialog.h"
#include "mainwindow.h"

namespace {

// Presses the only (or the first) button of whatever message box comes up.
void acknowledgeBoxes(QObject* owner)
{
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) box->buttons().first()->click();
    });
    timer->start(20);
}

void press(QWidget* window, const char* name) { window->findChild<QAbstractButton*>(QLatin1String(name))->click(); }

void pointAt(QWidget* window, QPoint area, QEvent::Type type)
{
    const QPoint at = window->findChild<QLabel*>(QStringLiteral("label_pic"))->mapTo(window, area);
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, button, button, Qt::NoModifier);
    QApplication::sendEvent(window, &event);
}

}  // namespace

int main(int argc, char* argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s out.png\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    acknowledgeBoxes(&app);

    Dialog login;
    QTimer::singleShot(200, &login, [&login] {
        login.findChild<QLineEdit*>(QStringLiteral("lineEdit"))->setText(QStringLiteral("hqkd274"));
        press(&login, "pushButton");
    });
    login.exec();
    if (login.m_loggedIn != 1) return 1;

    MainWindow window;
    window.show();
    int status = 0;
    QTimer::singleShot(300, &window, [&] {
        press(&window, "pushButton_Connet");
        press(&window, "pushButton");
        press(&window, "pushButton_Photo");
        const QSize picture = window.pictureSize();
        if (picture.isEmpty()) {
            std::fprintf(stderr, "no photo was taken\n");
            status = 1;
        }
        const QPoint area(picture.width() * window.zoom() / 100 / 2, picture.height() * window.zoom() / 100 / 2);
        pointAt(&window, area, QEvent::MouseMove);
        pointAt(&window, area, QEvent::MouseButtonPress);
        // Stamp there and photograph again: the impression shows where the click was.
        press(&window, "pushButton_RgSeal");
        press(&window, "pushButton_Photo");
        QTimer::singleShot(300, &window, [&] {
            if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) status = 1;
            app.quit();
        });
    });
    app.exec();
    return status;
}
