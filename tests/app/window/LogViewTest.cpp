// The "Log" tab: the looper's text appears at the end, the user's edits go
// back into the log, and later text is appended after them.
#include <QScrollBar>
#include <QTabWidget>
#include <QtTest>

#include "LooperMessages.h"
#include "PanelUnderTest.h"
#include "app/LogView.h"

using namespace qx;
using namespace qx::apptest;

class LogViewTest : public QObject {
    Q_OBJECT

private slots:
    void fixedSizeAndEditable()
    {
        PanelUnderTest panel;
        app::LogView& view = *panel.window->logView();
        QCOMPARE(view.size(), QSize(700, 400));
        QCOMPARE(view.minimumSize(), view.maximumSize());
        QVERIFY(!view.isReadOnly());
        QVERIFY(view.toPlainText().isEmpty());
    }

    void appendedTextShowsAtTheEnd()
    {
        PanelUnderTest panel;
        app::LogView& view = *panel.window->logView();
        panel.receive(logText("abc"));
        panel.receive(logText("def\nghi"));
        QCOMPARE(view.toPlainText(), QString("abcdef\nghi"));
        QCOMPARE(panel.link->logModel->log(), std::string("abcdef\nghi"));
    }

    void userEditsAreKeptAndLaterTextFollowsThem()
    {
        PanelUnderTest panel;
        app::LogView& view = *panel.window->logView();
        panel.receive(logText("boot ok\n"));

        QTextCursor cursor = view.textCursor();
        cursor.setPosition(0);
        view.setTextCursor(cursor);
        QTest::keyClicks(&view, "note: ");
        QCOMPARE(panel.link->logModel->log(), std::string("note: boot ok\n"));

        panel.receive(logText("tick\n"));
        QCOMPARE(view.toPlainText(), QString("note: boot ok\ntick\n"));
        // The user's cursor stays where the user left it.
        QCOMPARE(view.textCursor().position(), 6);
    }

    void afterDeletingEverythingOnlyNewTextIsShown()
    {
        PanelUnderTest panel;
        app::LogView& view = *panel.window->logView();
        panel.receive(logText("old line\n"));
        view.selectAll();
        QTest::keyClick(&view, Qt::Key_Delete);
        QCOMPARE(panel.link->logModel->log(), std::string());
        panel.receive(logText("new"));
        QCOMPARE(view.toPlainText(), QString("new"));
    }

    void longLogIsKeptWholeAndScrolls()
    {
        PanelUnderTest panel;
        app::LogView& view = *panel.window->logView();
        panel.window->tabs()->setCurrentWidget(&view);
        panel.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(panel.window.get()));
        std::string expected;
        for (int line = 0; line < 500; ++line) {
            const std::string text = "line " + std::to_string(line) + "\n";
            expected += text;
            panel.receive(logText(text));
        }
        QCOMPARE(view.toPlainText().toStdString(), expected);
        QScrollBar* bar = view.verticalScrollBar();
        QVERIFY(bar->maximum() > 0);
        QCOMPARE(bar->value(), bar->maximum());  // it followed the end

        // Scrolled up by the user: an append does not pull the view away.
        bar->setValue(0);
        panel.receive(logText("more\n"));
        QCOMPARE(bar->value(), 0);
    }
};

QTEST_MAIN(LogViewTest)
#include "LogViewTest.moc"
