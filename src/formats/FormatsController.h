#pragma once

#include <QObject>
#include <QString>

namespace clip {

class FormatsPanel;
struct Catalogues;

// The behaviour of the formats panel: the route choice, the preset cascades
// (category -> labels -> containers), the key filters of the four number
// boxes and the check made before the panel closes. The panel stays a plain
// view; the tables are read, never changed.
//
// Construct it before the catalogues are loaded into the panel's lists: the
// loaders select the first category, and that selection must already run
// the cascade.
class FormatsController : public QObject {
    Q_OBJECT
public:
    FormatsController(FormatsPanel& panel, const Catalogues& cat, QObject* parent = nullptr);

    // Rebuilds the label list (and the container list) for the category
    // `sCat`, then selects the first label and the first container.
    void SetCategory(const QString& sCat);
    // Rebuilds the container list for the category shown and the label
    // `sCodec`, then selects the first container.
    void SetVideoCodec(const QString& sCodec);

    // Brings the sub-panel of route `index` (0 presets, 1 custom) to the front.
    void optFormat_Click(int index);

    // The closing check of "Save && Close": the first empty box of channels,
    // frame rate, audio bitrate and video bitrate is reported (style 48) and
    // false returned; true when none is empty.
    bool CheckBeforeClose() const;

    FormatsPanel& panel() const { return m_panel; }

private:
    FormatsPanel& m_panel;
    const Catalogues& m_cat;
};

// The one-line summary of the chosen format, by the selected route:
//   Category:<category>, Codec:"<label>", Container:"<extension>"
//   Container:<container>, Video Codec:"<video>", Audio Codec:"<audio>"
QString FormatDescription(const FormatsPanel& panel);

}  // namespace clip
