// redovivevorev: the looper control panel's window.
#include <cstdio>
#include <cstring>

#include <QApplication>

#include "app/ConfigurationCommands.h"
#include "app/MainWindow.h"
#include "app/PanelLink.h"
#include "app/QtFileDialogs.h"
#include "app/QtMainQueue.h"

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

    // Declared first, destroyed last: the link posts here until it is stopped.
    qx::app::QtMainQueue mainQueue;
    auto link = qx::app::makePanelLink(mainQueue, demo);
    if (!link) {
        std::fputs("redovivevorev: this build has no simulated looper for --demo\n", stderr);
        return 1;
    }
    qx::app::QtFileDialogs dialogs;
    qx::app::SaveableConfigCommands configuration(link->saveableConfig());

    int status = 0;
    {
        qx::app::MainWindow window(link->interface(), dialogs, configuration);
        dialogs.setParent(&window);
        window.show();
        // The models are in place before the first hand-off can arrive.
        link->start();
        status = QApplication::exec();
        // Stop every thread before the views and models go away.
        link->stop();
    }
    return status;
}
