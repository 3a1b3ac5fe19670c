#pragma once

#include "settings/Settings.h"

#include <QString>

namespace clip {

// The settings over a run of the program: loads, restores the defaults and
// saves through the controls, and tells the user what went wrong with the
// file, each trouble once (through the host services).
class SettingsKeeper {
public:
    // How a failed save reaches the user: a box (at most once until a save
    // succeeds again), or only the log, for the moments when nobody may be
    // there to close a box (session end, before a power-off).
    enum class Failure { Tell, LogOnly };

    void Load(SettingsControls& controls) { Note(LoadSettings(controls)); }
    void RestoreDefaults(SettingsControls& controls) { Note(RestoreDefaultSettings(controls)); }
    // Saves every setting as one write; refused when the file could not be
    // read at the last load (its content would be replaced by defaults).
    // True when saved.
    bool Save(const SettingsControls& controls, Failure onFailure);

private:
    void Note(const StoreReport& report);

    QString m_location;           // the settings file, for messages
    bool m_unreadable = false;    // the file was there but unreadable at the last load
    bool m_resetTold = false;     // the "reset to defaults" box was shown
    bool m_failureTold = false;   // a save failure was shown and no save succeeded since
};

}  // namespace clip
