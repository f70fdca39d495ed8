#pragma once
// The File menu's document commands: New, Open, Save, Save As, the recent files and dropped
// files. Nothing discards a modified document without asking; a command that would replace the
// document waits while a view drags; a failed open leaves the open document as it was. The
// questions to the user are functions, so that tests answer them.
#include <QString>
#include <functional>

namespace vm {

class CVisomorfDoc;
class RecentFileList;

class FileCommands {
public:
    enum class SaveAnswer { Yes, No, Cancel };

    FileCommands(CVisomorfDoc& doc, RecentFileList& recent);

    // "Save changes to <title>?"
    std::function<SaveAnswer(const QString& title)> askSaveChanges;
    // The file to open, or empty when cancelled.
    std::function<QString()> chooseOpenPath;
    // The file to save to, starting from suggestion, or empty when cancelled. The chooser
    // adds the ".vmf" extension itself and asks before an existing file is replaced; a name
    // that comes back without an extension still gets ".vmf".
    std::function<QString(const QString& suggestion)> chooseSavePath;
    // Called after the document was replaced or renamed (title, views).
    std::function<void()> documentChanged;
    // Called after the document was written to its file.
    std::function<void()> saved;

    bool New();
    bool Open();
    // Opens path as the document (recent files, dropped files, the command line).
    bool OpenPath(const QString& path);
    // Opens the recent file with index 0..3; an entry that fails to open leaves the list.
    bool OpenRecent(int index);
    bool Save();
    bool SaveAs();
    // Asks whether to save a modified document; true when the caller may go on.
    bool SaveModified();
    // Whether a command may replace the document now (no view is dragging).
    bool CanReplaceDocument() const;
    // Whether Save and Save As may write now: not while a view drags, whose half-done move
    // the file would keep after Escape has taken it back.
    bool CanSave() const;

    // The document's name for the title bar: its file name, or "Untitled".
    QString Title() const;

private:
    bool SaveTo(const QString& path);
    bool ReplaceWith(const std::function<bool()>& load);
    void Changed();

    CVisomorfDoc& m_doc;
    RecentFileList& m_recent;
};

} // namespace vm
