#pragma once
// The File menu's list of the last documents opened or saved, newest first, kept in the user's
// settings (organisation "Vendal", application "Visomorf") so it survives the program.
#include <QString>
#include <QStringList>

namespace vm {

class RecentFileList {
public:
    static constexpr int kSize = 4;

    // Reads the list from the user's settings.
    RecentFileList();

    const QStringList& Entries() const { return m_entries; }
    // Puts path (made absolute) at the top; an entry already listed moves up, the oldest of
    // more than 4 drops out. Saved at once.
    void Add(const QString& path);
    void Remove(const QString& path);

private:
    void Save() const;

    QStringList m_entries;
};

} // namespace vm
