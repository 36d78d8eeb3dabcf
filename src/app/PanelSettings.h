#pragma once
// What the panel remembers between runs: the window's place and size, the tab
// shown last, the folder each file dialog was last used in, and the MIDI
// device chosen. Kept by QSettings for organization "REDOVIVevorev",
// application "redovivevorev" (on Linux: $XDG_CONFIG_HOME, else ~/.config,
// REDOVIVevorev/redovivevorev.conf). Every write is on disk when it returns.
#include <string>

#include <QByteArray>

namespace qx::app {

enum class FileUse { upgrade, save, restore };

namespace remembered {

// QWidget::saveGeometry's bytes; empty when nothing is remembered.
QByteArray windowGeometry();
void setWindowGeometry(const QByteArray& geometry);
// -1 when nothing is remembered.
int tab();
void setTab(int index);
// Empty when nothing is remembered.
std::string folder(FileUse use);
// Remembers the folder holding path.
void setFolderOf(FileUse use, const std::string& path);
// Key "midi/device": one device's name, empty for all ports.
std::string midiDevice();
void setMidiDevice(const std::string& device);

}  // namespace remembered
}  // namespace qx::app
