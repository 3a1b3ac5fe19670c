#include "segments/SegmentCsv.h"

#include <QFile>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStringList>

#include <cmath>

namespace clip {

namespace {

// Splits one record into its fields. A quoted field may hold commas, doubled
// quotes and line breaks; `pos` moves past the record's line end. False when
// a quote is left open or stray text follows a closing quote.
bool ReadRecord(const QString& text, qsizetype& pos, QStringList* fields, int* linesSpanned)
{
    fields->clear();
    *linesSpanned = 1;
    QString field;
    bool quoted = false, wasQuoted = false;
    while (pos < text.size()) {
        const QChar c = text.at(pos);
        if (quoted) {
            if (c == u'"') {
                if (pos + 1 < text.size() && text.at(pos + 1) == u'"') {
                    field += u'"';
                    pos += 2;
                    continue;
                }
                quoted = false;
            } else {
                if (c == u'\n')
                    ++*linesSpanned;
                field += c;
            }
            ++pos;
            continue;
        }
        if (c == u'\n' || c == u'\r') {
            pos += (c == u'\r' && pos + 1 < text.size() && text.at(pos + 1) == u'\n') ? 2 : 1;
            fields->append(field);
            return true;
        }
        ++pos;
        if (c == u',') {
            fields->append(field);
            field.clear();
            wasQuoted = false;
        } else if (c == u'"' && field.trimmed().isEmpty() && !wasQuoted) {
            field.clear();
            quoted = wasQuoted = true;
        } else if (wasQuoted && !c.isSpace()) {
            return false;
        } else {
            field += c;
        }
    }
    fields->append(field);
    return !quoted;
}

// Seconds with decimals and a point; nothing else (no clock times, no
// exponent, no comma), so a list means the same wherever it was written.
bool ReadSeconds(const QString& field, double* seconds)
{
    const QString text = field.trimmed();
    static const QRegularExpression plain(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    if (!plain.match(text).hasMatch())
        return false;
    bool ok = false;
    *seconds = text.toDouble(&ok);
    return ok && std::isfinite(*seconds);
}

SegmentCsvRead Fault(int line, const QString& why)
{
    SegmentCsvRead read;
    read.errorLine = line;
    read.error = QStringLiteral("Line %1: %2").arg(line).arg(why);
    return read;
}

QString Quoted(const QString& label)
{
    if (!label.contains(u',') && !label.contains(u'"') && !label.contains(u'\n') && !label.contains(u'\r')
        && label.trimmed() == label)
        return label;
    QString escaped = label;
    escaped.replace(u'"', QStringLiteral("\"\""));
    return u'"' + escaped + u'"';
}

QString SecondsText(double seconds)
{
    QString text = QString::number(seconds, 'f', 3);
    while (text.endsWith(u'0'))
        text.chop(1);
    if (text.endsWith(u'.'))
        text.chop(1);
    return text;
}

}  // namespace

SegmentCsvRead ReadSegmentsCsv(const QString& text)
{
    SegmentList list;
    qsizetype pos = 0;
    int line = 1;
    bool first = true;
    if (text.startsWith(QChar(0xFEFF)))
        pos = 1;
    while (pos < text.size()) {
        QStringList fields;
        int spanned = 1;
        const int recordLine = line;
        if (!ReadRecord(text, pos, &fields, &spanned))
            return Fault(recordLine, QStringLiteral("a quoted label is not closed, or text follows its closing quote."));
        line += spanned;
        const bool header = first && fields.size() >= 2 && fields.at(0).trimmed().compare(u"start", Qt::CaseInsensitive) == 0
                            && fields.at(1).trimmed().compare(u"end", Qt::CaseInsensitive) == 0;
        first = false;
        if (header || (fields.size() == 1 && fields.at(0).trimmed().isEmpty()))
            continue;
        if (fields.size() < 2 || fields.size() > 3)
            return Fault(recordLine, QStringLiteral("expected start,end,label but found %1 field(s).").arg(fields.size()));
        Segment segment;
        if (!ReadSeconds(fields.at(0), &segment.start) || !ReadSeconds(fields.at(1), &segment.end))
            return Fault(recordLine, QStringLiteral("the start and the end must be seconds, such as 12.5."));
        if (segment.start < 0.0)
            return Fault(recordLine, QStringLiteral("a time may not be negative."));
        if (fields.size() == 3)
            segment.label = fields.at(2).trimmed();
        QString problem;
        if (list.Add(segment, &problem) < 0)
            return Fault(recordLine, problem);
    }
    SegmentCsvRead read;
    read.segments = list.segments();
    return read;
}

SegmentCsvRead ReadSegmentsCsvFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        SegmentCsvRead read;
        read.error = QStringLiteral("The list could not be read: %1 (%2)").arg(path, file.errorString());
        return read;
    }
    // A list is a few lines; anything huge is not one.
    constexpr qint64 kLargestList = 16 * 1024 * 1024;
    if (file.size() > kLargestList) {
        SegmentCsvRead read;
        read.error = QStringLiteral("The list could not be read: %1 (the file is too large to be a segment list)").arg(path);
        return read;
    }
    return ReadSegmentsCsv(QString::fromUtf8(file.readAll()));
}

QString WriteSegmentsCsv(const std::vector<Segment>& segments)
{
    QString text = QStringLiteral("start,end,label\n");
    for (const Segment& segment : segments)
        text += SecondsText(segment.start) + u',' + SecondsText(segment.end) + u',' + Quoted(segment.label) + u'\n';
    return text;
}

bool WriteSegmentsCsvFile(const QString& path, const std::vector<Segment>& segments, QString* error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(WriteSegmentsCsv(segments).toUtf8()) < 0 || !file.commit()) {
        if (error)
            *error = QStringLiteral("The list could not be written: %1 (%2)").arg(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace clip
