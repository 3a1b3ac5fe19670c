#pragma once

#include <QRect>
#include <QString>

#include <optional>

namespace clip {

// A window's size and place as kept with the settings: "x,y,width,height",
// and ",max" when maximized.
struct WindowPlacement {
    QRect rect;
    bool maximized = false;

    QString Text() const;
    // None for a text that does not fit the form.
    static std::optional<WindowPlacement> FromText(const QString& text);
};

}  // namespace clip
