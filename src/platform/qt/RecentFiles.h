// The most-recently-used file list of the File menu: 12 entries, newest first, kept with
// QSettings under the application's organisation and name.
#pragma once

#include <QString>
#include <QStringList>

namespace zelk {

constexpr int kRecentFileCount = 12;
extern const char* const kSettingsOrganisation;  // "Local AppWizard-Generated Applications"
extern const char* const kSettingsApplication;   // "ZELK"

class RecentFiles {
public:
    RecentFiles();
    const QStringList& Files() const { return m_files; }
    // Puts the path first (absolute, once) and stores the list.
    void Add(const QString& path);
    void Remove(const QString& path);

private:
    void Save() const;
    QStringList m_files;
};

}  // namespace zelk
