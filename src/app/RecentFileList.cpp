#include "app/RecentFileList.h"

#include <QFileInfo>
#include <QSettings>

namespace vm {

namespace {

const char* const kGroup = "Recent File List";

QSettings UserSettings() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Vendal"),
                     QStringLiteral("Visomorf"));
}

QString Key(int index) {
    return QStringLiteral("File%1").arg(index + 1);
}

QString Absolute(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

} // namespace

RecentFileList::RecentFileList() {
    QSettings settings = UserSettings();
    settings.beginGroup(kGroup);
    for (int i = 0; i < kSize; ++i) {
        const QString path = settings.value(Key(i)).toString();
        if (!path.isEmpty() && !m_entries.contains(path)) {
            m_entries.append(path);
        }
    }
}

void RecentFileList::Add(const QString& path) {
    const QString absolute = Absolute(path);
    m_entries.removeAll(absolute);
    m_entries.prepend(absolute);
    while (m_entries.size() > kSize) {
        m_entries.removeLast();
    }
    Save();
}

void RecentFileList::Remove(const QString& path) {
    if (m_entries.removeAll(Absolute(path)) > 0) {
        Save();
    }
}

void RecentFileList::Save() const {
    QSettings settings = UserSettings();
    settings.beginGroup(kGroup);
    for (int i = 0; i < kSize; ++i) {
        if (i < m_entries.size()) {
            settings.setValue(Key(i), m_entries[i]);
        } else {
            settings.remove(Key(i));
        }
    }
}

} // namespace vm
