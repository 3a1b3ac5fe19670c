#include "settings/SettingsKeeper.h"

#include "common/HostServices.h"

namespace clip {

void SettingsKeeper::Note(const StoreReport& report)
{
    m_location = QString::fromStdString(report.location);
    m_unreadable = report.condition == StoreCondition::Unreadable;
    if (report.condition == StoreCondition::Damaged && !m_resetTold) {
        m_resetTold = true;
        Host().messageBox(QStringLiteral("The settings could not be read and were reset to their defaults.\n\n"
                                         "The settings file %1 is damaged. Before the settings are next saved, "
                                         "it is kept as %1.damaged-<date>.")
                              .arg(m_location),
                          MsgExclamation);
    }
}

bool SettingsKeeper::Save(const SettingsControls& controls, Failure onFailure)
{
    QString reason;
    if (m_unreadable) {
        reason = QStringLiteral("The settings file could not be read when Clipwright started. It is left as it "
                                "is, so that the settings it holds are not replaced by the defaults.");
    } else {
        const RegStatus status = SaveSettings(controls);
        if (status == reg::kSuccess) {
            m_failureTold = false;
            return true;
        }
        reason = status == reg::kLockViolation
                     ? QStringLiteral("The settings file is locked by another program.")
                     : QStringLiteral("The settings file or its folder cannot be written.");
    }
    QString text = QStringLiteral("The settings could not be saved.\n\n") + reason;
    if (!m_location.isEmpty())
        text += QStringLiteral("\n\nSettings file: ") + m_location;
    if (onFailure == Failure::Tell && !m_failureTold) {
        m_failureTold = true;
        Host().messageBox(text, MsgExclamation);
    } else {
        qWarning("%s", qPrintable(text));
    }
    return false;
}

}  // namespace clip
