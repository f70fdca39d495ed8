#include "cli/ManPage.h"

#include <QRegularExpression>
#include <algorithm>

namespace vm {

namespace {

struct Item {
    bool entry = false;
    QString term, text;
};

struct Section {
    QString title;
    std::vector<Item> items;
    QStringList synopsis; // lines kept as they are
};

qsizetype Indent(const QString& line) {
    qsizetype n = 0;
    while (n < line.size() && line[n] == QLatin1Char(' ')) {
        ++n;
    }
    return n;
}

void Append(QString& text, const QString& more) {
    if (more.isEmpty()) {
        return;
    }
    if (!text.isEmpty()) {
        text += QLatin1Char(' ');
    }
    text += more;
}

// Option names in running text are set in bold, the rest literally.
QString Styled(const QString& text) {
    static const QRegularExpression option(QStringLiteral("(?<![\\w-])--[A-Za-z0-9][\\w-]*"));
    QString result;
    qsizetype done = 0;
    auto it = option.globalMatch(text);
    while (it.hasNext()) {
        const auto match = it.next();
        result += RoffEscape(text.mid(done, match.capturedStart() - done));
        result += QStringLiteral("\\fB") + RoffEscape(match.captured()) + QStringLiteral("\\fR");
        done = match.capturedEnd();
    }
    result += RoffEscape(text.mid(done));
    return result;
}

// An entry's term: the option (or the first word) in bold, its arguments in italics.
QString StyledTerm(const QString& term) {
    const QStringList words = term.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList styled;
    for (qsizetype i = 0; i < words.size(); ++i) {
        const bool bold = i == 0 || words[i].startsWith(QLatin1Char('-'));
        styled << (bold ? QStringLiteral("\\fB") : QStringLiteral("\\fI")) + RoffEscape(words[i]) +
                      QStringLiteral("\\fR");
    }
    return styled.join(QLatin1Char(' '));
}

// A line of output text; a leading full stop or apostrophe would be read as a request.
QString TextLine(const QString& styled) {
    if (styled.startsWith(QLatin1Char('.')) || styled.startsWith(QLatin1Char('\''))) {
        return QStringLiteral("\\&") + styled;
    }
    return styled;
}

std::vector<Section> ReadHelp(const QString& help) {
    static const QRegularExpression heading(QStringLiteral("^([A-Z][A-Za-z ]{1,30}):(?:\\s+|$)"));
    std::vector<Section> sections{{QStringLiteral("SYNOPSIS"), {}, {}},
                                  {QStringLiteral("DESCRIPTION"), {}, {}}};
    Section* current = &sections[1];
    bool inSynopsis = false, inParagraph = false;
    qsizetype synopsisIndent = 0;
    qsizetype entryIndent = -1; // of the entry being read, or -1 outside entries
    for (QString line : help.split(QLatin1Char('\n'))) {
        while (line.endsWith(QLatin1Char(' ')) || line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        const qsizetype indent = Indent(line);
        if (line.isEmpty()) {
            inSynopsis = inParagraph = false;
            entryIndent = -1;
            continue;
        }
        if (line.startsWith(QLatin1String("Usage:"))) {
            const QString first = line.mid(6).trimmed();
            synopsisIndent = line.indexOf(first);
            sections[0].synopsis << first;
            inSynopsis = true;
            continue;
        }
        if (inSynopsis) {
            sections[0].synopsis << line.mid(qMin(indent, synopsisIndent));
            continue;
        }
        if (entryIndent >= 0 && indent > entryIndent) {
            Append(current->items.back().text, line.trimmed());
            continue;
        }
        if (indent > 0) {
            static const QRegularExpression gap(QStringLiteral("\\s{2,}"));
            const QString body = line.trimmed();
            const auto match = gap.match(body);
            Item item{true, body, QString()};
            if (match.hasMatch()) {
                item.term = body.left(match.capturedStart());
                item.text = body.mid(match.capturedEnd());
            }
            if (item.term.startsWith(QLatin1Char('-')) && current->title != "OPTIONS") {
                sections.push_back({QStringLiteral("OPTIONS"), {}, {}});
                current = &sections.back();
            }
            current->items.push_back(item);
            inParagraph = false;
            entryIndent = indent;
            continue;
        }
        if (inParagraph) {
            Append(current->items.back().text, line.trimmed());
            continue;
        }
        entryIndent = -1;
        QString text = line.trimmed();
        const auto match = heading.match(text);
        if (match.hasMatch()) {
            sections.push_back({match.captured(1).toUpper(), {}, {}});
            current = &sections.back();
            text = text.mid(match.capturedEnd());
        }
        current->items.push_back({false, QString(), text});
        inParagraph = true;
    }
    return sections;
}

} // namespace

QString RoffEscape(const QString& text) {
    QString result;
    result.reserve(text.size() + text.size() / 8);
    for (const QChar c : text) {
        if (c == QLatin1Char('\\')) {
            result += QStringLiteral("\\e");
        } else if (c == QLatin1Char('-')) {
            result += QStringLiteral("\\-");
        } else {
            result += c;
        }
    }
    return result;
}

QString ManPageFromHelp(const ManPageSource& source) {
    std::vector<Section> sections = ReadHelp(source.help);
    for (const auto& [title, entries] : source.extraSections) {
        Section section{title.toUpper(), {}, {}};
        for (const auto& [term, text] : entries) {
            section.items.push_back({true, term, text});
        }
        sections.push_back(section);
    }
    auto quoted = [](const QString& text) {
        return QLatin1Char('"') + RoffEscape(text).replace(QLatin1Char('"'), QString()) +
               QLatin1Char('"');
    };
    // Not hyphenated: the page is full of names and placeholders like DOCUMENT.vmf.
    QString page =
        QStringLiteral(".TH VISOMORF 1 %1 %2 \"User Commands\"\n.nh\n")
            .arg(quoted(source.date), quoted(QStringLiteral("Visomorf ") + source.version));
    page += QStringLiteral(".SH NAME\nvisomorf \\- %1\n").arg(RoffEscape(source.summary));
    for (const Section& section : sections) {
        const bool empty =
            std::all_of(section.items.begin(), section.items.end(),
                        [](const Item& item) { return item.entry ? false : item.text.isEmpty(); });
        if (section.synopsis.isEmpty() && empty) {
            continue;
        }
        page += QStringLiteral(".SH ") + quoted(section.title) + QLatin1Char('\n');
        if (!section.synopsis.isEmpty()) {
            page += QStringLiteral(".nf\n");
            for (const QString& line : section.synopsis) {
                QString styled = Styled(line);
                if (line.startsWith(QLatin1String("visomorf"))) {
                    styled = QStringLiteral("\\fBvisomorf\\fR") + styled.mid(8);
                }
                page += TextLine(styled) + QLatin1Char('\n');
            }
            page += QStringLiteral(".fi\n");
        }
        bool first = section.synopsis.isEmpty();
        for (const Item& item : section.items) {
            if (item.entry) {
                page +=
                    QStringLiteral(".TP\n") + TextLine(StyledTerm(item.term)) + QLatin1Char('\n');
                if (!item.text.isEmpty()) {
                    page += TextLine(Styled(item.text)) + QLatin1Char('\n');
                }
            } else if (!item.text.isEmpty()) {
                if (!first) {
                    page += QStringLiteral(".PP\n");
                }
                page += TextLine(Styled(item.text)) + QLatin1Char('\n');
            }
            first = false;
        }
    }
    return page;
}

} // namespace vm
