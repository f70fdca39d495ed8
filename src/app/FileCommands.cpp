#include "app/FileCommands.h"

#include "app/RecentFileList.h"
#include "document/CVisomorfDoc.h"
#include "persistence/DocumentIO.h"

#include <QDir>
#include <QFileInfo>

namespace vm {

FileCommands::FileCommands(CVisomorfDoc& doc, RecentFileList& recent)
    : m_doc(doc), m_recent(recent) {}

bool FileCommands::CanReplaceDocument() const {
    return !m_doc.IsDragInProgress();
}

bool FileCommands::CanSave() const {
    return !m_doc.IsDragInProgress();
}

QString FileCommands::Title() const {
    const QString path = m_doc.GetPathName();
    return path.isEmpty() ? QStringLiteral("Untitled") : QFileInfo(path).fileName();
}

bool FileCommands::SaveModified() {
    if (!m_doc.IsModified()) {
        return true;
    }
    const SaveAnswer answer = askSaveChanges ? askSaveChanges(Title()) : SaveAnswer::Cancel;
    switch (answer) {
    case SaveAnswer::Yes:
        return Save();
    case SaveAnswer::No:
        return true;
    default:
        return false;
    }
}

// A drag holds weights and a snapshot of the model as it is; the document may be replaced only
// when no view drags, and only once the user has had the chance to keep a modified one.
bool FileCommands::ReplaceWith(const std::function<bool()>& load) {
    if (!CanReplaceDocument() || !SaveModified()) {
        return false;
    }
    const bool loaded = load();
    Changed();
    return loaded;
}

bool FileCommands::New() {
    return ReplaceWith([this] {
        const bool made = m_doc.OnNewDocument();
        m_doc.UpdateAllViews();
        return made;
    });
}

bool FileCommands::Open() {
    if (!CanReplaceDocument() || !chooseOpenPath) {
        return false;
    }
    const QString path = chooseOpenPath();
    return !path.isEmpty() && OpenPath(path);
}

bool FileCommands::OpenPath(const QString& path) {
    return ReplaceWith([this, &path] {
        if (!OnOpenDocument(m_doc, path)) {
            return false;
        }
        m_recent.Add(path);
        return true;
    });
}

bool FileCommands::OpenRecent(int index) {
    if (index < 0 || index >= m_recent.Entries().size()) {
        return false;
    }
    const QString path = m_recent.Entries()[index];
    if (!CanReplaceDocument()) {
        return false;
    }
    // Only a file that could not be opened leaves the list, not one whose open was cancelled.
    bool attempted = false;
    const bool opened = ReplaceWith([this, &path, &attempted] {
        attempted = true;
        return OnOpenDocument(m_doc, path);
    });
    if (opened) {
        m_recent.Add(path);
    } else if (attempted) {
        m_recent.Remove(path);
    }
    return opened;
}

bool FileCommands::Save() {
    if (!CanSave()) {
        return false;
    }
    const QString path = m_doc.GetPathName();
    if (path.isEmpty() || !QFileInfo(path).dir().exists()) {
        return SaveAs();
    }
    return SaveTo(path);
}

bool FileCommands::SaveAs() {
    if (!CanSave() || !chooseSavePath) {
        return false;
    }
    const QString current = m_doc.GetPathName();
    QString path = chooseSavePath(current.isEmpty() ? Title() + ".vmf" : current);
    if (path.isEmpty()) {
        return false;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".vmf");
    }
    return SaveTo(path);
}

bool FileCommands::SaveTo(const QString& path) {
    if (!OnSaveDocument(m_doc, path)) {
        return false;
    }
    m_recent.Add(path);
    Changed();
    if (saved) {
        saved();
    }
    return true;
}

void FileCommands::Changed() {
    if (documentChanged) {
        documentChanged();
    }
}

} // namespace vm
