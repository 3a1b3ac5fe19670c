#pragma once

#include "settings/Settings.h"

namespace clip {

class frmMain;

// The window's persisted controls as the settings procedures see them: the
// two folder options, the output path and its button, the route options and
// sub-panels, the nine lists and the four number boxes of the formats panel,
// and the format summary.
class frmMainSettingsControls final : public SettingsControls {
public:
    explicit frmMainSettingsControls(frmMain& window) : w(window) {}

    bool folderOption(const QString& name) const override;
    void setFolderOption(const QString& name, bool value) override;
    void setOutputFolderEnabled(bool enabled) override;
    QString text(const QString& name) const override;
    void setText(const QString& name, const QString& text) override;
    int route() const override;
    int routeCount() const override;
    void setRoute(int index) override;
    void showRoutePanel(int index) override;
    int listPosition(const QString& name) const override;
    int listCount(const QString& name) const override;
    void setListPosition(const QString& name, int position) override;
    void refreshDescription() override;
    QString windowGeometry() const override;
    void setWindowGeometry(const QString& text) override;

private:
    frmMain& w;
};

}  // namespace clip
