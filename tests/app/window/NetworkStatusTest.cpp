// The whole panel in the panel's namespace (10.77.0.1) with no MIDI port,
// against qx-looper-sim in the looper's (10.77.0.2): once the MIDI side gives
// up, the network side finds the looper and the window names it. This binary
// is started with "ip netns exec" in the panel's namespace.
#include "support/Namespaces.h"
#include "support/SimulatedLooper.h"

#include <QtTest>
#include <QtWidgets>

#include "app/ContentView.h"
#include "app/MainWindow.h"
#include "app/PanelStatusBar.h"
#include "app/QtFileDialogs.h"
#include "app/QtMainQueue.h"
#include "session/SessionFactory.h"

using namespace qx;

class NetworkStatusTest : public QObject {
    Q_OBJECT

private slots:
    void statusBarAndDeviceLineNameTheLooperFoundOnTheNetwork()
    {
        // Anywhere else the link would broadcast on this machine's own network.
        QVERIFY2(test::insideNamespace(QX_PANEL_NETNS), "run this binary with: ip netns exec " QX_PANEL_NETNS);
        test::SimulatedLooper looper(
            {"ip", "netns", "exec", QX_LOOPER_NETNS, QX_SIM_PATH, "--udp", "0.0.0.0", "--name", "QXwindow"});
        QVERIFY2(looper.ready(), "the simulator did not come up in " QX_LOOPER_NETNS);

        // Declared in this order so that the window goes first and the queue last.
        app::QtMainQueue ui;
        LooperSession session(
            ui, makeLinks({.midi = {}, .network = NetworkLink::Options{.enumerate = test::testSubnetInterfaces}}));
        app::QtFileDialogs dialogs;
        app::MainWindow window(session, dialogs);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        session.start();

        const app::PanelStatusBar& bar = *window.panelStatusBar();
        const QString connected = "Connected over the network to QXwindow at 10.77.0.2";
        QVERIFY2(QTest::qWaitFor([&] { return bar.linkState() == connected; }, 30000), qPrintable(bar.linkState()));
        // The link shows the device line before it says it is connected.
        QCOMPARE(window.contentView()->deviceLine()->text(), QString("QXwindow - 10.77.0.2:5667"));
        session.stop();
    }
};

QTEST_MAIN(NetworkStatusTest)
#include "NetworkStatusTest.moc"
