#include "app/MidiMenu.h"

#include <algorithm>

#include <QAction>
#include <QActionGroup>

#include "app/PanelSettings.h"

namespace qx::app {

MidiMenu::MidiMenu(LooperSession& session, QWidget* parent)
    : QMenu(QStringLiteral("&MIDI"), parent), session_(session), chosen_(remembered::midiDevice())
{
    group_ = new QActionGroup(this);
    group_->setExclusive(true);
    auto devices = session_.models().midiDevices;
    devicesSubscription_ = ModelSubscription(devices, [this] { rebuild(); });
    rebuild();
}

void MidiMenu::rebuild()
{
    // Later, not now: the action being triggered may be among them.
    for (QAction* action : group_->actions()) {
        group_->removeAction(action);
        removeAction(action);
        action->deleteLater();
    }
    std::vector<std::string> entries{""};
    const auto& present = session_.models().midiDevices->names();
    entries.insert(entries.end(), present.begin(), present.end());
    if (std::find(entries.begin(), entries.end(), chosen_) == entries.end()) entries.push_back(chosen_);

    for (const std::string& device : entries) {
        // A device's name is shown as it is: a '&' in it is no mnemonic.
        QString text = device.empty() ? QString::fromUtf8(kAllPorts) : QString::fromStdString(device);
        if (!device.empty()) text.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QAction* action = addAction(text);
        action->setCheckable(true);
        action->setChecked(device == chosen_);
        group_->addAction(action);
        connect(action, &QAction::triggered, this, [this, device] { choose(device); });
    }
}

void MidiMenu::choose(const std::string& device)
{
    if (device == chosen_) return;
    chosen_ = device;
    session_.chooseMidiDevice(device);
    remembered::setMidiDevice(device);
    rebuild();  // a device left listed only because it was chosen goes
}

}  // namespace qx::app
