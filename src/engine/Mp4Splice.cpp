#include "engine/Mp4Splice.h"

#include "engine/ParameterSets.h"

#include <QFile>
#include <QList>
#include <QSet>
#include <QVector>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>

namespace clip {

namespace {

// One box of the file's index: a container's children parsed, any other's
// payload kept as it is.
struct Box {
    QByteArray type;
    QByteArray payload;
    QList<Box> children;
    bool container = false;
};

quint32 U32(const QByteArray& d, qsizetype at)
{
    return qFromBigEndian<quint32>(reinterpret_cast<const uchar*>(d.constData()) + at);
}
quint64 U64(const QByteArray& d, qsizetype at)
{
    return qFromBigEndian<quint64>(reinterpret_cast<const uchar*>(d.constData()) + at);
}
void Put32(QByteArray& d, quint32 v)
{
    uchar b[4];
    qToBigEndian(v, b);
    d.append(reinterpret_cast<const char*>(b), 4);
}
void Put64(QByteArray& d, quint64 v)
{
    uchar b[8];
    qToBigEndian(v, b);
    d.append(reinterpret_cast<const char*>(b), 8);
}

bool IsContainer(const QByteArray& type)
{
    static const QSet<QByteArray> containers{"moov", "trak", "edts", "mdia", "minf", "stbl"};
    return containers.contains(type);
}

// The boxes in `data` from `from` to `to`; false where one does not fit.
bool ParseBoxes(const QByteArray& data, qsizetype from, qsizetype to, QList<Box>* boxes)
{
    while (from + 8 <= to) {
        quint64 size = U32(data, from);
        qsizetype header = 8;
        if (size == 1) {
            if (from + 16 > to)
                return false;
            size = U64(data, from + 8);
            header = 16;
        } else if (size == 0) {
            size = quint64(to - from);
        }
        if (size < quint64(header) || size > quint64(to - from))
            return false;
        Box box;
        box.type = data.mid(from + 4, 4);
        box.container = IsContainer(box.type);
        if (box.container) {
            if (!ParseBoxes(data, from + header, from + qsizetype(size), &box.children))
                return false;
        } else {
            box.payload = data.mid(from + header, qsizetype(size) - header);
        }
        boxes->append(box);
        from += qsizetype(size);
    }
    return from == to;
}

QByteArray Serialize(const Box& box)
{
    QByteArray body;
    if (box.container) {
        for (const Box& child : box.children)
            body += Serialize(child);
    } else {
        body = box.payload;
    }
    QByteArray out;
    Put32(out, quint32(body.size() + 8));
    out += box.type;
    return out + body;
}

Box Leaf(const char* type, const QByteArray& payload)
{
    Box box;
    box.type = type;
    box.payload = payload;
    return box;
}

Box* Child(QList<Box>& boxes, const char* type)
{
    for (Box& box : boxes) {
        if (box.type == type)
            return &box;
    }
    return nullptr;
}

Box* Find(Box& from, std::initializer_list<const char*> path)
{
    Box* at = &from;
    for (const char* type : path) {
        at = Child(at->children, type);
        if (!at)
            return nullptr;
    }
    return at;
}

// A track's samples as its tables list them, in decode order.
struct Samples {
    qint64 timescale = 0;
    QVector<qint64> dts, cts;
    QVector<quint32> sizes;
    QVector<qint64> positions;  // in the file
    QVector<bool> keys;
    QVector<quint64> chunkOffsets;
    QVector<int> chunkCounts;
    qint64 lastDuration = 0;
    QByteArray sampleEntries;  // the stsd payload
};

QString HandlerOf(Box& trak)
{
    Box* hdlr = Find(trak, {"mdia", "hdlr"});
    return hdlr && hdlr->payload.size() >= 12 ? QString::fromLatin1(hdlr->payload.mid(8, 4)) : QString();
}

qint64 TimescaleOf(const QByteArray& header)  // mdhd or mvhd
{
    if (header.size() < 24)
        return 0;
    return header.at(0) == 1 ? U32(header, 20) : U32(header, 12);
}

QByteArray WithDuration(QByteArray header, qsizetype v1At, qsizetype v0At, quint64 duration)
{
    if (header.at(0) == 1 && header.size() >= v1At + 8)
        qToBigEndian(duration, reinterpret_cast<uchar*>(header.data()) + v1At);
    else if (header.size() >= v0At + 4)
        qToBigEndian(quint32(std::min<quint64>(duration, 0xFFFFFFFFu)), reinterpret_cast<uchar*>(header.data()) + v0At);
    return header;
}

bool ReadSamples(Box& trak, Samples* s, QString* error)
{
    Box* mdhd = Find(trak, {"mdia", "mdhd"});
    Box* stbl = Find(trak, {"mdia", "minf", "stbl"});
    if (!mdhd || !stbl) {
        *error = QStringLiteral("a track has no sample table");
        return false;
    }
    s->timescale = TimescaleOf(mdhd->payload);
    const auto table = [&](const char* type) -> const QByteArray* {
        const Box* box = Child(stbl->children, type);
        return box && box->payload.size() >= 8 ? &box->payload : nullptr;
    };
    const QByteArray* stts = table("stts");
    const QByteArray* stsz = table("stsz");
    const QByteArray* stsc = table("stsc");
    const QByteArray* stsd = table("stsd");
    const QByteArray* stco = table("stco");
    const QByteArray* co64 = table("co64");
    if (!stts || !stsz || !stsc || !stsd || (!stco && !co64) || stsz->size() < 12) {
        *error = QStringLiteral("a sample table is incomplete");
        return false;
    }
    s->sampleEntries = *stsd;
    // Sizes.
    const quint32 same = U32(*stsz, 4), count = U32(*stsz, 8);
    if (count > 50'000'000u || (same == 0 && stsz->size() < 12 + 4 * qsizetype(count))) {
        *error = QStringLiteral("a sample size table is damaged");
        return false;
    }
    s->sizes.resize(count);
    for (quint32 i = 0; i < count; ++i)
        s->sizes[i] = same ? same : U32(*stsz, 12 + 4 * i);
    // Decode times.
    const quint32 runs = U32(*stts, 4);
    if (stts->size() < 8 + 8 * qsizetype(runs)) {
        *error = QStringLiteral("a time table is damaged");
        return false;
    }
    s->dts.reserve(count);
    qint64 t = 0, duration = 0;
    for (quint32 r = 0; r < runs; ++r) {
        const quint32 n = U32(*stts, 8 + 8 * r);
        duration = U32(*stts, 12 + 8 * r);
        for (quint32 k = 0; k < n && quint32(s->dts.size()) < count; ++k, t += duration)
            s->dts << t;
    }
    if (quint32(s->dts.size()) != count) {
        *error = QStringLiteral("a time table does not match the samples");
        return false;
    }
    s->lastDuration = duration;
    // Presentation offsets.
    s->cts = s->dts;
    if (const QByteArray* ctts = table("ctts")) {
        const bool signedOffsets = ctts->at(0) == 1;
        const quint32 n = U32(*ctts, 4);
        if (ctts->size() < 8 + 8 * qsizetype(n)) {
            *error = QStringLiteral("a time offset table is damaged");
            return false;
        }
        qsizetype at = 0;
        for (quint32 r = 0; r < n; ++r) {
            const quint32 repeat = U32(*ctts, 8 + 8 * r);
            const quint32 raw = U32(*ctts, 12 + 8 * r);
            const qint64 offset = signedOffsets ? qint64(qint32(raw)) : qint64(raw);
            for (quint32 k = 0; k < repeat && at < s->cts.size(); ++k)
                s->cts[at++] += offset;
        }
    }
    // Key frames (every sample where the table is missing).
    s->keys.fill(table("stss") == nullptr, count);
    if (const QByteArray* stss = table("stss")) {
        const quint32 n = U32(*stss, 4);
        for (quint32 k = 0; k < n && stss->size() >= 12 + 4 * qsizetype(k); ++k) {
            const quint32 index = U32(*stss, 8 + 4 * k);
            if (index >= 1 && index <= count)
                s->keys[index - 1] = true;
        }
    }
    // Chunks and where each sample lies.
    const QByteArray& offsets = co64 ? *co64 : *stco;
    const quint32 chunks = U32(offsets, 4);
    if (offsets.size() < 8 + qsizetype(chunks) * (co64 ? 8 : 4)) {
        *error = QStringLiteral("a chunk table is damaged");
        return false;
    }
    for (quint32 c = 0; c < chunks; ++c)
        s->chunkOffsets << (co64 ? U64(offsets, 8 + 8 * c) : U32(offsets, 8 + 4 * c));
    const quint32 entries = U32(*stsc, 4);
    if (stsc->size() < 8 + 12 * qsizetype(entries) || entries == 0) {
        *error = QStringLiteral("a chunk map is damaged");
        return false;
    }
    quint32 entry = 0, placed = 0;
    for (quint32 c = 1; c <= chunks; ++c) {
        while (entry + 1 < entries && U32(*stsc, 8 + 12 * (entry + 1)) <= c)
            ++entry;
        const quint32 inChunk = U32(*stsc, 12 + 12 * entry);
        qint64 at = qint64(s->chunkOffsets[c - 1]);
        for (quint32 k = 0; k < inChunk && placed < count; ++k, ++placed) {
            s->positions << at;
            at += s->sizes[placed];
        }
        s->chunkCounts << int(inChunk);
    }
    if (placed != count) {
        *error = QStringLiteral("a chunk map does not match the samples");
        return false;
    }
    return true;
}

// The parts of an avcC record: the header, the sets, and what follows them.
struct AvcConfig {
    QByteArray header;  // version, profile, compatibility, level, length size
    QList<QByteArray> sps, pps;
    QByteArray rest;
};

std::optional<AvcConfig> ReadAvcConfig(const QByteArray& d)
{
    if (d.size() < 7)
        return std::nullopt;
    AvcConfig c;
    c.header = d.left(5);
    qsizetype at = 5;
    const auto sets = [&](int n, QList<QByteArray>* into) {
        for (int i = 0; i < n; ++i) {
            if (at + 2 > d.size())
                return false;
            const int length = (uchar(d.at(at)) << 8) | uchar(d.at(at + 1));
            if (at + 2 + length > d.size())
                return false;
            *into << d.mid(at + 2, length);
            at += 2 + length;
        }
        return true;
    };
    if (!sets(uchar(d.at(at++)) & 31, &c.sps) || at >= d.size() || !sets(uchar(d.at(at++)), &c.pps))
        return std::nullopt;
    c.rest = d.mid(at);
    return c;
}

QByteArray WriteAvcConfig(const AvcConfig& c)
{
    QByteArray out = c.header;
    out.append(char(0xE0 | c.sps.size()));
    for (const QByteArray& set : c.sps)
        out += char(set.size() >> 8) + QByteArray(1, char(set.size() & 0xFF)) + set;
    out.append(char(c.pps.size()));
    for (const QByteArray& set : c.pps)
        out += char(set.size() >> 8) + QByteArray(1, char(set.size() & 0xFF)) + set;
    return out + c.rest;
}

// The sample entry (stsd payload) whose configuration holds `config`.
struct Entry {
    QByteArray stsdHead, entryHead;  // up to the entry's boxes
    QList<Box> boxes;
    Box* avcC = nullptr;
};

std::optional<Entry> ReadEntry(const QByteArray& stsd)
{
    // Version and flags, the count (one), then the visual sample entry:
    // its header, 78 bytes of fields, its boxes.
    if (stsd.size() < 8 + 8 + 78 || U32(stsd, 4) != 1)
        return std::nullopt;
    const qsizetype size = U32(stsd, 8);
    if (size < 8 + 78 || 8 + size > stsd.size())
        return std::nullopt;
    Entry e;
    e.stsdHead = stsd.left(8);
    e.entryHead = stsd.mid(8, 8 + 78);
    if (!ParseBoxes(stsd, 8 + 8 + 78, 8 + size, &e.boxes))
        return std::nullopt;
    e.avcC = Child(e.boxes, "avcC");
    if (!e.avcC)
        return std::nullopt;
    return e;
}

QByteArray WriteEntry(const Entry& e)
{
    QByteArray boxes;
    for (const Box& box : e.boxes)
        boxes += Serialize(box);
    QByteArray entry = e.entryHead + boxes;
    qToBigEndian(quint32(entry.size()), reinterpret_cast<uchar*>(entry.data()));
    return e.stsdHead + entry;
}

// The body's configuration with the head's and the tail's sets added; an
// added set may not take an id the body's sets use with other contents.
std::optional<QByteArray> MergedConfig(const QByteArray& body, const QList<QByteArray>& others, QString* error)
{
    std::optional<AvcConfig> merged = ReadAvcConfig(body);
    if (!merged) {
        *error = QStringLiteral("the copied pictures' configuration cannot be read");
        return std::nullopt;
    }
    QSet<int> used = H264ParameterSetIds(merged->sps + merged->pps);
    for (const QByteArray& other : others) {
        const std::optional<AvcConfig> c = ReadAvcConfig(other);
        if (!c || c->header.at(4) != merged->header.at(4)) {
            *error = QStringLiteral("the re-encoded pictures' configuration does not fit the copied ones");
            return std::nullopt;
        }
        for (const auto& [sets, into] : {std::pair(c->sps, &merged->sps), std::pair(c->pps, &merged->pps)}) {
            for (const QByteArray& set : sets) {
                if (into->contains(set))
                    continue;
                const QSet<int> ids = H264ParameterSetIds({set});
                if (ids.intersects(used)) {
                    *error = QStringLiteral("a re-encoded parameter set takes an id the copied pictures use");
                    return std::nullopt;
                }
                *into << set;
            }
        }
        used.unite(H264ParameterSetIds(c->sps + c->pps));
    }
    if (merged->sps.size() > 31 || merged->pps.size() > 255) {
        *error = QStringLiteral("too many parameter sets");
        return std::nullopt;
    }
    return WriteAvcConfig(*merged);
}

// Runs of equal values, as the time tables write them.
QList<QPair<quint32, qint64>> Runs(const QVector<qint64>& values)
{
    QList<QPair<quint32, qint64>> runs;
    for (const qint64 v : values) {
        if (!runs.isEmpty() && runs.last().second == v)
            ++runs.last().first;
        else
            runs.append({1u, v});
    }
    return runs;
}

QByteArray FullBox(quint32 versionAndFlags, const QByteArray& body)
{
    QByteArray out;
    Put32(out, versionAndFlags);
    return out + body;
}

// An edit list that starts the track `offset` seconds after the file's
// start and shows `segment` movie ticks of it from media time `first`:
// whole movie ticks as an empty edit, the rest by starting that much
// before `first` where the media has room (a start after `first` would
// hide the first sample); a track without that room starts up to a movie
// tick early.
QByteArray EditList(double offset, qint64 movieScale, qint64 mediaScale, qint64 first, quint64 segment, quint64* total)
{
    const qint64 empty = qint64(std::floor(offset * double(movieScale) + 1e-9));
    const double rest = offset - double(empty) / double(movieScale);
    const qint64 media = std::max<qint64>(0, first - std::llround(rest * double(mediaScale)));
    QByteArray body;
    Put32(body, empty > 0 ? 2 : 1);
    if (empty > 0) {
        Put64(body, quint64(empty));
        Put64(body, quint64(-1));
        Put32(body, 0x10000);
    }
    Put64(body, segment);
    Put64(body, quint64(media));
    Put32(body, 0x10000);
    *total = quint64(std::max<qint64>(empty, 0)) + segment;
    return FullBox(0x01000000, body);
}

// The (segment, media time) of a track's last edit that shows media.
std::optional<QPair<quint64, qint64>> LastEdit(const QByteArray& elst)
{
    if (elst.size() < 8)
        return std::nullopt;
    const bool wide = elst.at(0) == 1;
    const quint32 n = U32(elst, 4);
    const qsizetype step = wide ? 20 : 12;
    if (elst.size() < 8 + step * qsizetype(n))
        return std::nullopt;
    std::optional<QPair<quint64, qint64>> last;
    for (quint32 i = 0; i < n; ++i) {
        const qsizetype at = 8 + step * i;
        const quint64 segment = wide ? U64(elst, at) : U32(elst, at);
        const qint64 media = wide ? qint64(U64(elst, at + 8)) : qint64(qint32(U32(elst, at + 4)));
        if (media >= 0)
            last = QPair<quint64, qint64>(segment, media);
    }
    return last;
}

// A file's top-level boxes: type, offset and size, without their payloads.
struct TopBox {
    QByteArray type;
    qint64 offset = 0, size = 0;
};

QList<TopBox> TopBoxes(QFile& file)
{
    QList<TopBox> boxes;
    const qint64 end = file.size();
    qint64 at = 0;
    while (at + 8 <= end && file.seek(at)) {
        const QByteArray header = file.read(16);
        if (header.size() < 8)
            break;
        qint64 size = U32(header, 0);
        if (size == 1 && header.size() == 16)
            size = qint64(U64(header, 8));
        else if (size == 0)
            size = end - at;
        if (size < 8 || at + size > end)
            break;
        boxes << TopBox{header.mid(4, 4), at, size};
        at += size;
    }
    return boxes;
}

// A small MP4 file's picture track, read whole.
bool ReadPart(const QString& path, Samples* s, QByteArray* data, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("a re-encoded part cannot be read");
        return false;
    }
    *data = file.readAll();
    QList<Box> top;
    if (!ParseBoxes(*data, 0, data->size(), &top) || !Child(top, "moov")) {
        *error = QStringLiteral("a re-encoded part is damaged");
        return false;
    }
    Box* moov = Child(top, "moov");
    for (Box& trak : moov->children) {
        if (trak.type == "trak" && HandlerOf(trak) == QLatin1String("vide"))
            return ReadSamples(trak, s, error);
    }
    *error = QStringLiteral("a re-encoded part holds no pictures");
    return false;
}


// The copy's output as the splice sees it: its index, parsed, with the
// picture and sound tracks in it, and the room at the front that holds it.
struct CopiedIndex {
    QList<Box> parsed;  // the index alone
    Box* picture = nullptr;
    Box* sound = nullptr;
    qint64 roomStart = 0, room = 0;
    Box& Moov() { return parsed.first(); }
};

bool ReadCopiedIndex(QFile& out, CopiedIndex* index, QString* error)
{
    // The boxes must cover the file, the index and free space in front of
    // the copied data (an encoder that found the room too small may have
    // written its index over the data).
    const QList<TopBox> top = TopBoxes(out);
    qsizetype at = -1;
    for (qsizetype i = 0; i < top.size(); ++i) {
        if (top[i].type == "moov")
            at = i;
    }
    if (at < 0 || top.last().offset + top.last().size != out.size()) {
        *error = QStringLiteral("the copied part's index is damaged");
        return false;
    }
    qsizetype next = at + 1;
    qint64 roomEnd = top[at].offset + top[at].size;
    for (; next < top.size() && (top[next].type == "free" || top[next].type == "skip" || top[next].type == "wide"); ++next)
        roomEnd = top[next].offset + top[next].size;
    if (next >= top.size() || top[next].type != "mdat") {
        *error = QStringLiteral("the copied part's index is not in front of its data");
        return false;
    }
    index->roomStart = top[at].offset;
    index->room = roomEnd - index->roomStart;
    const QByteArray bytes = out.seek(index->roomStart) ? out.read(top[at].size) : QByteArray();
    if (bytes.size() != top[at].size || !ParseBoxes(bytes, 0, bytes.size(), &index->parsed) || index->parsed.size() != 1) {
        *error = QStringLiteral("the copied part's index is damaged");
        return false;
    }
    for (Box& trak : index->Moov().children) {
        if (trak.type != "trak")
            continue;
        const QString handler = HandlerOf(trak);
        Box*& slot = handler == QLatin1String("vide") ? index->picture : index->sound;
        if ((handler != QLatin1String("vide") && handler != QLatin1String("soun")) || slot) {
            *error = QStringLiteral("the copied part holds other tracks than one picture and one sound");
            return false;
        }
        slot = &trak;
    }
    if (!index->picture) {
        *error = QStringLiteral("the copied part holds no pictures");
        return false;
    }
    return true;
}

// Every picture of the output, in decode order, with its times in the
// picture track's media clock.
struct Pictures {
    QVector<qint64> dts, cts, durations;
    QVector<quint32> sizes;
    QVector<bool> keys;
    int headCount = 0;
    qint64 delay = 0;  // the copied key frame's: decode time before presentation
};

// The body's key frame keeps its delay, the first picture is shown that
// delay after the track's media start, and the re-encoded pictures, which
// have no delay of their own, are decoded that much before they are shown,
// so that decode times keep rising across both seams.
std::optional<Pictures> PlacePictures(const Samples& head, const Samples& body, const Samples& tail,
                                      const Mp4SpliceRequest& r, QString* error)
{
    Pictures p;
    p.delay = body.cts.first() - body.dts.first();
    const auto add = [&](const Samples& part, qint64 shownAt, bool reencoded) {
        for (qsizetype i = 0; i < part.sizes.size(); ++i) {
            const qint64 c = shownAt + part.cts[i] - part.cts.first() - r.firstShown + p.delay;
            qint64 d = reencoded ? c - p.delay : c - (part.cts[i] - part.dts[i]);
            if (!p.dts.isEmpty())
                d = std::max(d, p.dts.last() + 1);
            p.cts << c;
            p.dts << d;
            p.sizes << part.sizes[i];
            p.keys << part.keys[i];
        }
    };
    add(head, r.firstShown, true);
    p.headCount = int(p.sizes.size());
    add(body, r.bodyShown, false);
    add(tail, r.tailShown, true);
    for (qsizetype i = 0; i < p.dts.size(); ++i) {
        if (p.dts[i] > p.cts[i] || (i > 0 && p.dts[i] <= p.dts[i - 1])) {
            *error = QStringLiteral("the pictures' decode times do not fit together");
            return std::nullopt;
        }
        if (i > 0)
            p.durations << p.dts[i] - p.dts[i - 1];
    }
    p.durations << (tail.sizes.isEmpty() ? body.lastDuration : tail.lastDuration);
    return p;
}

// A time table (stts, ctts) of the runs of `values`.
QByteArray TimeTable(const QVector<qint64>& values)
{
    const auto runs = Runs(values);
    QByteArray b;
    Put32(b, 0);
    Put32(b, quint32(runs.size()));
    for (const auto& [n, v] : runs) {
        Put32(b, n);
        Put32(b, quint32(v));
    }
    return b;
}

// The picture track's sample table: `entry`, the pictures, the copied ones
// in the body's chunks, the re-encoded ones at `at` (the head's, then
// `tailCount` pictures of the tail's, the last `tailBytes`).
Box PictureTable(const Pictures& p, const Entry& entry, const Samples& body, qsizetype tailCount, qint64 tailBytes,
                 qint64 reencodedBytes, quint64 at)
{
    QVector<quint64> chunkOffsets;
    QVector<int> chunkCounts;
    if (p.headCount > 0) {
        chunkOffsets << at;
        chunkCounts << p.headCount;
    }
    chunkOffsets += body.chunkOffsets;
    chunkCounts += body.chunkCounts;
    if (tailCount > 0) {
        chunkOffsets << at + quint64(reencodedBytes - tailBytes);
        chunkCounts << int(tailCount);
    }
    Box stbl;
    stbl.type = "stbl";
    stbl.container = true;
    stbl.children << Leaf("stsd", WriteEntry(entry)) << Leaf("stts", TimeTable(p.durations));
    QByteArray keys;
    Put32(keys, 0);
    Put32(keys, quint32(std::count(p.keys.begin(), p.keys.end(), true)));
    for (qsizetype i = 0; i < p.keys.size(); ++i) {
        if (p.keys[i])
            Put32(keys, quint32(i + 1));
    }
    stbl.children << Leaf("stss", keys);
    QVector<qint64> offsets;
    for (qsizetype i = 0; i < p.dts.size(); ++i)
        offsets << p.cts[i] - p.dts[i];
    if (std::any_of(offsets.begin(), offsets.end(), [](qint64 o) { return o != 0; }))
        stbl.children << Leaf("ctts", TimeTable(offsets));
    QByteArray map;
    QList<QPair<quint32, int>> runs;
    for (qsizetype c = 0; c < chunkCounts.size(); ++c) {
        if (runs.isEmpty() || runs.last().second != chunkCounts[c])
            runs.append({quint32(c + 1), chunkCounts[c]});
    }
    Put32(map, 0);
    Put32(map, quint32(runs.size()));
    for (const auto& [first, n] : runs) {
        Put32(map, first);
        Put32(map, quint32(n));
        Put32(map, 1);
    }
    stbl.children << Leaf("stsc", map);
    QByteArray sizes;
    Put32(sizes, 0);
    Put32(sizes, 0);
    Put32(sizes, quint32(p.sizes.size()));
    for (const quint32 size : p.sizes)
        Put32(sizes, size);
    stbl.children << Leaf("stsz", sizes);
    const bool wide = std::any_of(chunkOffsets.begin(), chunkOffsets.end(), [](quint64 o) { return o > 0xFFFFFFFFu; });
    QByteArray chunks;
    Put32(chunks, 0);
    Put32(chunks, quint32(chunkOffsets.size()));
    for (const quint64 o : chunkOffsets) {
        if (wide)
            Put64(chunks, o);
        else
            Put32(chunks, quint32(o));
    }
    stbl.children << Leaf(wide ? "co64" : "stco", chunks);
    return stbl;
}

// A track's edit list and durations: its header's (`total`, the edits
// with the empty one), its media's where given.
void SetTrackTimes(Box& trak, const QByteArray& edits, quint64 total, std::optional<quint64> mediaDuration)
{
    Box* edts = Child(trak.children, "edts");
    if (!edts) {
        // An edit list goes right after the track's header.
        Box fresh;
        fresh.type = "edts";
        fresh.container = true;
        qsizetype at = 0;
        while (at < trak.children.size() && trak.children[at].type != "tkhd")
            ++at;
        trak.children.insert(std::min(at + 1, trak.children.size()), fresh);
        edts = Child(trak.children, "edts");
    }
    edts->children = {Leaf("elst", edits)};
    if (Box* tkhd = Child(trak.children, "tkhd"))
        tkhd->payload = WithDuration(tkhd->payload, 28, 20, total);
    if (Box* mdhd = Find(trak, {"mdia", "mdhd"}); mdhd && mediaDuration)
        mdhd->payload = WithDuration(mdhd->payload, 24, 16, *mediaDuration);
}

// Durations and edit lists: the track that starts first starts the file,
// the other follows as much later as it starts in the input.
bool SetTimes(CopiedIndex& index, const Pictures& p, const Mp4SpliceRequest& r, QString* error)
{
    Box* mvhd = Child(index.Moov().children, "mvhd");
    const qint64 movieScale = mvhd ? TimescaleOf(mvhd->payload) : 0;
    if (movieScale <= 0) {
        *error = QStringLiteral("the copied part's index has no time scale");
        return false;
    }
    const double fileStart = std::min(r.pictureStart, r.soundStart.value_or(r.pictureStart));
    quint64 pictureTotal = 0, soundTotal = 0;
    const quint64 segment = quint64(std::llround(double(r.end - r.firstShown) * double(movieScale) / double(r.timescale)));
    SetTrackTimes(*index.picture, EditList(r.pictureStart - fileStart, movieScale, r.timescale, p.delay, segment, &pictureTotal),
                  pictureTotal, quint64(p.dts.last() + p.durations.last() - p.dts.first()));
    if (index.sound) {
        Box* elst = Find(*index.sound, {"edts", "elst"});
        Box* mdhd = Find(*index.sound, {"mdia", "mdhd"});
        const std::optional<QPair<quint64, qint64>> shown = elst ? LastEdit(elst->payload) : std::nullopt;
        if (!shown || !mdhd || !r.soundStart) {
            *error = QStringLiteral("the copied sound's edit list cannot be read");
            return false;
        }
        const QByteArray edits =
            EditList(*r.soundStart - fileStart, movieScale, TimescaleOf(mdhd->payload), shown->second, shown->first, &soundTotal);
        SetTrackTimes(*index.sound, edits, soundTotal, std::nullopt);
    }
    mvhd->payload = WithDuration(mvhd->payload, 24, 16, std::max(pictureTotal, soundTotal));
    return true;
}

QByteArray FreeBox(qint64 size)
{
    QByteArray b;
    Put32(b, quint32(size));
    return b + "free";
}

// Writes the index with the re-encoded pictures (`pictures`, a box) right
// behind it into the room at the front, the rest of the room free: every
// time's pictures then lie in the order they are read. Where the room is
// too small (pictures larger than it foresaw) they go after the end of the
// file, the index too where it does not fit alone. `indexFor` makes the
// index for the pictures at a place.
bool WriteSplice(QFile& out, const CopiedIndex& index, const QByteArray& pictures,
                 const std::function<QByteArray(quint64)>& indexFor)
{
    const qint64 room = index.room, fileEnd = out.size();
    const auto fits = [&](qint64 size) { return size == room || size + 8 <= room; };
    const auto intoRoom = [&](const QByteArray& front) {
        return out.seek(index.roomStart) && out.write(front) == front.size()
            && (front.size() == room || out.write(FreeBox(room - front.size())) == 8);
    };
    // The index's size does not hang on where the pictures lie.
    const qint64 indexSize = indexFor(quint64(index.roomStart)).size();
    if (fits(indexSize + pictures.size()))
        return intoRoom(indexFor(quint64(index.roomStart + indexSize + 8)) + pictures);
    const QByteArray front = indexFor(quint64(fileEnd + 8));
    if (!out.seek(fileEnd) || out.write(pictures) != pictures.size())
        return false;
    if (fits(front.size()))
        return intoRoom(front);
    return out.write(front) == front.size() && out.seek(index.roomStart) && out.write(FreeBox(room)) == 8;
}

}  // namespace

Mp4SpliceResult SpliceMp4(const Mp4SpliceRequest& r)
{
    Mp4SpliceResult result;
    QString& error = result.error;
    QFile out(r.output);
    if (!out.open(QIODevice::ReadWrite)) {
        error = QStringLiteral("the copied part cannot be opened: ") + out.errorString();
        return result;
    }
    CopiedIndex index;
    Samples body, head, tail;
    QByteArray headData, tailData;
    if (!ReadCopiedIndex(out, &index, &error) || !ReadSamples(*index.picture, &body, &error)
        || (!r.head.isEmpty() && !ReadPart(r.head, &head, &headData, &error))
        || (!r.tail.isEmpty() && !ReadPart(r.tail, &tail, &tailData, &error))) {
        return result;
    }
    if (body.sizes.isEmpty()) {
        error = QStringLiteral("the copied part holds no pictures");
        return result;
    }
    if (body.timescale != r.timescale || (!r.head.isEmpty() && head.timescale != r.timescale)
        || (!r.tail.isEmpty() && tail.timescale != r.timescale)) {
        error = QStringLiteral("the parts count time in different scales");
        return result;
    }
    const std::optional<Pictures> pictures = PlacePictures(head, body, tail, r, &error);
    if (!pictures)
        return result;

    // The re-encoded pictures' bytes, one after the other, in a box of their own.
    const auto bytesOf = [](const Samples& part, const QByteArray& data, QByteArray* into) {
        for (qsizetype i = 0; i < part.sizes.size(); ++i) {
            if (part.positions[i] < 0 || part.positions[i] + part.sizes[i] > data.size())
                return false;
            into->append(data.constData() + part.positions[i], part.sizes[i]);
        }
        return true;
    };
    QByteArray reencoded;
    if (!bytesOf(head, headData, &reencoded)) {
        error = QStringLiteral("a re-encoded part's pictures lie outside it");
        return result;
    }
    const qint64 headBytes = reencoded.size();
    if (!bytesOf(tail, tailData, &reencoded)) {
        error = QStringLiteral("a re-encoded part's pictures lie outside it");
        return result;
    }
    QByteArray reencodedBox;
    Put32(reencodedBox, quint32(8 + reencoded.size()));
    reencodedBox += "mdat" + reencoded;

    // The sample entry: the copied pictures' with the re-encoded parts' sets.
    std::optional<Entry> entry = ReadEntry(body.sampleEntries);
    if (!entry) {
        error = QStringLiteral("the copied pictures' sample entry cannot be read");
        return result;
    }
    QList<QByteArray> others;
    for (const Samples* part : {&head, &tail}) {
        if (part->sampleEntries.isEmpty())
            continue;
        const std::optional<Entry> e = ReadEntry(part->sampleEntries);
        if (!e) {
            error = QStringLiteral("a re-encoded part's sample entry cannot be read");
            return result;
        }
        others << e->avcC->payload;
    }
    const std::optional<QByteArray> config = MergedConfig(entry->avcC->payload, others, &error);
    if (!config || !SetTimes(index, *pictures, r, &error))
        return result;
    entry->avcC->payload = *config;

    const qint64 tailBytes = reencoded.size() - headBytes;
    const auto indexFor = [&](quint64 at) {
        *Find(*index.picture, {"mdia", "minf", "stbl"}) =
            PictureTable(*pictures, *entry, body, tail.sizes.size(), tailBytes, reencoded.size(), at);
        return Serialize(index.Moov());
    };
    if (!WriteSplice(out, index, reencodedBox, indexFor) || !out.flush()) {
        error = QStringLiteral("the output could not be written: ") + out.errorString();
        return result;
    }
    result.pictures = int(pictures->sizes.size());
    return result;
}

}  // namespace clip
