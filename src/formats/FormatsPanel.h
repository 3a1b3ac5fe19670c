#pragma once

#include "controls/MyFrame.h"
#include "formats/FormatChoice.h"

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;

namespace clip {

class MyButton;
class MyOption;

// The "Output Video Formats" panel: the choice between the preset route and
// the custom route, the preset lists (frFormat[0]) and the custom options
// (frFormat[1]), stacked at the same place so that only the one in front
// shows, and the panel's two buttons. This class only builds and lays out
// the controls; the logic that drives them lives with the window.
class FormatsPanel : public MyFrame {
    Q_OBJECT
public:
    explicit FormatsPanel(QWidget* parent = nullptr);

    // The fixed lists of the custom route, in the order shown.
    static const QStringList& ContainerItems();
    static const QStringList& SizeItems();
    static const QStringList& AspectItems();
    static const QStringList& SamplingRateItems();

    // The format the panel shows: the route in front and the texts of its
    // lists and boxes.
    FormatChoice Choice() const;
    // Shows `choice`: the route, then each list's item of that text (a
    // preset's category first, so that its cascade fills the other two) and
    // each box's text. False when a list has no such item (it keeps its own).
    bool Restore(const FormatChoice& choice);

    // The route: [0] "Presets", [1] "Custom (Advanced)". Both carry the object
    // name "optFormat" and their position in the dynamic property "Index".
    std::array<MyOption*, 2> optFormat{};
    // The two sub-panels: [0] the preset lists, [1] the custom options. Both
    // are named "frFormat" with the property "Index".
    std::array<MyFrame*, 2> frFormat{};

    // Preset route.
    QComboBox* cmbCategory = nullptr;
    QComboBox* cmbOutVCodec = nullptr;
    QComboBox* cmbOutFormat = nullptr;

    // Custom route.
    QComboBox* cmbCustContainer = nullptr;
    QGroupBox* grpVideoOptions = nullptr;
    QComboBox* cmbCVCodec = nullptr;
    QLineEdit* txtCVBitrate = nullptr;
    QComboBox* cmbCVSize = nullptr;
    QComboBox* cmbCVAspect = nullptr;
    QLineEdit* txtFrameRate = nullptr;
    QGroupBox* grpAudioOptions = nullptr;
    QComboBox* cmbCACodec = nullptr;
    QLineEdit* txtCABirate = nullptr;
    QComboBox* cmbCASmapleRate = nullptr;
    QLineEdit* txtChannels = nullptr;

    MyButton* cmdHide = nullptr;
    MyButton* cmdDefaults = nullptr;

private:
    void buildPresetPanel(MyFrame* panel);
    void buildCustomPanel(MyFrame* panel);
};

}  // namespace clip
