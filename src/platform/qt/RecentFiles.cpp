#include "platform/qt/RecentFiles.h"

#include <QFileInfo>
#include <QSettings>

namespace zelk {

const char* const kSettingsOrganisation = "Local AppWizard-Generated Applications";
const char* const kSettingsApplication = "ZELK";

namespace {
const char* const kSection = "Recent File List";
}

RecentFiles::RecentFiles() {
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.beginGroup(kSection);
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString path = settings.value(QString("File%1").arg(i)).toString();
        if (!path.isEmpty() && !m_files.contains(path)) m_files.append(path);
    }
    settings.endGroup();
}

void RecentFiles::Add(const QString& path) {
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_files.removeAll(absolute);
    m_files.prepend(absolute);
    while (m_files.size() > kRecentFileCount) m_files.removeLast();
    Save();
}

void RecentFiles::Remove(const QString& path) {
    m_files.removeAll(QFileInfo(path).absoluteFilePath());
    m_files.removeAll(path);
    Save();
}

void RecentFiles::Save() const {
    QSettings settings(kSettingsOrganisation, kSettingsApplication);
    settings.beginGroup(kSection);
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = QString("File%1").arg(i);
        if (i <= m_files.size())
            settings.setValue(key, m_files[i - 1]);
        else
            settings.remove(key);
    }
    settings.endGroup();
}

}  // namespace zelk
