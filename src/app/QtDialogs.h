#pragma once
// Modal Qt dialogs behind the Dialogs interface.
#include <QFileDialog>

#include "app/Dialogs.h"

class QWidget;

namespace qx::app {

// Sets a dialog up to pick one existing file of any type.
void setUpOpenDialog(QFileDialog& dialog, const QString& title);
// Sets a dialog up to name a file to write, with a proposed name and no
// forced extension.
void setUpSaveDialog(QFileDialog& dialog, const QString& title, const QString& proposedName);

class QtDialogs final : public Dialogs {
public:
    explicit QtDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void setParent(QWidget* parent) { parent_ = parent; }

    std::optional<std::string> chooseFileToOpen(const std::string& title) override;
    std::optional<std::string> chooseFileToSave(const std::string& title, const std::string& proposedName) override;
    bool confirm(const std::string& title, const std::string& question) override;

private:
    std::optional<std::string> run(QFileDialog& dialog);
    QWidget* parent_;
};

}  // namespace qx::app
