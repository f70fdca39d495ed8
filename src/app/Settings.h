#pragma once
// The two user settings, read once at start-up from "visomorf.ini" in the current directory.
// The program never writes the file; a missing or unreadable file leaves the defaults.
#include <QIODevice>
#include <QString>

namespace vm {

class Settings {
public:
    // Reads <current directory>/visomorf.ini.
    Settings();
    // Reads the given file (tests, or a caller that knows better where the file lies).
    explicit Settings(const QString& path);
    // Reads an already open device; the path stays empty.
    explicit Settings(QIODevice& device);

    static QString DefaultPath();

    // On: a right-button drag moves the model in the 3D view and a middle-button drag zooms;
    // off: the reverse.
    bool rightButtonMoving() const { return m_rightButtonMoving; }
    // Detail of every new document: 1 Low, 2 Medium, 3 High.
    int initialModelDetail() const { return m_initialModelDetail; }
    const QString& path() const { return m_path; }

private:
    void ReadFile();
    void Read(QIODevice& device);
    void ApplyLine(const QByteArray& line);

    QString m_path;
    bool m_rightButtonMoving = false;
    int m_initialModelDetail = 1;
};

} // namespace vm
