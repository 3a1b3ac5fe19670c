#pragma once

// The user's persisted choices: the output-folder option and path and the
// whole output-format choice, one text value per control in one registry key,
// each value named after the control it restores.
//
// The procedures here know the values, their order, their defaults and the
// rules for reading them back; the controls themselves are reached through
// SettingsControls, which the window implements. That keeps this library free
// of widgets, and lets the rules be exercised without a window.

#include "settings/RegistryBackend.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace clip {

// The settings key: the machine-wide root and this section below it.
inline constexpr std::uint32_t kSettingsRoot = reg::kHKeyLocalMachine;
// Where the settings go when the machine-wide root refuses them, and where
// they are read first: on Windows the same section under the user's own root
// (a standard user may not write the machine-wide one). Elsewhere the
// machine-wide root already is the user's own hive: one place only.
#ifdef Q_OS_WIN
inline constexpr std::uint32_t kSettingsUserRoot = reg::kHKeyCurrentUser;
#else
inline constexpr std::uint32_t kSettingsUserRoot = kSettingsRoot;
#endif
QString SettingsSection();  // "Software\Norvane Clipwright\Settings"

// What a persisted value restores.
enum class SettingKind {
    FolderOption,  // "optOtherFolder", "optSameFolder": "True" / "False"
    Text,          // a text box, stored unchanged
    Route,         // "optFormat": the index of the chosen route option
    ListPosition,  // a list's current index, "-1" for no selection
};

struct SettingDefinition {
    QString name;  // the value's name, which is the control's name
    SettingKind kind;
    QString defaultText;
};

// The seventeen persisted values, in the order in which they are saved and
// loaded.
const std::vector<SettingDefinition>& PersistedSettings();

// The output folder used when none is stored: "C:\Cut Files" on Windows,
// elsewhere the user's videos folder + "/Cut Files", with native separators.
QString DefaultOutputFolder();

// "True" or "False".
QString BooleanText(bool value);

// A stored Boolean: "True" / "False" in any case, "1" / "0", or "-1" (the
// truth value of the language the stored values were first written by);
// surrounding blanks are ignored. Anything else is not a Boolean.
std::optional<bool> ParseStoredBoolean(const QString& text);

// A stored list position: a decimal integer that fits 16 bits and lies in
// -1 .. count - 1. Anything else is not a position of that list.
std::optional<int> ParseStoredPosition(const QString& text, int count);

// A stored route index: a decimal integer naming one of `routeCount` options.
std::optional<int> ParseStoredRoute(const QString& text, int routeCount);

// The window's controls, as the settings procedures see them. Names are the
// value names of PersistedSettings().
class SettingsControls {
public:
    virtual ~SettingsControls() = default;

    // "optOtherFolder" / "optSameFolder". The two behave as one pair of option
    // buttons of which exactly one is chosen: setting one to true chooses it,
    // setting the chosen one to false chooses the other. So the value set
    // last decides, whatever the pair held before.
    virtual bool folderOption(const QString& name) const = 0;
    virtual void setFolderOption(const QString& name, bool value) = 0;
    // Whether the output path box and its folder button can be used.
    virtual void setOutputFolderEnabled(bool enabled) = 0;

    // Text boxes, "txtOutPath" included.
    virtual QString text(const QString& name) const = 0;
    virtual void setText(const QString& name, const QString& text) = 0;

    // The route options ("optFormat"): the chosen index, how many there are,
    // choosing one, and bringing its sub-panel to the front.
    virtual int route() const = 0;
    virtual int routeCount() const = 0;
    virtual void setRoute(int index) = 0;
    virtual void showRoutePanel(int index) = 0;

    // Lists: the current index (-1 for none), the number of entries, and
    // selecting an entry as if the user had picked it (the list's selection
    // handlers run before this returns).
    virtual int listPosition(const QString& name) const = 0;
    virtual int listCount(const QString& name) const = 0;
    virtual void setListPosition(const QString& name, int position) = 0;

    // Rewrites the one-line summary of the chosen format.
    virtual void refreshDescription() = 0;

    // The window's size and place, kept beside the seventeen values under
    // kWindowGeometryName: the text to store (empty: nothing is stored), and
    // a stored text to apply. Controls without a window keep the defaults.
    virtual QString windowGeometry() const { return {}; }
    virtual void setWindowGeometry(const QString& text) { Q_UNUSED(text); }
};

// The value name of the window's size and place.
inline const QString kWindowGeometryName = QStringLiteral("WindowGeometry");

// Puts the stored values into the controls, in the order of
// PersistedSettings(), and ends with refreshDescription(). A value that is
// missing or cannot be read gives its default; a stored value that does not
// fit its control (not a Boolean, not a position of its list, no such route)
// leaves that control as it was, and the next value is loaded. Nothing is
// shown: the values are read from kSettingsUserRoot while it holds them,
// else from kSettingsRoot. The result says how the store stood (the worst condition seen
// before and after the reads), for the caller to tell the user. Works on the
// default registry backend unless one is given.
StoreReport LoadSettings(SettingsControls& controls, std::shared_ptr<RegistryBackend> backend = nullptr);

// Writes all seventeen values, whatever they hold, and the window's
// geometry when the controls give one, as one change of the
// store (one lock, one write), under kSettingsUserRoot where kSettingsRoot
// refuses them. The store's status: reg::kSuccess when
// written; otherwise nothing was written.
RegStatus SaveSettings(const SettingsControls& controls, std::shared_ptr<RegistryBackend> backend = nullptr);

// "Restore Defaults": deletes the whole settings key under both roots (a
// failure is ignored)
// and loads again, so that every control gets its default. The defaults
// reach the registry at the next save. The result is LoadSettings' own.
StoreReport RestoreDefaultSettings(SettingsControls& controls, std::shared_ptr<RegistryBackend> backend = nullptr);

}  // namespace clip
