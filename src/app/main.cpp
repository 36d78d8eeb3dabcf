// redovivevorev: the looper control panel's window.
#include <cstdio>
#include <exception>
#include <memory>
#include <optional>

#include <QApplication>
#include <QCommandLineParser>

#include "app/MainWindow.h"
#include "app/PanelSettings.h"
#include "app/QtDialogs.h"
#include "app/QtMainQueue.h"
#include "app/TerminationSignals.h"
#include "common/Version.h"
#include "session/SessionFactory.h"

namespace {

constexpr int kUsage = 2;

struct CommandLine {
    bool demo = false;
    qx::SessionOptions options;
};

// --demo, --midi-port NAME, --trace FILE, --verbose, --help, --version. A
// value: the status to exit with now (help, version, a usage error).
std::optional<int> parseCommandLine(CommandLine& chosen)
{
    QCommandLineParser parser;
    parser.setApplicationDescription("A control panel for the QX and QX2 looper pedals.");
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption demo("demo", "Talk to the in-process simulated looper (no MIDI ports, no network).");
    const QCommandLineOption midiPort("midi-port",
                                      "Use only this MIDI device's ports (instead of the one the MIDI menu remembers).",
                                      "NAME");
    const QCommandLineOption trace("trace", "Write every message sent and received to FILE, as hex lines.", "FILE");
    const QCommandLineOption verbose("verbose", "Print the MIDI system's own messages on standard error.");
    parser.addOptions({demo, midiPort, trace, verbose});

    if (!parser.parse(QCoreApplication::arguments())) {
        std::fprintf(stderr, "redovivevorev: %s\n%s", qPrintable(parser.errorText()), qPrintable(parser.helpText()));
        return kUsage;
    }
    if (parser.isSet("help-all")) parser.process(QCoreApplication::arguments());  // prints Qt's options too; exits 0
    if (parser.isSet(help)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("%s %s\n", qPrintable(QCoreApplication::applicationName()),
                    qPrintable(QCoreApplication::applicationVersion()));
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "redovivevorev: unexpected argument: %s\n%s",
                     qPrintable(parser.positionalArguments().first()), qPrintable(parser.helpText()));
        return kUsage;
    }

    chosen.demo = parser.isSet(demo);
    // --midi-port wins over the device the window's MIDI menu remembers.
    chosen.options.midiDevice =
        parser.isSet(midiPort) ? parser.value(midiPort).toStdString() : qx::app::remembered::midiDevice();
    chosen.options.tracePath = parser.value(trace).toStdString();
    chosen.options.verbose = parser.isSet(verbose);
    return std::nullopt;
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);  // takes Qt's own options out of argv
    // Before anything reads QSettings: they name where it lives.
    QCoreApplication::setOrganizationName("REDOVIVevorev");
    QCoreApplication::setApplicationName("redovivevorev");
    QCoreApplication::setApplicationVersion(qx::kVersion);

    CommandLine chosen;
    if (const auto status = parseCommandLine(chosen)) return *status;

    // Declared first, destroyed last: the session posts here until it is stopped.
    qx::app::QtMainQueue mainQueue;
    std::unique_ptr<qx::LooperSession> session;
    try {
        session = chosen.demo ? qx::makeDemoSession(mainQueue, chosen.options)
                              : qx::makeSystemSession(mainQueue, chosen.options);
    } catch (const std::exception& error) {
        // A trace file that cannot be written, say.
        std::fprintf(stderr, "redovivevorev: %s\n", error.what());
        return 1;
    }
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
