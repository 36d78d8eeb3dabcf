#include "app/PanelSettings.h"

#include <filesystem>

#include <QFile>
#include <QSettings>

namespace qx::app::remembered {
namespace {

constexpr const char* kOrganization = "REDOVIVevorev";
constexpr const char* kApplication = "redovivevorev";

QVariant read(const char* key, const QVariant& otherwise = {})
{
    return QSettings(kOrganization, kApplication).value(key, otherwise);
}

void write(const char* key, const QVariant& value)
{
    QSettings settings(kOrganization, kApplication);
    settings.setValue(key, value);
    settings.sync();
}

const char* folderKey(FileUse use)
{
    switch (use) {
    case FileUse::upgrade: return "folders/upgrade";
    case FileUse::save: return "folders/save";
    case FileUse::restore: return "folders/restore";
    }
    return "folders/other";
}

// Paths are in the file system's encoding; the settings file holds text.
QString fromPath(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }
std::string toPath(const QString& text) { return QFile::encodeName(text).toStdString(); }

}  // namespace

QByteArray windowGeometry() { return read("window/geometry").toByteArray(); }
void setWindowGeometry(const QByteArray& geometry) { write("window/geometry", geometry); }

int tab()
{
    bool ok = false;
    const int index = read("window/tab", -1).toInt(&ok);
    return ok ? index : -1;
}
void setTab(int index) { write("window/tab", index); }

std::string folder(FileUse use) { return toPath(read(folderKey(use)).toString()); }
void setFolderOf(FileUse use, const std::string& path)
{
    write(folderKey(use), fromPath(std::filesystem::path(path).parent_path().string()));
}

std::string midiDevice() { return read("midi/device").toString().toStdString(); }
void setMidiDevice(const std::string& device) { write("midi/device", QString::fromStdString(device)); }

}  // namespace qx::app::remembered
