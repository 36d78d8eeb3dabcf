// How the real dialogs are set up: the save dialog proposes looper.cfg and
// takes any name; the open dialogs take one existing file of any type.
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "app/QtFileDialogs.h"

class FileDialogsTest : public QObject {
    Q_OBJECT

private slots:
    void saveDialogProposesLooperCfgWithoutForcingAnExtension()
    {
        QFileDialog dialog;
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        qx::app::setUpSaveDialog(dialog, "Save device configuration", "looper.cfg");
        QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptSave);
        QCOMPARE(dialog.fileMode(), QFileDialog::AnyFile);
        QVERIFY(dialog.defaultSuffix().isEmpty());
        auto* name = dialog.findChild<QLineEdit*>("fileNameEdit");
        QVERIFY(name);
        QCOMPARE(name->text(), QString("looper.cfg"));
        QVERIFY(dialog.nameFilters().isEmpty() || dialog.nameFilters().front().contains("*"));
    }

    void openDialogTakesOneExistingFile()
    {
        QFileDialog dialog;
        qx::app::setUpOpenDialog(dialog, "Send upgrade file");
        QCOMPARE(dialog.acceptMode(), QFileDialog::AcceptOpen);
        QCOMPARE(dialog.fileMode(), QFileDialog::ExistingFile);
    }

    void cancelledDialogChoosesNothing()
    {
        qx::app::QtFileDialogs dialogs;
        // Answer the modal dialog as a user would: press Cancel.
        QTimer::singleShot(0, [] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(top)) dialog->reject();
        });
        QVERIFY(!dialogs.chooseFileToOpen("Restore device configuration"));
    }

    void confirmedSaveDialogGivesTheTypedName()
    {
        QTemporaryDir dir;
        qx::app::QtFileDialogs dialogs;
        QTimer::singleShot(0, [&dir] {
            for (QWidget* top : QApplication::topLevelWidgets())
                if (auto* dialog = qobject_cast<QFileDialog*>(top)) {
                    dialog->setDirectory(dir.path());
                    dialog->selectFile("backup.json");
                    QMetaObject::invokeMethod(dialog, "accept");
                }
        });
        const auto chosen = dialogs.chooseFileToSave("Save device configuration", "looper.cfg");
        QVERIFY(chosen);
        QCOMPARE(QString::fromStdString(*chosen), dir.filePath("backup.json"));
    }
};

QTEST_MAIN(FileDialogsTest)
#include "FileDialogsTest.moc"
