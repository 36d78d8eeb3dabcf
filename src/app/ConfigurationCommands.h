#pragma once
// The two configuration commands of the Main tab: save the looper's whole
// configuration to a file, restore its button mappings from one. Both start a
// transfer that runs on its own thread and reports how it ended.
#include <optional>
#include <string>

#include "common/Outcome.h"

namespace qx {
class QXSaveableConfig;
}

namespace qx::app {

class ConfigurationCommands {
public:
    virtual ~ConfigurationCommands() = default;
    // Start a transfer; the reason when it is refused (another one is running).
    virtual std::optional<std::string> saveConfiguration(const std::string& path) = 0;
    virtual std::optional<std::string> restoreConfiguration(const std::string& path) = 0;
    // Told on the UI thread how each started transfer ended.
    virtual void setOutcomeHandler(OutcomeHandler handler) = 0;
};

// The commands carried out by the link's saved-configuration transfer.
class SaveableConfigCommands final : public ConfigurationCommands {
public:
    explicit SaveableConfigCommands(QXSaveableConfig& config) : config_(config) {}
    std::optional<std::string> saveConfiguration(const std::string& path) override;
    std::optional<std::string> restoreConfiguration(const std::string& path) override;
    void setOutcomeHandler(OutcomeHandler handler) override;

private:
    QXSaveableConfig& config_;
};

}  // namespace qx::app
