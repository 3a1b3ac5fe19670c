// Construction and layout of the main window's controls.
#include "mainwindow/frmMain.h"
#include "mainwindow/SegmentPanel.h"
#include "preview/VideoSession.h"

#include "common/Twips.h"
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"
#include "formats/FormatsPanel.h"
#include "player/PlaybackEngine.h"
#include "player/VideoPane.h"
#include "slider/KeyFrameTicks.h"
#include "slider/Slider.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QResizeEvent>
#include <QLineEdit>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace clip {

namespace {

QLabel* MakeLabel(const QString& text, const QString& name, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    return label;
}

MyButton* MakeButton(const QString& caption, const QString& name, QWidget* parent)
{
    auto* button = new MyButton(caption, parent);
    button->setObjectName(name);
    return button;
}

QLabel* StepHeading(const QString& number, const QString& text, const QString& name, QWidget* parent)
{
    auto* label = MakeLabel(QStringLiteral("%1  %2").arg(number, text), name, parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

QLabel* MakeLink(const QString& text, const QString& name, QWidget* parent)
{
    auto* label = MakeLabel(text, name, parent);
    QFont f = label->font();
    f.setUnderline(true);
    label->setFont(f);
    QPalette pal = label->palette();
    pal.setColor(QPalette::WindowText, QColor(0x12, 0x3C, 0xC8));
    label->setPalette(pal);
    label->setCursor(Qt::PointingHandCursor);
    return label;
}

}  // namespace

frmMain::frmMain(QWidget* parent) : QWidget(parent, Qt::Window | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("Clipwright"));

    buildMainPanel();
    frFormats = new FormatsPanel(this);
    buildAboutPanel();
    SetAccessibleTexts();

    tmrAnimate = new QTimer(this);
    tmrAnimate->setObjectName(QStringLiteral("tmrAnimate"));
    tmrAnimate->setInterval(10);
    tmrVideo = new QTimer(this);
    tmrVideo->setObjectName(QStringLiteral("tmrVideo"));
    tmrVideo->setInterval(1000);

    connectHandlers();
    connectFormatsHandlers();
    connectSettingsHandlers();
    m_session = new VideoSession(this);
    connectPreviewHandlers();
    connectCutJobHandlers();
    connectSegmentHandlers();
    Form_Load();
}

frmMain::~frmMain()
{
    // The engine goes before the pane that shows it.
    delete m_session;
}

void frmMain::buildMainPanel()
{
    frMain = new MyFrame(QStringLiteral("Clipwright "), this);
    frMain->setObjectName(QStringLiteral("frMain"));
    frMain->setCornerRadius(0);
    frMain->installEventFilter(this);
    frMain->setMouseTracking(true);  // the resize cursor along the edges

    auto* outer = new QVBoxLayout(frMain);
    outer->setContentsMargins(10, 8, 10, 10);

    MyFrame1 = new MyFrame(QStringLiteral("Three Easy Steps to cut your video files"), frMain);
    MyFrame1->setObjectName(QStringLiteral("MyFrame1"));
    outer->addWidget(MyFrame1);

    auto* steps = new QGridLayout(MyFrame1);
    steps->setContentsMargins(12, 10, 12, 12);
    steps->setHorizontalSpacing(14);
    steps->setVerticalSpacing(6);

    // Step 1: the video, its timeline and the selection.
    auto* left = new QVBoxLayout;
    left->setSpacing(6);
    left->addWidget(StepHeading(QStringLiteral("1"), QStringLiteral("Load your video and mark the part to keep"),
                                QStringLiteral("lblStep1"), MyFrame1));
    MyFrame3 = new MyFrame(QString(), MyFrame1);
    MyFrame3->setObjectName(QStringLiteral("MyFrame3"));
    left->addWidget(MyFrame3, 1);

    auto* video = new QVBoxLayout(MyFrame3);
    video->setContentsMargins(10, 10, 10, 10);
    video->setSpacing(6);

    picVideoWindow = new VideoPane(MyFrame3);
    picVideoWindow->setObjectName(QStringLiteral("picVideoWindow"));
    // The design size; the pane takes what the window grows by (resizeEvent).
    picVideoWindow->setFixedSize(TwipsToPixelsX(kVideoWidthTwips), TwipsToPixelsY(kVideoHeightTwips));
    video->addWidget(picVideoWindow, 0, Qt::AlignHCenter);

    Slider = new clip::Slider(MyFrame3);
    Slider->setObjectName(QStringLiteral("Slider"));
    // Value 0, Min 0, Max 1000000, and the control's own Enabled off.
    Slider->readProperties(clip::Slider::windowInstanceProperties());
    // The key frames as thin ticks right under the groove.
    KeyFrameMarks = new KeyFrameTicks(Slider, MyFrame3);
    KeyFrameMarks->setObjectName(QStringLiteral("KeyFrameMarks"));
    auto* timeline = new QVBoxLayout;
    timeline->setSpacing(0);
    timeline->addWidget(Slider);
    timeline->addWidget(KeyFrameMarks);
    video->addLayout(timeline);

    lblTime = MakeLabel(QStringLiteral("00:00.00/00:00.00"), QStringLiteral("lblTime"), MyFrame3);
    lblTime->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    video->addWidget(lblTime);
    video->addStretch(1);
    video->addSpacing(6);

    auto* playRow = new QHBoxLayout;
    playRow->setSpacing(6);
    cmdAddVideoFile = MakeButton(QStringLiteral("Load Video File ..."), QStringLiteral("cmdAddVideoFile"), MyFrame3);
    cmdPlay = MakeButton(QStringLiteral("Play"), QStringLiteral("cmdPlay"), MyFrame3);
    cmdStop = MakeButton(QStringLiteral("Stop"), QStringLiteral("cmdStop"), MyFrame3);
    cmdPlay->setMinimumWidth(cmdPlay->fontMetrics().horizontalAdvance(QStringLiteral("Pause")) + 36);
    cmdStop->setMinimumWidth(cmdPlay->minimumWidth());
    playRow->addWidget(cmdAddVideoFile);
    playRow->addStretch(1);
    playRow->addWidget(cmdPlay);
    playRow->addWidget(cmdStop);
    video->addLayout(playRow);
    video->addSpacing(4);

    // The selection buttons, each mark shown under its button.
    auto* selectRow = new QGridLayout;
    selectRow->setHorizontalSpacing(6);
    selectRow->setVerticalSpacing(2);
    cmdStartSelect = MakeButton(QStringLiteral("Start Selection "), QStringLiteral("cmdStartSelect"), MyFrame3);
    cmdEndSelect = MakeButton(QStringLiteral("End Selection"), QStringLiteral("cmdEndSelect"), MyFrame3);
    cmdDeleteSelect = MakeButton(QStringLiteral("Reset Selection"), QStringLiteral("cmdDeleteSelect"), MyFrame3);
    lblStartSelect = MakeLabel(QStringLiteral("00:00:00"), QStringLiteral("lblStartSelect"), MyFrame3);
    lblEndSelect = MakeLabel(QStringLiteral("00:00:00"), QStringLiteral("lblEndSelect"), MyFrame3);
    lblStartSelect->setAlignment(Qt::AlignCenter);
    lblEndSelect->setAlignment(Qt::AlignCenter);
    selectRow->addWidget(cmdStartSelect, 0, 0);
    selectRow->addWidget(cmdEndSelect, 0, 1);
    selectRow->addWidget(cmdDeleteSelect, 0, 2);
    selectRow->addWidget(lblStartSelect, 1, 0);
    selectRow->addWidget(lblEndSelect, 1, 1);
    video->addLayout(selectRow);
    video->addStretch(1);

    steps->addLayout(left, 0, 0);

    // Steps 2 and 3: the format and the output folder.
    auto* right = new QVBoxLayout;
    right->setSpacing(6);
    right->addWidget(StepHeading(QStringLiteral("2"), QStringLiteral("Choose the output format"),
                                 QStringLiteral("lblStep2"), MyFrame1));
    lblFormat = MakeLabel(QString(), QStringLiteral("lblFormat"), MyFrame1);
    lblFormat->setWordWrap(true);
    lblFormat->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblFormat->setMinimumHeight(lblFormat->fontMetrics().lineSpacing() * 3 + 12);
    lblFormat->setFrameShape(QFrame::StyledPanel);
    lblFormat->setMargin(4);
    lblFormat->setAutoFillBackground(true);
    {
        QPalette pal = lblFormat->palette();
        pal.setColor(QPalette::Window, QColor(0xF8, 0xF9, 0xFF));
        lblFormat->setPalette(pal);
    }
    right->addWidget(lblFormat);
    cmdChangeFormat = MakeButton(QStringLiteral("Change..."), QStringLiteral("cmdChangeFormat"), MyFrame1);
    cmdChangeFormat->setToolTip(QStringLiteral("Change output format"));
    right->addWidget(cmdChangeFormat, 0, Qt::AlignRight);

    right->addSpacing(10);
    right->addWidget(StepHeading(QStringLiteral("3"), QStringLiteral("Choose where to save it"),
                                 QStringLiteral("lblStep3"), MyFrame1));
    optSameFolder = new MyOption(QStringLiteral("Same folder as input file"), MyFrame1);
    optSameFolder->setObjectName(QStringLiteral("optSameFolder"));
    optOtherFolder = new MyOption(QStringLiteral("Other folder"), MyFrame1);
    optOtherFolder->setObjectName(QStringLiteral("optOtherFolder"));
    optOtherFolder->setChecked(true);
    right->addWidget(optSameFolder);
    right->addWidget(optOtherFolder);
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(6);
    pathRow->setContentsMargins(20, 0, 0, 0);
    txtOutPath = new QLineEdit(QStringLiteral("C:\\Output Video"), MyFrame1);
    txtOutPath->setObjectName(QStringLiteral("txtOutPath"));
    cmdBrowse = MakeButton(QStringLiteral("Browse..."), QStringLiteral("cmdBrowse"), MyFrame1);
    pathRow->addWidget(txtOutPath, 1);
    pathRow->addWidget(cmdBrowse);
    right->addLayout(pathRow);
    right->addSpacing(4);
    chkShutdown = new MyCheck(QStringLiteral("Shutdown after task complete"), MyFrame1);
    chkShutdown->setObjectName(QStringLiteral("chkShutdown"));
    right->addWidget(chkShutdown);
    // The segments take the rest of the column.
    right->addSpacing(4);
    m_segments = new SegmentPanel(MyFrame1);
    right->addWidget(m_segments, 1);
    steps->addLayout(right, 0, 1);
    steps->setColumnStretch(0, 0);
    steps->setColumnStretch(1, 1);

    // The job row across both columns.
    auto* jobRow = new QHBoxLayout;
    jobRow->setSpacing(8);
    lblProgress = MakeLabel(QStringLiteral("Task Progress:"), QStringLiteral("lblProgress"), MyFrame1);
    progress = new MyProgressBar(MyFrame1);
    progress->setObjectName(QStringLiteral("progress"));
    // Loading a video hides the progress display; its place stays, so the
    // Start button keeps its size and position.
    for (QWidget* w : {static_cast<QWidget*>(lblProgress), static_cast<QWidget*>(progress)}) {
        QSizePolicy policy = w->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        w->setSizePolicy(policy);
    }
    cmdConvert = MakeButton(QStringLiteral("Start"), QStringLiteral("cmdConvert"), MyFrame1);
    {
        QFont f = cmdConvert->font();
        f.setBold(true);
        cmdConvert->setFont(f);
        cmdConvert->setMinimumWidth(TwipsToPixelsX(1500));
    }
    jobRow->addWidget(lblProgress);
    jobRow->addWidget(progress, 1);
    jobRow->addSpacing(6);
    jobRow->addWidget(cmdConvert);
    steps->addLayout(jobRow, 1, 0, 1, 2);

    buildWindowButtons();
}

void frmMain::buildWindowButtons()
{
    struct WindowButton {
        MyButton** slot;
        const char* name;
        const char* tip;
        MyButton::Glyph glyph;
    };
    const WindowButton buttons[] = {
        {&MyButton1, "MyButton1", "Help", MyButton::Glyph::Help},
        {&cmdAbout, "cmdAbout", "About", MyButton::Glyph::About},
        {&cmdMinimize, "cmdMinimize", "Minimize", MyButton::Glyph::Minimize},
        {&cmdClose, "cmdClose", "Close", MyButton::Glyph::Close},
    };
    for (const WindowButton& s : buttons) {
        *s.slot = MakeButton(QString(), QString::fromLatin1(s.name), frMain);
        (*s.slot)->setToolTip(QString::fromLatin1(s.tip));
        (*s.slot)->setGlyph(s.glyph);
        (*s.slot)->setFocusPolicy(Qt::NoFocus);
    }
}

void frmMain::placeWindowButtons()
{
    const int band = frMain->headerHeight();
    const int side = qMax(16, band - 8);
    const int gap = 4;
    int x = frMain->width() - 8 - side;
    for (MyButton* b : {cmdClose, cmdMinimize, cmdAbout, MyButton1}) {
        b->setGeometry(x, (band - side) / 2 + 1, side, side);
        b->raise();
        x -= side + gap;
    }
}

void frmMain::buildAboutPanel()
{
    frAbout = new MyFrame(QStringLiteral("About"), this);
    frAbout->setObjectName(QStringLiteral("frAbout"));

    auto* col = new QVBoxLayout(frAbout);
    col->setContentsMargins(18, 12, 18, 12);
    col->setSpacing(4);

    auto* titleRow = new QHBoxLayout;
    auto* product = MakeLabel(QStringLiteral("Clipwright"), QStringLiteral("lblProductName"), frAbout);
    {
        QFont f = product->font();
        f.setBold(true);
        f.setPointSizeF(f.pointSizeF() * 1.7);
        product->setFont(f);
    }
    titleRow->addWidget(product);
    titleRow->addStretch(1);
    auto* versionCaption = MakeLabel(QStringLiteral("Version"), QStringLiteral("lblVersionCaption"), frAbout);
    lblVer = MakeLabel(QString(), QStringLiteral("lblVer"), frAbout);
    titleRow->addWidget(versionCaption, 0, Qt::AlignBottom);
    titleRow->addWidget(lblVer, 0, Qt::AlignBottom);
    col->addLayout(titleRow);

    col->addWidget(MakeLabel(QStringLiteral("Norvane"), QStringLiteral("lblMaker"), frAbout));

    auto* line = new QFrame(frAbout);
    line->setObjectName(QStringLiteral("lineAbout"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    col->addSpacing(4);
    col->addWidget(line);
    col->addSpacing(4);

    auto* sentence = MakeLabel(
        QStringLiteral("Clipwright is an easy to use tool to extract a part of your video files to various video formats."),
        QStringLiteral("lblDescription"), frAbout);
    sentence->setWordWrap(true);
    col->addWidget(sentence);
    col->addSpacing(6);

    auto* usingRow = new QHBoxLayout;
    usingRow->setSpacing(0);
    usingRow->addWidget(MakeLabel(QStringLiteral("Clipwright is using "), QStringLiteral("lblUsing"), frAbout));
    lblFFmpeg = MakeLink(QStringLiteral("FFmpeg"), QStringLiteral("lblFFmpeg"), frAbout);
    usingRow->addWidget(lblFFmpeg);
    usingRow->addStretch(1);
    col->addLayout(usingRow);
    col->addStretch(1);

    auto* bottomRow = new QHBoxLayout;
    QString site = QString::fromLatin1(kWebSiteUrl);
    site.remove(QStringLiteral("https://"));
    if (site.endsWith(QLatin1Char('/')))
        site.chop(1);
    lblWebSite = MakeLink(site, QStringLiteral("lblWebSite"), frAbout);
    bottomRow->addWidget(lblWebSite, 0, Qt::AlignVCenter);
    bottomRow->addStretch(1);
    cmdCloseHelp = MakeButton(QStringLiteral("Close"), QStringLiteral("cmdCloseHelp"), frAbout);
    cmdCloseHelp->setMinimumWidth(TwipsToPixelsX(1200));
    bottomRow->addWidget(cmdCloseHelp);
    col->addLayout(bottomRow);

    lblFFmpeg->installEventFilter(this);
    lblWebSite->installEventFilter(this);
}

void frmMain::LayOutPanels()
{
    // The main panel sits at the origin and gives the window its size.
    // The design size is the window's smallest; it can grow from there.
    frMain->setGeometry(0, 0, TwipsToPixelsX(kMainWidthTwips, this), TwipsToPixelsY(kMainHeightTwips, this));
    setMinimumSize(frMain->size());
    resize(frMain->size());
    m_windowHeightTwips = kMainHeightTwips;
    placeWindowButtons();

    // Both overlay panels wait just below the visible area, centred by the
    // about panel's width.
    m_panelLeftTwips = (kMainWidthTwips - kAboutWidthTwips) / 2.0;
    frFormats->resize(TwipsToPixelsX(kFormatsWidthTwips, this), TwipsToPixelsY(kFormatsHeightTwips, this));
    frAbout->resize(TwipsToPixelsX(kAboutWidthTwips, this), TwipsToPixelsY(kAboutHeightTwips, this));
    setPanelTopTwips(frFormats, kMainHeightTwips);
    setPanelTopTwips(frAbout, kMainHeightTwips);
}

void frmMain::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (!frMain || !frFormats || !frAbout || !tmrAnimate)
        return;
    frMain->setGeometry(rect());
    // The video pane grows by what the window grows by beyond its design
    // size; every other control keeps its place from its corner of the
    // window, the timeline widening with the pane.
    const QSize design(TwipsToPixelsX(kMainWidthTwips, this), TwipsToPixelsY(kMainHeightTwips, this));
    picVideoWindow->setFixedSize(QSize(TwipsToPixelsX(kVideoWidthTwips), TwipsToPixelsY(kVideoHeightTwips))
                                 + (size() - design).expandedTo(QSize(0, 0)));
    placeWindowButtons();
    // The overlay panels stay centred; one at rest stays just below the
    // visible area, one raised keeps its place under the caption.
    const int oldHeight = m_windowHeightTwips;
    m_windowHeightTwips = int(std::lround(height() * TwipsPerPixelY(this)));
    m_panelLeftTwips = (width() * TwipsPerPixelX(this) - kAboutWidthTwips) / 2.0;
    for (MyFrame* panel : {static_cast<MyFrame*>(frFormats), frAbout}) {
        const int top = panelTopTwips(panel);
        setPanelTopTwips(panel, top >= oldHeight && !(tmrAnimate->isActive() && panel == AnimatedPanel)
                                    ? m_windowHeightTwips : top);
    }
}

}  // namespace clip
