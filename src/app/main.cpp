// redovivevorev: the looper control panel's window.
#include <cstdio>
#include <cstring>

#include <QApplication>

#include "app/MainWindow.h"
#include "app/QtDialogs.h"
#include "app/QtMainQueue.h"
#include "app/TerminationSignals.h"
#include "session/SessionFactory.h"

namespace {

int usage()
{
    std::fputs("usage: redovivevorev [--demo]\n"
                "--demo talks to the in-process simulated looper (no MIDI ports, no network).\n",
                stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);  // takes Qt's own options out of argv
    bool demo = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--demo") == 0) demo = true;
        else return usage();
    }

    // Declared first, destroyed last: the session posts here until it is stopped.
    qx::app::QtMainQueue mainQueue;
    auto session = demo ? qx::makeDemoSession(mainQueue) : qx::makeSystemSession(mainQueue);
    if (!session) {
        std::fputs("redovivevorev: this build has no simulated looper for --demo\n", stderr);
        return 1;
    }
    qx::app::QtDialogs dialogs;

    int status = 0;
    {
        qx::app::MainWindow window(*session, dialogs);
        dialogs.setParent(&window);
        const qx::app::TerminationSignals termination([&window] { window.close(); });
        window.show();
        session->start();
        status = QApplication::exec();
        // Stop every thread before the views go away.
        session->stop();
    }
    return status;
}
