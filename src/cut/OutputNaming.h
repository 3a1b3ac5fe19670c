#pragma once

#include <QString>

#include <functional>

namespace clip {

// The highest number tried for a numbered output name ("<base>_<n>.<ext>").
inline constexpr int kLastOutputNumber = 10000;

// True when `path` names anything on disk: a file, a folder, or a link
// (a dangling one too, since writing through it would create its target).
bool OutputPathTaken(const QString& path);

enum class Reservation { Reserved, Taken, Failed };

// Creates `path` as a new empty file, failing when anything stands there
// already (exclusive creation: of two jobs asking at once only one gets it).
// Taken when the name is in use; Failed, with `error` set to the path and
// the system's reason, when the folder refuses new files.
Reservation ReserveOutputPath(const QString& path, QString* error);

// Makes sure `folder` is an existing folder, creating it when missing (one
// level: its parent must exist). False when the folder is not an absolute
// path, when something other than a folder stands at that path, or when it
// cannot be created.
bool EnsureOutputFolder(const QString& folder);

// Whether `folder`, chosen in the folder dialog, may take the outputs: only
// a fixed drive's (on Windows the drive of its root, such as "D:\\"; else
// the folder's own file system), asked through the host services.
bool IsOutputFolderDriveAccepted(const QString& folder);

// The longest file name `folder`'s file system takes (bytes of the encoded
// name; UTF-16 units on Windows).
qsizetype FileNameLimit(const QString& folder);

// The first free output path in `folder` for `baseName` and `extension`:
// "<base>.<ext>"; then, unless the base already ends in "_Converted",
// "<base>_Converted.<ext>"; then "<base>[_Converted]_0.<ext>" up to
// "_10000". Where a name would be longer than FileNameLimit, its base is
// shortened, by whole characters, to fit. `folder` gets a trailing native separator when it lacks one;
// the result uses native separators. `taken` decides whether a path is in
// use; `beforeNumbered` runs just before a numbered name is returned. Empty
// when every name is taken.
QString FirstFreeOutputName(const QString& folder, const QString& baseName, const QString& extension,
                            const std::function<bool(const QString&)>& taken,
                            const std::function<void()>& beforeNumbered = {});

// The first free path for the part numbered `part` of an export of one file
// per segment: "<base>_Converted_Part01.<ext>" (no second "_Converted" where
// the base ends in it), then "<base>_Converted_Part01_0.<ext>" up to
// "_10000", shortened to fit as FirstFreeOutputName's. Empty when every name
// is taken.
QString FirstFreePartName(const QString& folder, const QString& baseName, const QString& extension, int part,
                          const std::function<bool(const QString&)>& taken);

}  // namespace clip
