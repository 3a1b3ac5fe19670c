#pragma once

#include "segments/Segment.h"

#include <QString>

#include <optional>
#include <vector>

namespace clip {

// A video's segments as the user left them: the list (with labels), what
// they mean for the output and how the kept parts are written.
struct SavedSegments {
    std::vector<Segment> segments;
    SegmentMode mode = SegmentMode::Keep;
    SegmentExport exportAs = SegmentExport::Join;
    bool operator==(const SavedSegments&) const = default;
};

// Keeps each video's segments in the program's data folder (never beside the
// video), one small file per video, so that opening the same file again
// brings its list back. A video is the same when its path, size and
// modification time are; an edited or replaced file starts with no list.
// Files that are damaged, foreign or of another video are ignored; the
// folder holds at most `limit` lists, the oldest going first.
class SegmentStore {
public:
    static constexpr int kDefaultLimit = 500;

    // An empty folder keeps nothing and finds nothing.
    explicit SegmentStore(QString folder = DefaultFolder(), int limit = kDefaultLimit);

    // The folder the program keeps lists in: "segments" under the
    // application data location; under tests, the one SetDefaultFolder gave
    // (none unless a test gave one, so a test never touches the user's).
    static QString DefaultFolder();
    static void SetDefaultFolder(const QString& folder);

    QString folder() const { return m_folder; }

    // Keeps `saved` for the video at `videoPath` as one write (the previous
    // list stays intact if it fails); an empty list forgets the video's
    // list. False when it could not be written.
    bool Save(const QString& videoPath, const SavedSegments& saved) const;
    // The list kept for the video at `videoPath`, when the file is still the
    // one it was kept for and the list is sound.
    std::optional<SavedSegments> Load(const QString& videoPath) const;

    // The file that holds the list of the video at `videoPath`.
    QString FileFor(const QString& videoPath) const;

private:
    void DropOldest() const;

    QString m_folder;
    int m_limit;
};

}  // namespace clip
