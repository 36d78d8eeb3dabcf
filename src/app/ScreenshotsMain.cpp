// redovivevorev-screenshots: opens the window on the demo looper off screen,
// lets it poll for a few seconds, and saves a picture of each tab for the
// documentation. Usage: redovivevorev-screenshots OUTPUT_FOLDER [SECONDS]
#include <cstdio>
#include <cstdlib>
#include <string>

#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include "app/MainWindow.h"
#include "app/QtDialogs.h"
#include "app/QtMainQueue.h"
#include "session/SessionFactory.h"

int main(int argc, char** argv)
{
    // Pictures only: never a window on a real screen. The window as a first
    // start shows it, leaving the user's remembered choices alone.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QTemporaryDir freshSettings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(freshSettings.path()));
    QApplication application(argc, argv);
    if (argc < 2) {
        std::fputs("usage: redovivevorev-screenshots OUTPUT_FOLDER [SECONDS]\n", stderr);
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 4;
    if (!QDir().mkpath(folder) || seconds < 1 || seconds > 60) {
        std::fputs("redovivevorev-screenshots: cannot use that folder or time\n", stderr);
        return 2;
    }

    qx::app::QtMainQueue mainQueue;
    auto session = qx::makeDemoSession(mainQueue);
    if (!session) {
        std::fputs("redovivevorev-screenshots: this build has no simulated looper\n", stderr);
        return 1;
    }
    qx::app::QtDialogs dialogs;

    bool saved = true;
    {
        qx::app::MainWindow window(*session, dialogs);
        window.show();
        session->start();
        QTimer::singleShot(seconds * 1000, &window, [&] {
            const char* const names[] = {"main", "midi-button", "misc-config", "qx2-buttons", "log"};
            for (int tab = 0; tab < window.tabs()->count(); ++tab) {
                window.tabs()->setCurrentIndex(tab);
                const QString file = QDir(folder).filePath(QStringLiteral("%1-%2.png").arg(tab + 1).arg(names[tab]));
                saved = window.grab().save(file) && saved;
            }
            window.tabs()->setCurrentIndex(0);
            QApplication::quit();
        });
        QApplication::exec();
        session->stop();
    }
    return saved ? 0 : 1;
}
