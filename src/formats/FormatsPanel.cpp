#include "formats/FormatsPanel.h"

#include "controls/AccessibleText.h"
#include "controls/MyButton.h"
#include "controls/MyOption.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QStackedLayout>
#include <QVBoxLayout>

namespace clip {

namespace {

QLabel* Caption(const QString& text, const QString& name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

QComboBox* List(const QString& name, QWidget* parent, const QStringList& items = {})
{
    auto* combo = new QComboBox(parent);
    combo->setObjectName(name);
    combo->addItems(items);
    combo->setMaxVisibleItems(14);
    combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    combo->setMinimumContentsLength(5);
    return combo;
}

QLineEdit* TextBox(const QString& name, QWidget* parent)
{
    auto* edit = new QLineEdit(parent);
    edit->setObjectName(name);
    return edit;
}

// A row of the custom options: caption, the control, and an optional unit.
// The control is named by its caption and described by its group's title and
// its unit, since two groups hold captions alike ("Bitrate:").
void AddRow(QGridLayout* grid, int row, QLabel* caption, QWidget* field, QLabel* unit = nullptr)
{
    const auto* group = qobject_cast<QGroupBox*>(grid->parentWidget());
    QString description = group ? group->title() : QString();
    if (unit)
        description += QStringLiteral(", in ") + unit->text();
    LabelControl(caption, field, description);
    grid->addWidget(caption, row, 0);
    if (unit) {
        auto* pair = new QHBoxLayout;
        pair->setSpacing(6);
        pair->addWidget(field, 1);
        pair->addWidget(unit);
        grid->addLayout(pair, row, 1);
    } else {
        grid->addWidget(field, row, 1);
    }
}

}  // namespace

const QStringList& FormatsPanel::ContainerItems()
{
    static const QStringList items{QStringLiteral("WMV"), QStringLiteral("ASF"), QStringLiteral("AVI"),
                                   QStringLiteral("MOV"), QStringLiteral("FLV"), QStringLiteral("MPG"),
                                   QStringLiteral("MPEG"), QStringLiteral("MP4"), QStringLiteral("RM"),
                                   QStringLiteral("yuv")};
    return items;
}

const QStringList& FormatsPanel::SizeItems()
{
    // Four entries end in a blank; they are kept exactly so.
    static const QStringList items{
        QStringLiteral("[As Input]"),         QStringLiteral("sqcif(128x96)"),
        QStringLiteral("qcif(176x144)"),      QStringLiteral("cif(352x288)"),
        QStringLiteral("4cif(704x576)"),      QStringLiteral("qqvga(160x120)"),
        QStringLiteral("qvga(320x240)"),      QStringLiteral("vga(640x480)"),
        QStringLiteral("svga(800x600)"),      QStringLiteral("xga(1024x768)"),
        QStringLiteral("uxga(1600x1200)"),    QStringLiteral("qxga(2048x1536)"),
        QStringLiteral("sxga(1280x1024)"),    QStringLiteral("qsxga(2560x2048) "),
        QStringLiteral("hsxga(5120x4096)"),   QStringLiteral("wvga(852x480)"),
        QStringLiteral("wxga(1366x768) "),    QStringLiteral("wsxga(1600x1024)"),
        QStringLiteral("wuxga(1920x1200)"),   QStringLiteral("woxga(2560x1600)"),
        QStringLiteral("wqsxga(3200x2048) "), QStringLiteral("wquxga(3840x2400)"),
        QStringLiteral("whsxga(6400x4096)"),  QStringLiteral("whuxga(7680x4800)"),
        QStringLiteral("cga(320x200)"),       QStringLiteral("ega(640x350)"),
        QStringLiteral("hd480(852x480)"),     QStringLiteral("hd720(1280x720) "),
        QStringLiteral("hd1080(1920x1080)")};
    return items;
}

const QStringList& FormatsPanel::AspectItems()
{
    static const QStringList items{QStringLiteral("[As Input]"), QStringLiteral("4:3"), QStringLiteral("16:9"),
                                   QStringLiteral("1.3333"), QStringLiteral("1.7777")};
    return items;
}

const QStringList& FormatsPanel::SamplingRateItems()
{
    static const QStringList items{QStringLiteral("8 KHz"),  QStringLiteral("11.025 KHz"),
                                   QStringLiteral("12 KHz"), QStringLiteral("16 KHz"),
                                   QStringLiteral("22.05 KHz"), QStringLiteral("24 KHz"),
                                   QStringLiteral("32 KHz"), QStringLiteral("44.1 KHz"),
                                   QStringLiteral("48 KHz")};
    return items;
}

FormatsPanel::FormatsPanel(QWidget* parent) : MyFrame(QStringLiteral("Output Video Formats"), parent)
{
    setObjectName(QStringLiteral("frFormats"));

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(12, 8, 12, 10);
    outer->setSpacing(6);

    // The route choice.
    auto* routes = new QHBoxLayout;
    routes->setSpacing(18);
    const QStringList routeCaptions{QStringLiteral("Presets"), QStringLiteral("Custom (Advanced)")};
    for (int i = 0; i < 2; ++i) {
        optFormat[i] = new MyOption(routeCaptions[i], this);
        optFormat[i]->setObjectName(QStringLiteral("optFormat"));
        optFormat[i]->setProperty("Index", i);
        routes->addWidget(optFormat[i]);
    }
    optFormat[0]->setChecked(true);
    routes->addStretch(1);
    outer->addLayout(routes);

    // The two sub-panels share one place; the one raised last is in front.
    auto* stackHost = new QWidget(this);
    stackHost->setObjectName(QStringLiteral("frFormatHost"));
    auto* stack = new QStackedLayout(stackHost);
    stack->setStackingMode(QStackedLayout::StackAll);
    for (int i = 0; i < 2; ++i) {
        frFormat[i] = new MyFrame(QString(), stackHost);
        frFormat[i]->setObjectName(QStringLiteral("frFormat"));
        frFormat[i]->setProperty("Index", i);
        frFormat[i]->setCornerRadius(4);
        stack->addWidget(frFormat[i]);
    }
    buildPresetPanel(frFormat[0]);
    buildCustomPanel(frFormat[1]);
    frFormat[0]->raise();
    outer->addWidget(stackHost, 1);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addStretch(1);
    cmdDefaults = new MyButton(QStringLiteral("Restore Defaults"), this);
    cmdDefaults->setObjectName(QStringLiteral("cmdDefaults"));
    cmdHide = new MyButton(QStringLiteral("Save && Close"), this);
    cmdHide->setObjectName(QStringLiteral("cmdHide"));
    buttons->addWidget(cmdDefaults);
    buttons->addWidget(cmdHide);
    outer->addLayout(buttons);
}

void FormatsPanel::buildPresetPanel(MyFrame* panel)
{
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(16, 14, 16, 14);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(10);
    cmbCategory = List(QStringLiteral("cmbCategory"), panel);
    cmbOutVCodec = List(QStringLiteral("cmbOutVCodec"), panel);
    cmbOutFormat = List(QStringLiteral("cmbOutFormat"), panel);
    const QString presets = QStringLiteral("Preset formats");
    const struct {
        const char* caption;
        const char* name;
        QComboBox* list;
    } rows[] = {
        {"Output Category:", "lblCategory", cmbCategory},
        {"Output Video Codec:", "lblOutVCodec", cmbOutVCodec},
        {"Output File Format (Container):", "lblOutFormat", cmbOutFormat},
    };
    for (int row = 0; row < 3; ++row) {
        QLabel* caption = Caption(QString::fromLatin1(rows[row].caption), QString::fromLatin1(rows[row].name), panel);
        LabelControl(caption, rows[row].list, presets);
        grid->addWidget(caption, row, 0);
        grid->addWidget(rows[row].list, row, 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(3, 1);
}

void FormatsPanel::buildCustomPanel(MyFrame* panel)
{
    auto* column = new QVBoxLayout(panel);
    column->setContentsMargins(8, 6, 8, 8);
    column->setSpacing(4);

    auto* containerRow = new QHBoxLayout;
    containerRow->setSpacing(8);
    cmbCustContainer = List(QStringLiteral("cmbCustContainer"), panel, ContainerItems());
    cmbCustContainer->setMinimumContentsLength(6);
    QLabel* containerCaption =
        Caption(QStringLiteral("Output Format(Container):"), QStringLiteral("lblCustContainer"), panel);
    LabelControl(containerCaption, cmbCustContainer, QStringLiteral("Custom format"));
    containerRow->addWidget(containerCaption);
    containerRow->addWidget(cmbCustContainer);
    containerRow->addStretch(1);
    column->addLayout(containerRow);

    auto* groups = new QHBoxLayout;
    groups->setSpacing(8);

    grpVideoOptions = new QGroupBox(QStringLiteral("Output Video Options"), panel);
    grpVideoOptions->setObjectName(QStringLiteral("grpVideoOptions"));
    auto* video = new QGridLayout(grpVideoOptions);
    video->setContentsMargins(6, 4, 6, 6);
    video->setHorizontalSpacing(6);
    video->setVerticalSpacing(3);
    cmbCVCodec = List(QStringLiteral("cmbCVCodec"), grpVideoOptions);
    txtCVBitrate = TextBox(QStringLiteral("txtCVBitrate"), grpVideoOptions);
    cmbCVSize = List(QStringLiteral("cmbCVSize"), grpVideoOptions, SizeItems());
    cmbCVAspect = List(QStringLiteral("cmbCVAspect"), grpVideoOptions, AspectItems());
    txtFrameRate = TextBox(QStringLiteral("txtFrameRate"), grpVideoOptions);
    AddRow(video, 0, Caption(QStringLiteral("Output Video Codec:"), QStringLiteral("lblCVCodec"), grpVideoOptions),
           cmbCVCodec);
    AddRow(video, 1, Caption(QStringLiteral("Bitrate:"), QStringLiteral("lblCVBitrate"), grpVideoOptions),
           txtCVBitrate, Caption(QStringLiteral("kbps"), QStringLiteral("lblCVBitrateUnit"), grpVideoOptions));
    AddRow(video, 2, Caption(QStringLiteral("Video Size:"), QStringLiteral("lblCVSize"), grpVideoOptions),
           cmbCVSize);
    AddRow(video, 3, Caption(QStringLiteral("Aspect Ratio:"), QStringLiteral("lblCVAspect"), grpVideoOptions),
           cmbCVAspect);
    AddRow(video, 4, Caption(QStringLiteral("Frame rate:"), QStringLiteral("lblFrameRate"), grpVideoOptions),
           txtFrameRate, Caption(QStringLiteral("fps"), QStringLiteral("lblFrameRateUnit"), grpVideoOptions));
    video->setColumnStretch(1, 1);
    groups->addWidget(grpVideoOptions, 1);

    grpAudioOptions = new QGroupBox(QStringLiteral("Output Audio Options"), panel);
    grpAudioOptions->setObjectName(QStringLiteral("grpAudioOptions"));
    auto* audio = new QGridLayout(grpAudioOptions);
    audio->setContentsMargins(6, 4, 6, 6);
    audio->setHorizontalSpacing(6);
    audio->setVerticalSpacing(3);
    cmbCACodec = List(QStringLiteral("cmbCACodec"), grpAudioOptions);
    txtCABirate = TextBox(QStringLiteral("txtCABirate"), grpAudioOptions);
    cmbCASmapleRate = List(QStringLiteral("cmbCASmapleRate"), grpAudioOptions, SamplingRateItems());
    txtChannels = TextBox(QStringLiteral("txtChannels"), grpAudioOptions);
    AddRow(audio, 0, Caption(QStringLiteral("Output Audio Codec:"), QStringLiteral("lblCACodec"), grpAudioOptions),
           cmbCACodec);
    AddRow(audio, 1, Caption(QStringLiteral("Bitrate:"), QStringLiteral("lblCABitrate"), grpAudioOptions),
           txtCABirate, Caption(QStringLiteral("kbps"), QStringLiteral("lblCABitrateUnit"), grpAudioOptions));
    AddRow(audio, 2, Caption(QStringLiteral("Sampling Rate:"), QStringLiteral("lblCASampleRate"), grpAudioOptions),
           cmbCASmapleRate);
    AddRow(audio, 3, Caption(QStringLiteral("Channels:"), QStringLiteral("lblChannels"), grpAudioOptions),
           txtChannels);
    audio->setColumnStretch(1, 1);
    audio->setRowStretch(4, 1);
    groups->addWidget(grpAudioOptions, 1);

    column->addLayout(groups, 1);
}

FormatChoice FormatsPanel::Choice() const
{
    FormatChoice c;
    c.custom = !optFormat[0]->isChecked();
    c.category = cmbCategory->currentText();
    c.label = cmbOutVCodec->currentText();
    c.extension = cmbOutFormat->currentText();
    c.container = cmbCustContainer->currentText();
    c.videoCodec = cmbCVCodec->currentText();
    c.videoBitrate = txtCVBitrate->text();
    c.videoSize = cmbCVSize->currentText();
    c.aspect = cmbCVAspect->currentText();
    c.frameRate = txtFrameRate->text();
    c.audioCodec = cmbCACodec->currentText();
    c.audioBitrate = txtCABirate->text();
    c.samplingRate = cmbCASmapleRate->currentText();
    c.channels = txtChannels->text();
    return c;
}

bool FormatsPanel::Restore(const FormatChoice& choice)
{
    optFormat[choice.custom ? 1 : 0]->setChecked(true);
    bool found = true;
    const auto pick = [&found](QComboBox* list, const QString& text) {
        const int index = list->findText(text);
        if (index < 0)
            found = false;
        else if (list->currentIndex() != index)
            list->setCurrentIndex(index);
    };
    if (!choice.custom) {
        // Selected again even when shown: the cascade then refills the lists
        // below it from the tables as they are now.
        const int category = cmbCategory->findText(choice.category);
        if (category >= 0 && category == cmbCategory->currentIndex())
            cmbCategory->setCurrentIndex(-1);
        pick(cmbCategory, choice.category);
        pick(cmbOutVCodec, choice.label);
        pick(cmbOutFormat, choice.extension);
        return found;
    }
    pick(cmbCustContainer, choice.container);
    pick(cmbCVCodec, choice.videoCodec);
    pick(cmbCVSize, choice.videoSize);
    pick(cmbCVAspect, choice.aspect);
    pick(cmbCACodec, choice.audioCodec);
    pick(cmbCASmapleRate, choice.samplingRate);
    txtCVBitrate->setText(choice.videoBitrate);
    txtFrameRate->setText(choice.frameRate);
    txtCABirate->setText(choice.audioBitrate);
    txtChannels->setText(choice.channels);
    return found;
}

}  // namespace clip
