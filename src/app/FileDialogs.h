#pragma once
// The file choices the Main tab asks the user for. The window shows real
// dialogs; tests answer them without a modal window.
#include <optional>
#include <string>

namespace qx::app {

class FileDialogs {
public:
    virtual ~FileDialogs() = default;
    // One existing file, no folders; nothing when the user cancels.
    virtual std::optional<std::string> chooseFileToOpen(const std::string& title) = 0;
    // Where to write a new file, proposing the given name; any name is taken.
    virtual std::optional<std::string> chooseFileToSave(const std::string& title, const std::string& proposedName) = 0;
};

}  // namespace qx::app
