#include "engine/ParameterSets.h"

#include <QFile>

#include <optional>

namespace clip {

namespace {

bool StartsWithStartCode(const QByteArray& data)
{
    return data.startsWith(QByteArray("\0\0\1", 3)) || data.startsWith(QByteArray("\0\0\0\1", 4));
}

quint32 BigEndian(const QByteArray& data, qsizetype at, int bytes)
{
    quint32 value = 0;
    for (int i = 0; i < bytes; ++i)
        value = (value << 8) | quint8(data[at + i]);
    return value;
}

// The units of a configuration record: after the record's own header, lists
// of units each with a two-byte length.
QList<QByteArray> RecordUnits(const QByteArray& data, bool hevc)
{
    QList<QByteArray> units;
    qsizetype at = 0;
    const auto take = [&]() {
        if (at + 2 > data.size())
            return false;
        const qsizetype length = BigEndian(data, at, 2);
        if (at + 2 + length > data.size())
            return false;
        units << data.mid(at + 2, length);
        at += 2 + length;
        return true;
    };
    if (hevc) {
        if (data.size() < 23)
            return {};
        const int arrays = quint8(data[22]);
        at = 23;
        for (int a = 0; a < arrays; ++a) {
            if (at + 3 > data.size())
                return units;
            const int count = int(BigEndian(data, at + 1, 2));
            at += 3;
            for (int n = 0; n < count; ++n) {
                if (!take())
                    return units;
            }
        }
        return units;
    }
    if (data.size() < 6)
        return {};
    const int sps = quint8(data[5]) & 0x1f;
    at = 6;
    for (int n = 0; n < sps; ++n) {
        if (!take())
            return units;
    }
    if (at >= data.size())
        return units;
    const int pps = quint8(data[at++]);
    for (int n = 0; n < pps; ++n) {
        if (!take())
            return units;
    }
    return units;
}

// Reads Exp-Golomb codes from a unit's payload, emulation prevention bytes removed.
class BitReader {
public:
    BitReader(const QByteArray& unit, int headerBytes)
    {
        for (qsizetype i = headerBytes, zeros = 0; i < unit.size(); ++i) {
            if (zeros >= 2 && quint8(unit[i]) == 3) {
                zeros = 0;
                continue;
            }
            zeros = unit[i] == 0 ? zeros + 1 : 0;
            m_bytes += unit[i];
        }
    }
    std::optional<quint32> Bits(int n)
    {
        quint32 value = 0;
        for (int i = 0; i < n; ++i, ++m_bit) {
            if (m_bit / 8 >= m_bytes.size())
                return std::nullopt;
            value = (value << 1) | ((quint8(m_bytes[m_bit / 8]) >> (7 - m_bit % 8)) & 1);
        }
        return value;
    }
    std::optional<quint32> UnsignedGolomb()
    {
        int zeros = 0;
        for (;;) {
            const std::optional<quint32> bit = Bits(1);
            if (!bit || zeros > 31)
                return std::nullopt;
            if (*bit)
                break;
            ++zeros;
        }
        const std::optional<quint32> rest = Bits(zeros);
        if (!rest)
            return std::nullopt;
        return (quint32(1) << zeros) - 1 + *rest;
    }

private:
    QByteArray m_bytes;
    qsizetype m_bit = 0;
};

}  // namespace

QList<QByteArray> NalUnits(const QByteArray& data, bool hevc)
{
    QList<QByteArray> units;
    if (StartsWithStartCode(data)) {
        qsizetype begin = -1;
        for (qsizetype i = 0; i + 2 < data.size(); ++i) {
            if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
                if (begin >= 0) {
                    qsizetype end = i;
                    while (end > begin && data[end - 1] == 0)
                        --end;  // the leading zero of a four-byte start code
                    units << data.mid(begin, end - begin);
                }
                begin = i + 3;
                i += 2;
            }
        }
        if (begin >= 0 && begin < data.size())
            units << data.mid(begin);
        return units;
    }
    if (!data.isEmpty() && data[0] == 1)
        return RecordUnits(data, hevc);
    for (qsizetype i = 0; i + 4 <= data.size();) {
        const qsizetype length = BigEndian(data, i, 4);
        if (length == 0 || i + 4 + length > data.size())
            break;
        units << data.mid(i + 4, length);
        i += 4 + length;
    }
    return units;
}

int NalType(const QByteArray& unit, bool hevc)
{
    if (unit.isEmpty())
        return -1;
    return hevc ? (quint8(unit[0]) >> 1) & 0x3f : quint8(unit[0]) & 0x1f;
}

bool StartsWithH264Idr(const QList<QByteArray>& units)
{
    for (const QByteArray& unit : units) {
        const int type = NalType(unit, false);
        if (type >= 1 && type <= 5)
            return type == 5;
    }
    return false;
}

QSet<int> H264ParameterSetIds(const QList<QByteArray>& units)
{
    QSet<int> ids;
    for (const QByteArray& unit : units) {
        const int type = NalType(unit, false);
        if (type != 7 && type != 8)
            continue;
        // A sequence set's id follows its profile, constraint flags and level;
        // a picture set's comes first.
        BitReader bits(unit, type == 7 ? 4 : 1);
        if (const std::optional<quint32> id = bits.UnsignedGolomb(); id && *id < 256)
            ids.insert(int(*id));
    }
    return ids;
}

int FreeParameterSetId(const QSet<int>& used)
{
    for (int id = 0; id < 32; ++id) {
        if (!used.contains(id))
            return id;
    }
    return -1;
}

bool StartTransportStreamWithNewSequence(const QString& path, QString* error)
{
    constexpr qsizetype kPacket = 188;
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite)) {
        *error = file.errorString();
        return false;
    }
    // The payload bytes of the first video PES, with the file offset of each,
    // up to its first picture unit's header.
    QByteArray payload;
    QList<qint64> offsets;
    int videoPid = -1;
    bool inPes = false;
    qsizetype scanned = 0;
    for (qint64 at = 0; at + kPacket <= file.size() && payload.size() < (1 << 20); at += kPacket) {
        file.seek(at);
        const QByteArray packet = file.read(kPacket);
        if (packet.size() != kPacket || quint8(packet[0]) != 0x47)
            break;
        const int pid = ((quint8(packet[1]) & 0x1f) << 8) | quint8(packet[2]);
        const bool unitStart = quint8(packet[1]) & 0x40;
        const int control = (quint8(packet[3]) >> 4) & 3;
        qsizetype from = 4;
        if (control == 2 || control == 0)
            continue;  // no payload
        if (control == 3)
            from += 1 + quint8(packet[4]);
        if (from >= kPacket)
            continue;
        const QByteArray data = packet.mid(from);
        if (videoPid < 0 && unitStart && data.size() > 9 && data.startsWith(QByteArray("\0\0\1", 3))
            && (quint8(data[3]) & 0xf0) == 0xe0) {
            videoPid = pid;
            inPes = true;
            const qsizetype header = 9 + quint8(data[8]);
            for (qsizetype i = header; i < data.size(); ++i) {
                payload += data[i];
                offsets << at + from + i;
            }
        } else if (pid == videoPid && inPes) {
            if (unitStart)
                break;  // the next PES: the first one holds the first picture
            for (qsizetype i = 0; i < data.size(); ++i) {
                payload += data[i];
                offsets << at + from + i;
            }
        }
        // The first picture unit's header, once it is in.
        for (qsizetype i = scanned; i + 3 < payload.size(); scanned = ++i) {
            if (payload[i] == 0 && payload[i + 1] == 0 && payload[i + 2] == 1) {
                const int type = (quint8(payload[i + 3]) >> 1) & 0x3f;
                if (type > 31)
                    continue;  // parameter sets, delimiters, SEI
                if (type != 21)
                    return true;
                const char broken = char((16 << 1) | (quint8(payload[i + 3]) & 0x81));
                if (!file.seek(offsets[i + 3]) || file.write(&broken, 1) != 1 || !file.flush()) {
                    *error = file.errorString();
                    return false;
                }
                return true;
            }
        }
    }
    return true;
}

}  // namespace clip
