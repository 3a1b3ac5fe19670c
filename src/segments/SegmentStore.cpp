#include "segments/SegmentStore.h"

#include "platform/TestingGuard.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace clip {

namespace {

const QString kKind = QStringLiteral("clipwright-segments");
constexpr int kVersion = 1;
// A list of thousands of segments stays far below this; anything larger is
// not one of ours and is not read into memory.
constexpr qint64 kLargestFile = 4 * 1024 * 1024;

QString& FolderOverride()
{
    static QString folder;
    return folder;
}

// What identifies a video file: its full path, its size and when it was
// last changed. Empty path when the file is not there.
struct VideoIdentity {
    QString path;
    qint64 size = -1;
    qint64 modified = 0;  // milliseconds since the epoch
};

VideoIdentity IdentityOf(const QString& videoPath)
{
    const QFileInfo info(videoPath);
    if (!info.isFile())
        return {};
    return {info.absoluteFilePath(), info.size(), info.lastModified().toMSecsSinceEpoch()};
}

QString ModeText(SegmentMode mode) { return mode == SegmentMode::Keep ? "keep" : "cut-out"; }
QString ExportText(SegmentExport how) { return how == SegmentExport::Join ? "join" : "one-file-per-segment"; }

}  // namespace

SegmentStore::SegmentStore(QString folder, int limit) : m_folder(std::move(folder)), m_limit(std::max(1, limit)) {}

QString SegmentStore::DefaultFolder()
{
    if (!FolderOverride().isEmpty() || platform::RunningUnderTests())
        return FolderOverride();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? QString() : QDir(data).filePath(QStringLiteral("segments"));
}

void SegmentStore::SetDefaultFolder(const QString& folder) { FolderOverride() = folder; }

QString SegmentStore::FileFor(const QString& videoPath) const
{
    if (m_folder.isEmpty())
        return {};
    const QByteArray key = QFileInfo(videoPath).absoluteFilePath().toUtf8();
    return QDir(m_folder).filePath(
        QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex()) + QStringLiteral(".json"));
}

bool SegmentStore::Save(const QString& videoPath, const SavedSegments& saved) const
{
    const QString file = FileFor(videoPath);
    const VideoIdentity video = IdentityOf(videoPath);
    if (file.isEmpty() || video.path.isEmpty())
        return false;
    if (saved.segments.empty())
        return !QFileInfo::exists(file) || QFile::remove(file);

    QJsonArray segments;
    for (const Segment& s : saved.segments)
        segments.append(QJsonObject{{"start", s.start}, {"end", s.end}, {"label", s.label}});
    const QJsonObject root{{"kind", kKind},
                           {"version", kVersion},
                           {"path", video.path},
                           {"size", video.size},
                           {"modified", video.modified},
                           {"mode", ModeText(saved.mode)},
                           {"export", ExportText(saved.exportAs)},
                           {"segments", segments}};
    if (!QDir().mkpath(m_folder))
        return false;
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly) || out.write(QJsonDocument(root).toJson(QJsonDocument::Compact)) < 0
        || !out.commit())
        return false;
    DropOldest();
    return true;
}

std::optional<SavedSegments> SegmentStore::Load(const QString& videoPath) const
{
    const QString path = FileFor(videoPath);
    const VideoIdentity video = IdentityOf(videoPath);
    QFile file(path);
    if (path.isEmpty() || video.path.isEmpty() || file.size() > kLargestFile || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    // Someone else's file, another version's, or one kept for this path
    // before the file was changed: nothing to restore.
    if (root.value("kind").toString() != kKind || root.value("version").toInt() != kVersion
        || root.value("path").toString() != video.path || root.value("size").toInteger(-1) != video.size
        || root.value("modified").toInteger(-1) != video.modified)
        return std::nullopt;

    SavedSegments saved;
    const QString mode = root.value("mode").toString();
    const QString how = root.value("export").toString();
    if ((mode != ModeText(SegmentMode::Keep) && mode != ModeText(SegmentMode::CutOut))
        || (how != ExportText(SegmentExport::Join) && how != ExportText(SegmentExport::OneFilePerSegment)))
        return std::nullopt;
    saved.mode = mode == ModeText(SegmentMode::Keep) ? SegmentMode::Keep : SegmentMode::CutOut;
    saved.exportAs = how == ExportText(SegmentExport::Join) ? SegmentExport::Join : SegmentExport::OneFilePerSegment;
    std::vector<Segment> segments;
    for (const QJsonValue& value : root.value("segments").toArray()) {
        const QJsonObject s = value.toObject();
        if (!s.value("start").isDouble() || !s.value("end").isDouble())
            return std::nullopt;
        segments.push_back({s.value("start").toDouble(), s.value("end").toDouble(), s.value("label").toString()});
    }
    // The list's own rules (times in order, none overlapping) hold for
    // whatever is restored.
    SegmentList list;
    QString error;
    if (segments.empty() || !list.Assign(segments, &error))
        return std::nullopt;
    saved.segments = list.segments();
    return saved;
}

void SegmentStore::DropOldest() const
{
    QFileInfoList lists = QDir(m_folder).entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Time);
    // Newest first: everything past the limit goes.
    for (qsizetype i = m_limit; i < lists.size(); ++i)
        QFile::remove(lists.at(i).absoluteFilePath());
}

}  // namespace clip
