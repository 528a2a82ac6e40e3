#include "busy_call.h"

#include <atomic>
#include <memory>
#include <thread>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <QWidget>

namespace sealtool {

namespace {

constexpr int kProgressTickMs = 200;
int g_running = 0;  // GUI thread only

// Disables the panel and shows the busy pointer for as long as it lives.
class BusyScope {
public:
    explicit BusyScope(QWidget* panel) : m_panel(panel), m_wasEnabled(panel && panel->isEnabled())
    {
        ++g_running;
        if (m_panel) m_panel->setEnabled(false);
        QApplication::setOverrideCursor(Qt::BusyCursor);
    }
    ~BusyScope()
    {
        QApplication::restoreOverrideCursor();
        if (m_panel) m_panel->setEnabled(m_wasEnabled);
        --g_running;
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    QWidget* m_panel;
    bool m_wasEnabled;
};

QString elapsedText(const QString& progress, const QElapsedTimer& clock)
{
    return QStringLiteral("%1，已用时 %2 秒").arg(progress).arg(clock.elapsed() / 1000);
}

}  // namespace

bool busyCallRunning() { return g_running > 0; }

int runBusy(QWidget* owner, QWidget* panel, const std::function<int()>& call, const QString& progress)
{
    BusyScope busy(panel);
    QEventLoop loop;
    std::atomic<bool> done{false};
    int result = 0;
    std::thread worker([&] {
        result = call();
        done = true;
        QMetaObject::invokeMethod(&loop, "quit", Qt::QueuedConnection);
    });

    QElapsedTimer clock;
    clock.start();
    // Made only when wanted: a progress dialog shows itself after a while once it exists.
    std::unique_ptr<QProgressDialog> dialog;
    QTimer tick;
    if (!progress.isEmpty()) {
        dialog = std::make_unique<QProgressDialog>(owner);
        dialog->setWindowTitle(QStringLiteral("提示"));
        dialog->setCancelButton(nullptr);
        dialog->setRange(0, 0);  // no end to count towards: the machine says when it is done
        dialog->setMinimumDuration(0);
        dialog->setLabelText(elapsedText(progress, clock));
        QObject::connect(&tick, &QTimer::timeout, dialog.get(),
                         [&] { dialog->setLabelText(elapsedText(progress, clock)); });
        tick.start(kProgressTickMs);
        dialog->show();
    }
    // A quit that arrived before the loop ran is still in the queue, and ends it at once.
    while (!done) loop.exec();
    worker.join();
    return result;
}

}  // namespace sealtool
