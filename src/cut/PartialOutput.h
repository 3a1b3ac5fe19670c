#pragma once

#include <QLockFile>
#include <QString>

#include <memory>

namespace clip {

// The file an encoder job writes while it runs. It lies in the output folder
// under a hidden name (".clipwright-partial-<token>.<ext>": the container's
// extension stays last, since the encoder picks its muxer by it), beside an
// owner's lock (".clipwright-partial-<token>.lock") that this process holds
// while it lives, and a note of the reserved name (".target"). Only a checked result is moved onto its real name
// (Commit); otherwise the destructor removes it, so a stopped, failed or
// interrupted cut never leaves a half-written file under a name the user
// sees. A program killed outright leaves these files and a lock no living
// process holds: the next job into the same folder removes them, and the
// reserved name while it is still empty (RemoveAbandoned).
class PartialOutput {
public:
    static constexpr const char* kPrefix = ".clipwright-partial-";

    // Creates the hidden file for the output `finalPath` (in its folder, with
    // its extension). Null, with `error` set to the reason, when the folder
    // refuses new files.
    static std::unique_ptr<PartialOutput> Create(const QString& finalPath, QString* error);
    ~PartialOutput();
    PartialOutput(const PartialOutput&) = delete;
    PartialOutput& operator=(const PartialOutput&) = delete;

    // Where the encoder writes.
    QString path() const { return m_path; }
    // Gives the file its real name, replacing the empty file that kept the
    // name reserved. False, with `error` set, when the move fails (the file
    // is then removed with this object).
    bool Commit(QString* error);

    // Removes the file, its note and its lock now (the program is about to
    // end without unwinding); the object then holds nothing.
    void Discard();

    // Removes from `folder` the partial files (with their notes, locks and
    // still-empty reservations) whose owner is gone: a lock no living process holds. A partial file without a lock
    // may be another job's, just being made, and is left alone; so is one
    // whose lock belongs to another machine (a shared folder).
    static void RemoveAbandoned(const QString& folder);

private:
    PartialOutput(const QString& stem, const QString& path, const QString& finalPath,
                  std::unique_ptr<QLockFile> owner);

    QString m_stem;  // the folder and the name without its extension
    QString m_path;
    QString m_finalPath;
    std::unique_ptr<QLockFile> m_owner;
    bool m_committed = false;
};

}  // namespace clip
