#include "formats/Catalogue.h"

#include "common/HostServices.h"
#include "common/ResourceLocator.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <algorithm>
#include <array>

// The catalogues look like XML but are read line by line with fixed rules:
// header, footer and empty lines are skipped; any other line without "</"
// opens a record whose next N lines are its field lines, and the line after
// them (the record's closing line) is passed over unread. A field line is
// "<tag>value</tag>"; the value runs from the opening tag to the first "</tag"
// (found without regard to case). Whatever a file holds, the result follows
// from these rules alone, odd files included. One addition: where the line
// after the fields is a field line of the layout's optional tag, it is read
// and the record's closing line is the one after it; a reader without the
// addition passes over that line as the closing one and skips the real
// closing line for its "</".

namespace clip {

namespace {

// Removes leading and trailing blanks (spaces only; tabs stay).
QString trimSpaces(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == QLatin1Char(' '))
        ++first;
    while (last > first && text.at(last - 1) == QLatin1Char(' '))
        --last;
    return text.mid(first, last - first);
}

// How one catalogue is laid out.
template <typename Entry, std::size_t FieldCount>
struct Layout {
    const char* fileName;
    const char* failureText;
    std::array<const char*, 3> headerLines;      // declaration, opening and closing root lines
    bool trimHeaderLines;                        // compare them after trimming spaces
    std::array<const char*, FieldCount> tags;    // field tags, case-sensitive
    std::array<QString Entry::*, FieldCount> fields;  // the member each tag sets
    QString Entry::*key;                         // an entry counts once this is not empty
    const char* optionalTag;                     // a field that may follow the others; null: none
    QString Entry::*optionalField;
    const char* entriesName;                     // what the file lists, for messages
};

const Layout<PresetEntry, 4> kPresetLayout{
    kPresetsFileName,
    "Error Occured while Loading Presets.",
    {"<?xml version=\"1.0\"?>", "<presets>", "</presets>"},
    false,
    {"label", "params", "extension", "category"},
    {&PresetEntry::Label, &PresetEntry::Params, &PresetEntry::Extension, &PresetEntry::Category},
    &PresetEntry::Category,
    "cutmode",
    &PresetEntry::CutMode,
    "presets",
};

const Layout<CodecEntry, 3> kCodecLayout{
    kCodecsFileName,
    "Error Occured while Loading Codecs.",
    {"<?xml version=\"1.0\"?>", "<codecs>", "</codecs>"},
    true,
    {"name", "description", "type"},
    {&CodecEntry::Name, &CodecEntry::Description, &CodecEntry::Type},
    &CodecEntry::Description,
    nullptr,
    nullptr,
    "codecs",
};

void reportFailure(const char* failureText, const QString& cause)
{
    Host().messageBox(QString::fromLatin1(failureText) + QLatin1Char('\n') + cause, MsgNoIcon);
}

enum class ReadResult { Lines, Blank, Failed };

// Reads the whole catalogue and splits it into lines. A line ends at LF, with
// an optional CR before it.
ReadResult readLines(const QString& fileName, QStringList* lines, QString* cause)
{
    const QString path = LocateDataFile(fileName);
    const QString shown = QDir::toNativeSeparators(path);
    QFile file(path);
    if (!file.exists()) {
        *cause = QStringLiteral("The file \"%1\" was not found.").arg(shown);
        return ReadResult::Failed;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        *cause = QStringLiteral("The file \"%1\" could not be opened: %2").arg(shown, file.errorString());
        return ReadResult::Failed;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        *cause = QStringLiteral("The file \"%1\" could not be read: %2").arg(shown, file.errorString());
        return ReadResult::Failed;
    }
    const QString content = QString::fromUtf8(bytes);
    if (trimSpaces(content).isEmpty())
        return ReadResult::Blank;

    *lines = content.split(QLatin1Char('\n'));
    for (QString& line : *lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
    }
    return ReadResult::Lines;
}

template <typename Entry, std::size_t N>
bool isSkipped(const Layout<Entry, N>& layout, const QString& line)
{
    if (line.isEmpty())
        return true;
    const QString compared = layout.trimHeaderLines ? trimSpaces(line) : line;
    for (const char* header : layout.headerLines) {
        if (compared == QLatin1String(header))
            return true;
    }
    return false;
}

// Reads one field line into `entry`. Positions follow the reader's 1-based
// arithmetic: p is the first "<", q the first ">" (0 when absent), the tag is
// the q - p - 1 characters after p, and the value the text from after the
// opening tag up to the first "</tag". Unknown tags leave the entry alone.
template <typename Entry, std::size_t N>
bool readFieldLine(const Layout<Entry, N>& layout, const QString& line, int lineNumber, Entry& entry,
                   QString* cause)
{
    const qsizetype p = line.indexOf(QLatin1Char('<')) + 1;
    const qsizetype q = line.indexOf(QLatin1Char('>')) + 1;
    const qsizetype tagLength = q - p - 1;
    if (tagLength < 0) {
        *cause = QStringLiteral("Line %1 is not a field line: its \">\" is missing or stands before its \"<\".")
                     .arg(lineNumber);
        return false;
    }
    const QString tag = line.mid(p, tagLength);
    for (std::size_t k = 0; k < N; ++k) {
        if (tag != QLatin1String(layout.tags[k]))
            continue;
        const qsizetype e = line.indexOf(QLatin1String("</") + tag, 0, Qt::CaseInsensitive) + 1;
        const qsizetype openingLength = tag.size() + 2;
        const qsizetype valueLength = e - p - openingLength;
        if (valueLength < 0) {
            *cause = QStringLiteral("Line %1 has no closing tag \"</%2>\" after its value.").arg(lineNumber).arg(tag);
            return false;
        }
        entry.*(layout.fields[k]) = line.mid(p + openingLength - 1, valueLength);
        return true;
    }
    return true;
}

// Walks the lines and fills the table. On failure the table keeps what was
// read, and `count` lacks its final increment.
template <typename Entry, std::size_t N>
bool walkRecords(const Layout<Entry, N>& layout, const QStringList& lines, QVector<Entry>& table, int& count,
                 QString* cause)
{
    const qsizetype last = lines.size() - 1;
    table.resize(count + 1);
    for (qsizetype i = 0; i <= last; ++i) {
        const QString& line = lines.at(i);
        if (isSkipped(layout, line) || line.contains(QLatin1String("</")))
            continue;

        // An opening line: the previous entry is kept only when its key field
        // was given; otherwise this record is written over it.
        if (!(table[count].*(layout.key)).isEmpty())
            ++count;
        table.resize(count + 1);
        for (qsizetype k = 1; k <= qsizetype(N); ++k) {
            if (i + k > last) {
                *cause = QStringLiteral("The record that starts on line %1 runs past the end of the file.")
                             .arg(i + 1);
                return false;
            }
            if (!readFieldLine(layout, lines.at(i + k), int(i + k + 1), table[count], cause))
                return false;
        }
        i += qsizetype(N);
        const QString tag = layout.optionalTag ? QLatin1String(layout.optionalTag) : QString();
        if (!tag.isEmpty() && i + 1 <= last && lines.at(i + 1).trimmed().startsWith(QLatin1Char('<') + tag + '>')) {
            const QString& line = lines.at(i + 1);
            const qsizetype close = line.indexOf(QStringLiteral("</") + tag, 0, Qt::CaseInsensitive);
            const qsizetype open = line.indexOf(QLatin1Char('>')) + 1;
            if (close > open)
                table[count].*(layout.optionalField) = line.mid(open, close - open);
            ++i;
        }
        ++i;  // the closing line is passed over unread
    }
    ++count;
    return true;
}

// Reads a catalogue file into its table. False when the load failed (the
// failure has been reported); the lists are then left alone. A file that
// lists nothing (blank, or without a single record that counts) fails like
// a missing one and leaves the table as it was: a lone empty entry would
// offer a format that does not exist.
template <typename Entry, std::size_t N>
bool readTable(const Layout<Entry, N>& layout, QVector<Entry>& table, int& count)
{
    QStringList lines;
    QString cause;
    const QString fileName = QString::fromLatin1(layout.fileName);
    const QString nothingListed = QStringLiteral("The file \"%1\" lists no %2.")
                                      .arg(QDir::toNativeSeparators(LocateDataFile(fileName)),
                                           QString::fromLatin1(layout.entriesName));
    switch (readLines(fileName, &lines, &cause)) {
    case ReadResult::Blank: reportFailure(layout.failureText, nothingListed); return false;
    case ReadResult::Failed: reportFailure(layout.failureText, cause); return false;
    case ReadResult::Lines: break;
    }
    const int countBefore = count;
    if (!walkRecords(layout, lines, table, count, &cause)) {
        reportFailure(layout.failureText, cause);
        return false;
    }
    if (std::all_of(table.cbegin() + countBefore, table.cbegin() + count,
                    [&](const Entry& entry) { return (entry.*(layout.key)).isEmpty(); })) {
        count = countBefore;
        table.resize(countBefore);
        reportFailure(layout.failureText, nothingListed);
        return false;
    }
    return true;
}

}  // namespace

bool ReadPresets(Catalogues& cat) { return readTable(kPresetLayout, cat.Presets, cat.PresetCount); }

bool ReadCodecs(Catalogues& cat) { return readTable(kCodecLayout, cat.Codecs, cat.CodecCount); }

void ReportCatalogueFailure(CatalogueKind kind, const QString& cause)
{
    reportFailure(kind == CatalogueKind::Presets ? kPresetLayout.failureText : kCodecLayout.failureText, cause);
}

const PresetEntry* FindPreset(const Catalogues& cat, const QString& category, const QString& label,
                              const QString& extension)
{
    const int count = std::min<qsizetype>(cat.PresetCount, cat.Presets.size());
    for (int i = 0; i < count; ++i) {
        const PresetEntry& p = cat.Presets.at(i);
        if (p.Extension == extension && p.Label == label && p.Category == category)
            return &p;
    }
    return nullptr;
}

QString GetCodecName(const Catalogues& cat, const QString& description)
{
    const int count = std::min<qsizetype>(cat.CodecCount, cat.Codecs.size());
    for (int i = 0; i < count; ++i) {
        if (cat.Codecs.at(i).Description == description)
            return trimSpaces(cat.Codecs.at(i).Name);
    }
    return {};
}

}  // namespace clip
