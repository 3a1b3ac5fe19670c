// Each video's list in the program's data folder: damaged, foreign and
// surplus files.
#include "segments/SegmentStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace clip {
namespace {

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

bool Age(const QString& path, int seconds)
{
    QFile file(path);
    return file.open(QIODevice::ReadWrite)
        && file.setFileTime(QDateTime::currentDateTime().addSecs(-seconds), QFileDevice::FileModificationTime);
}

// A list that is not sound (not JSON, someone else's, overlapping segments)
// is no list; beyond the limit the oldest lists go; an empty list forgets.
TEST(SegmentStore, UnsoundListsAreNoneAndTheOldestGoBeyondTheLimit)
{
    QTemporaryDir dir;
    QStringList videos;
    for (const char* name : {"a.mkv", "b.mkv", "c.mkv"})
        ASSERT_TRUE(Write(videos.emplace_back(dir.filePath(name)), name));
    const SegmentStore store(dir.filePath("lists"), 2);
    const SavedSegments saved{{{1, 2, "one"}, {3, 4.5, "two"}}, SegmentMode::CutOut, SegmentExport::OneFilePerSegment};
    ASSERT_TRUE(store.Save(videos[0], saved));
    ASSERT_EQ(store.Load(videos[0]), saved);

    QFile file(store.FileFor(videos[0]));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QJsonObject overlapping = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonArray segments = overlapping["segments"].toArray();
    segments.append(QJsonObject{{"start", 1.5}, {"end", 2.5}}), overlapping["segments"] = segments;
    for (const QByteArray& bytes : {QByteArray("{\"kind\":\"clipwright-seg"), QByteArray("{\"kind\":\"other\"}"),
                                    QByteArray("[]"), QJsonDocument(overlapping).toJson()}) {
        ASSERT_TRUE(Write(store.FileFor(videos[0]), bytes));
        EXPECT_FALSE(store.Load(videos[0])) << bytes.toStdString();
    }

    ASSERT_TRUE(store.Save(videos[0], saved) && Age(store.FileFor(videos[0]), 20));
    ASSERT_TRUE(store.Save(videos[1], saved) && Age(store.FileFor(videos[1]), 10));
    ASSERT_TRUE(store.Save(videos[2], saved));
    EXPECT_TRUE(!store.Load(videos[0]) && store.Load(videos[1]) && store.Load(videos[2]));
    EXPECT_TRUE(store.Save(videos[2], {}) && !QFile::exists(store.FileFor(videos[2])));
}

}  // namespace
}  // namespace clip
