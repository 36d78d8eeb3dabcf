#pragma once
// What the window asks the user: files to open or save, and whether to go on
// with something that cannot be taken back. The window shows real dialogs;
// tests answer them without a modal window.
#include <optional>
#include <string>

namespace qx::app {

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // Each dialog opens in folder (empty: wherever the toolkit chooses).
    // One existing file, no folders; nothing when the user cancels.
    virtual std::optional<std::string> chooseFileToOpen(const std::string& title, const std::string& folder) = 0;
    // Where to write a new file, proposing the given name; any name is taken.
    virtual std::optional<std::string> chooseFileToSave(const std::string& title, const std::string& folder,
                                                        const std::string& proposedName) = 0;
    // True when the user goes on; Cancel (or closing the question) is false.
    virtual bool confirm(const std::string& title, const std::string& question) = 0;
};

}  // namespace qx::app
