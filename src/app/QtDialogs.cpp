#include "app/QtDialogs.h"

#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QStringList>

namespace qx::app {

void setUpOpenDialog(QFileDialog& dialog, const QString& title, const QString& folder)
{
    dialog.setWindowTitle(title);
    if (!folder.isEmpty() && QDir(folder).exists()) dialog.setDirectory(folder);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QString());
}

void setUpSaveDialog(QFileDialog& dialog, const QString& title, const QString& folder, const QString& proposedName)
{
    dialog.setWindowTitle(title);
    if (!folder.isEmpty() && QDir(folder).exists()) dialog.setDirectory(folder);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(QString());
    // No default suffix: "backup.json" stays "backup.json".
    dialog.setDefaultSuffix(QString());
    dialog.selectFile(proposedName);
}

std::optional<std::string> QtDialogs::chooseFileToOpen(const std::string& title, const std::string& folder)
{
    QFileDialog dialog(parent_);
    setUpOpenDialog(dialog, QString::fromStdString(title), QFile::decodeName(QByteArray::fromStdString(folder)));
    return run(dialog);
}

std::optional<std::string> QtDialogs::chooseFileToSave(const std::string& title, const std::string& folder,
                                                       const std::string& proposedName)
{
    QFileDialog dialog(parent_);
    setUpSaveDialog(dialog, QString::fromStdString(title), QFile::decodeName(QByteArray::fromStdString(folder)),
                    QString::fromStdString(proposedName));
    return run(dialog);
}

bool QtDialogs::confirm(const std::string& title, const std::string& question)
{
    const auto answer = QMessageBox::question(parent_, QString::fromStdString(title), QString::fromStdString(question),
                                              QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel);
    return answer == QMessageBox::Ok;
}

std::optional<std::string> QtDialogs::run(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    const QStringList chosen = dialog.selectedFiles();
    if (chosen.isEmpty() || chosen.front().isEmpty()) return std::nullopt;
    // The file system's own encoding, not always UTF-8.
    return QFile::encodeName(chosen.front()).toStdString();
}

}  // namespace qx::app
