#include "app/Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <climits>

namespace vm {

namespace {

constexpr char kRightButtonKey[] = "Right button moving";
constexpr char kDetailKey[] = "Initial model detail";

// The file is read as a C program with a 512-byte line buffer reads it: a piece ends after a
// newline or after 511 characters, so an overlong line goes on as a new "line" of its own.
constexpr int kMaxPiece = 511;

// Next piece of text, with CR LF taken as one newline as text-mode reading does.
// Returns false at the end of the data.
bool ReadPiece(QIODevice& device, QByteArray& piece) {
    piece.clear();
    char c = 0;
    while (piece.size() < kMaxPiece && device.getChar(&c)) {
        if (c == '\r') {
            char next = 0;
            if (device.peek(&next, 1) == 1 && next == '\n') {
                continue; // the newline that follows ends the piece
            }
        }
        piece.append(c);
        if (c == '\n') {
            break;
        }
    }
    return !piece.isEmpty();
}

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// atoi: leading blanks, one sign, digits up to the first non-digit, 0 without digits. Values
// beyond the int range saturate rather than wrap, so a huge number stays "not 0".
int ParseInteger(const QByteArray& text, qsizetype at) {
    while (at < text.size() && IsCSpace(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    long long value = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at) {
        value = std::min<long long>(value * 10 + (text[at] - '0'), 1LL + INT_MAX);
    }
    if (negative) {
        value = -value;
    }
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// The value of a line that begins with a key of keyLength characters: the text after the first
// "=" that follows the key, or the text right after the key when there is none.
int ValueAfterKey(const QByteArray& line, qsizetype keyLength) {
    const qsizetype equals = line.indexOf('=', keyLength);
    return ParseInteger(line, equals >= 0 ? equals + 1 : keyLength);
}

} // namespace

Settings::Settings() : m_path(DefaultPath()) {
    ReadFile();
}

Settings::Settings(const QString& path) : m_path(path) {
    ReadFile();
}

Settings::Settings(QIODevice& device) {
    Read(device);
}

QString Settings::DefaultPath() {
    const QString directory = QDir::currentPath();
    // Without a current directory (it may have been removed) there is no settings file, and
    // certainly not one at the root of the file system.
    return directory.isEmpty() ? QString() : directory + QStringLiteral("/visomorf.ini");
}

void Settings::ReadFile() {
    if (m_path.isEmpty() || QFileInfo(m_path).isDir()) {
        return;
    }
    QFile file(m_path);
    if (file.open(QIODevice::ReadOnly)) {
        Read(file);
    }
}

void Settings::Read(QIODevice& device) {
    QByteArray piece;
    while (ReadPiece(device, piece)) {
        ApplyLine(piece);
    }
}

void Settings::ApplyLine(const QByteArray& piece) {
    // The line is a C string: anything after a NUL byte is not seen.
    const qsizetype nul = piece.indexOf('\0');
    const QByteArray line = nul >= 0 ? piece.left(nul) : piece;
    if (line.startsWith(kRightButtonKey)) {
        m_rightButtonMoving = ValueAfterKey(line, sizeof kRightButtonKey - 1) != 0;
    } else if (line.startsWith(kDetailKey)) {
        const int detail = ValueAfterKey(line, sizeof kDetailKey - 1);
        m_initialModelDetail = (detail < 1 || detail > 3) ? 1 : detail;
    }
}

} // namespace vm
