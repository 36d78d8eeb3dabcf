#include "app/ConfigurationCommands.h"

#include "config/SaveableConfig.h"

namespace qx::app {

std::optional<std::string> SaveableConfigCommands::saveConfiguration(const std::string& path)
{
    return config_.saveConfiguration(path);
}

std::optional<std::string> SaveableConfigCommands::restoreConfiguration(const std::string& path)
{
    return config_.restoreConfiguration(path);
}

void SaveableConfigCommands::setOutcomeHandler(OutcomeHandler handler)
{
    config_.setOutcomeHandler(std::move(handler));
}

}  // namespace qx::app
