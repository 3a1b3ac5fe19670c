#pragma once

#include <QString>
#include <QVector>

class QComboBox;

namespace clip {

// One named encoder preset of presets.xml.
struct PresetEntry {
    QString Label;      // shown in the preset codec list
    QString Params;     // encoder options, used verbatim
    QString Extension;  // output container and file extension
    QString Category;   // group shown in the category list
    // How the cut is made: empty for the encoder run with Params; "smart"
    // for a smart cut (re-encoded only up to the first key frame, and after
    // the last one where needed, the rest copied; engine/SmartCutJob.h).
    // Optional: read from an element after the four fields, which older
    // readers pass over as the record's closing line.
    QString CutMode;
};

// The CutMode of a smart cut.
inline constexpr const char* kSmartCutMode = "smart";

// One codec of codecs.xml.
struct CodecEntry {
    QString Name;         // the encoder's name, written after -vcodec / -acodec
    QString Description;  // shown in the custom codec lists
    QString Type;         // "video codec", "audio codec" or "general" (both lists)
};

// The two catalogue tables. The main window owns one for its whole life; the
// loaders fill it once at start-up. Entries 0 .. PresetCount - 1 (and
// 0 .. CodecCount - 1) are the valid ones after a successful load; a failed
// load leaves what it had read in the vectors without the final count.
struct Catalogues {
    QVector<PresetEntry> Presets;
    int PresetCount = 0;
    QVector<CodecEntry> Codecs;
    int CodecCount = 0;
};

// Catalogue file names, looked up by LocateDataFile (the program folder first). The loaders
// below need real lists (never null); signals of a list are held back while
// it is filled, so handlers only see the final selection.
inline constexpr const char* kPresetsFileName = "presets.xml";
inline constexpr const char* kCodecsFileName = "codecs.xml";

// Read presets.xml into `cat.Presets` / `cat.PresetCount` (codecs.xml into
// `cat.Codecs` / `cat.CodecCount`) without filling any list. False when the
// load failed: the failure, "Error Occured while Loading Presets." (or
// "... Codecs.") and its cause, has been shown through the host (style 0),
// and the counts stay as they were.
bool ReadPresets(Catalogues& cat);
bool ReadCodecs(Catalogues& cat);

enum class CatalogueKind { Presets, Codecs };
// Shows a catalogue's failure text with `cause` through the host (style 0).
void ReportCatalogueFailure(CatalogueKind kind, const QString& cause);

// Reads presets.xml into `cat.Presets` / `cat.PresetCount`, appends every
// distinct category to `cmbCategory` (which is not cleared first) in order of
// first appearance, then selects its first item; that selection emits one
// currentIndexChanged, which runs the category cascade of the formats panel.
// A failure shows "Error Occured while Loading Presets." and the cause
// (style 0) and leaves the list untouched.
void LoadPresets(Catalogues& cat, QComboBox* cmbCategory);

// Reads codecs.xml into `cat.Codecs` / `cat.CodecCount`, clears both lists and
// fills them by type ("general" codecs go into both), then selects the first
// item of `cmbCVCodec` and then of `cmbCACodec`, each selection emitting one
// currentIndexChanged. A failure shows "Error Occured while Loading Codecs."
// and the cause (style 0).
void LoadCodecs(Catalogues& cat, QComboBox* cmbCVCodec, QComboBox* cmbCACodec);

// The first valid preset of `cat` with this category, label and extension;
// null when none matches.
const PresetEntry* FindPreset(const Catalogues& cat, const QString& category, const QString& label,
                              const QString& extension);

// The encoder name of the first codec whose description equals `description`
// exactly, with surrounding spaces removed; empty when none matches.
QString GetCodecName(const Catalogues& cat, const QString& description);

}  // namespace clip
