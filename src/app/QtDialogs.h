#pragma once
// Modal Qt dialogs behind the Dialogs interface.
#include <QFileDialog>

#include "app/Dialogs.h"

class QWidget;

namespace qx::app {

// Sets a dialog up to pick one existing file of any type, in folder (or
// wherever the toolkit chooses when it is empty).
void setUpOpenDialog(QFileDialog& dialog, const QString& title, const QString& folder);
// Sets a dialog up to name a file to write in folder, with a proposed name
// and no forced extension.
void setUpSaveDialog(QFileDialog& dialog, const QString& title, const QString& folder, const QString& proposedName);

class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    std::optional<std::string> chooseFileToOpen(const std::string& title, const std::string& folder) override;
    std::optional<std::string> chooseFileToSave(const std::string& title, const std::string& folder,
                                                const std::string& proposedName) override;
    bool confirm(const std::string& title, const std::string& question) override;

private:
    std::optional<std::string> run(QFileDialog& dialog);
    QWidget* parent_;
};

}  // namespace qx::app
