#pragma once

#include "cut/CutRequest.h"
#include "formats/Catalogue.h"
#include "settings/SettingsKeeper.h"

#include <QKeySequence>
#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QWidget>

#include <array>
#include <optional>

class QLabel;
class QLineEdit;
class QTimer;

namespace clip {

class FormatsController;
class KeyFrameTicks;
class FormatsPanel;
class MyButton;
class MyCheck;
class MyFrame;
class MyOption;
class MyProgressBar;
class Slider;
class VideoPane;
class CutController;
class PlaybackEngine;
class VideoSession;
class SegmentPanel;
class SegmentPlayback;

// The program's one window. It owns every control under its own name, the
// window-level state, the slide animation of the two overlay panels (the
// formats panel and the about panel), the colour theme, the window buttons
// and the output-folder choice.
class frmMain : public QWidget {
    Q_OBJECT
public:
    // Design geometry, in twips.
    static constexpr int kMainWidthTwips = 10920;
    static constexpr int kMainHeightTwips = 8070;
    static constexpr int kFormatsWidthTwips = 8280;
    static constexpr int kFormatsHeightTwips = 4350;
    static constexpr int kAboutWidthTwips = 7245;
    static constexpr int kAboutHeightTwips = 3690;
    static constexpr int kVideoWidthTwips = 4770;
    static constexpr int kVideoHeightTwips = 2835;
    // Where a raised panel comes to rest, and the line its slide-up stops at.
    static constexpr int kPanelRestTopTwips = 2715;
    static constexpr int kPanelStopLineTwips = 2650;

    // The theme's four colours (0x00BBGGRR).
    static constexpr std::array<quint32, 4> ThemeColors{0xFFC0C0, 0xFF8080, 0x800000, 0x400000};

    // The two web links.
    static constexpr const char* kEncoderSiteUrl = "https://ffmpeg.org/";
    static constexpr const char* kWebSiteUrl = "https://clipwright.example.org/";

    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // ---- Window state ----
    bool IsVideoLoaded() const;
    // The loaded (or last chosen) video's path.
    QString InputFile() const;
    // The preset and codec tables, filled at start-up for the whole run: the
    // model the formats panel and the cut read.
    Catalogues& Catalogue() { return Tables; }
    // The panel the slide animation moves (or last moved).
    MyFrame* SlidingPanel() const { return AnimatedPanel; }


    // ---- Handlers ----
    void StartPanelSlide(const QString& mode);
    void tmrAnimate_Timer();
    void cmdAbout_Click();
    void cmdChangeFormat_Click();
    void cmdCloseHelp_Click();
    void cmdClose_Click();
    void cmdMinimize_Click();
    void frMain_MouseDown();
    // The window's edges that a press at `pos` (in frMain) resizes from;
    // none away from the edges and while maximized.
    Qt::Edges ResizeEdgesAt(const QPoint& pos) const;
    // Window size and position as kept with the settings: "x,y,width,height"
    // and ",max" when maximized; a text that does not fit is ignored, and a
    // size below the design size or a place off every screen is corrected.
    QString WindowGeometryText() const;
    void RestoreWindowGeometry(const QString& text);
    void MyButton1_Click();
    void lblFFmpeg_Click();
    void lblWebSite_Click();
    void optSameFolder_Click();
    void optOtherFolder_Click();
    void cmdBrowse_Click();

    // The folder dialog; the chosen folder or an empty text when cancelled.
    QString BrowseForFolder(QWidget* ownerWindow, const QString& title, bool newStyle);

    // Sets the theme colours on every control, by kind, in control order.
    void ApplyTheme();

    // Panel positions in twips (the window's design unit).
    int panelTopTwips(const MyFrame* panel) const;
    void setPanelTopTwips(MyFrame* panel, int twips);
    double panelLeftTwips() const { return m_panelLeftTwips; }
    int windowHeightTwips() const { return m_windowHeightTwips; }

    // ---- Formats panel ----
    // "Save && Close": the closing check, then the slide-down of the panel
    // and the new summary in lblFormat.
    void cmdHide_Click();
    // Writes the summary of the format chosen in the panel into lblFormat:
    // run by "Save && Close" and the settings restore, so the summary shows
    // the saved choices only.
    void ShowFormatDescription();
    // Renews the summary's line about the key frame a copying cut starts at
    // (new key frames, a new start mark), for the summarised format.
    void ShowCutStartNote();

    // ---- Video preview ----
    // The open-file dialog: `filter` holds "Description|pattern;pattern"
    // pairs (all files when empty). The chosen path, or "Cancel".
    QString ShowOpenDialog(QWidget* ownerWindow, const QStringList& filter, const QString& title,
                           bool explorerStyle);
    // The video chosen in the dialog, or an empty text.
    QString SelectVideoFile();
    // Makes `path` the current video (VideoSession::Open): the preview
    // stops, the timeline and the labels are reset.
    void OpenVideoFile(const QString& path);
    // The longest the probe of a chosen file may take (milliseconds).
    void setProbeTimeLimit(int ms);
    void cmdAddVideoFile_Click();
    void cmdPlay_Click();
    // Stops and rewinds the preview (nothing while no video is loaded). The
    // cut job calls it before it starts the encoder.
    void cmdStop_Click();
    void tmrVideo_Timer();
    void Slider_MouseUp(qint16 Button, qint16 Shift, float X, float Y);
    void cmdStartSelect_Click();
    void cmdEndSelect_Click();
    void cmdDeleteSelect_Click();
    // The selection's ends in seconds: the exact mark (the time of the frame
    // that was on screen) while the timeline still shows it rounded, else
    // the timeline's whole seconds (a selection set on the timeline itself).
    double SelectionStartSeconds() const;
    double SelectionEndSeconds() const;
    // The keyboard's moves, while a video is loaded: one frame forward or
    // back (paused), the next or previous key frame, the start or the end.
    void StepFrame(bool back);
    void JumpToKeyFrame(bool forward);
    void GoToEdge(bool end);
    // Brings the timeline and lblTime to the playback position: whole
    // seconds while playing, to the millisecond while paused.
    void ShowPosition();
    // The key-frame times of the current video (seconds, ascending), read in
    // the background after each load; empty until the scan has ended.
    const QList<double>& KeyFrames() const;
    // Files dropped on the video pane: the first local file is opened when
    // its extension is a video one.
    void picVideoWindow_OLEDragDrop(const QList<QUrl>& urls);
    // The engine of the current (or last attempted) load; nullptr before
    // the first load.
    PlaybackEngine* Player() const;
    // The engine opening a file the probe has not agreed to yet.
    PlaybackEngine* OpeningPlayer() const;

    // ---- Settings ----
    // "Restore Defaults" on the formats panel: forgets the stored settings
    // and gives every persisted control its default.
    void cmdDefaults_Click();
    // How a failed settings save reaches the user (SettingsKeeper).
    using SettingsFailure = SettingsKeeper::Failure;
    // Saves all seventeen settings now, as one write. Safe to call any number
    // of times: the window saves on close, when the application quits, when
    // the session manager asks, and the cut job calls it before a power-off.
    // Refused when the settings file could not be read at start (its content
    // would be replaced by defaults). True when saved.
    bool SaveSettings(SettingsFailure onFailure = SettingsFailure::Tell);

    // ---- Cut job ----
    // The cut: run by the controller, this window its view.
    CutController& Cut() const { return *m_cut; }
    // True while a cut runs (nested ones included).
    bool IsConverting() const;
    // Click of the Start/Stop button: the click's checks, then the Start or
    // the Stop action by the caption.
    void cmdConvert_Click();
    // The Start action: locks the controls and runs the cut of the current
    // request to its end; returns its outcome.
    CutOutcome RunCutJob();
    // The request the controls describe now.
    CutRequest CurrentCutRequest() const;
    // The eleven controls a running job switches off, in their order.
    void SetControlsEnabled(bool enabled);
    QList<QWidget*> CutJobLockedControls() const;
    // The controller's progress, into the bar.
    void cConvert_Progress(int iProgress);
    // Ends the program as a Stop followed by a close would (the system asked
    // it to end): a running cut is stopped and leaves nothing behind, open
    // boxes and dialogs are dismissed, the settings are saved and the window
    // closes once the cut has unwound.
    void StopAndClose();
    // The display went away and the program is about to end without a close:
    // saves the settings and removes the running cut's unfinished files (the
    // encoder dies with the program).
    void SaveBeforeAbruptEnd();

protected:
    void closeEvent(class QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool event(QEvent* event) override;
    void keyPressEvent(class QKeyEvent* event) override;
    void resizeEvent(class QResizeEvent* event) override;
    // Tab passes over the controls of a panel resting out of sight.
    bool focusNextPrevChild(bool next) override;

private:
    friend class frmMainSettingsControls;

    // ---- Controls of the main panel ----
    MyFrame* frMain = nullptr;
    MyButton* cmdMinimize = nullptr;
    MyButton* cmdClose = nullptr;
    MyButton* MyButton1 = nullptr;  // help
    MyButton* cmdAbout = nullptr;
    MyFrame* MyFrame1 = nullptr;
    MyFrame* MyFrame3 = nullptr;
    VideoPane* picVideoWindow = nullptr;
    clip::Slider* Slider = nullptr;
    KeyFrameTicks* KeyFrameMarks = nullptr;  // the key frames, under the timeline
    QLabel* lblTime = nullptr;
    QLabel* lblStartSelect = nullptr;
    QLabel* lblEndSelect = nullptr;
    MyButton* cmdAddVideoFile = nullptr;
    MyButton* cmdPlay = nullptr;
    MyButton* cmdStop = nullptr;
    MyButton* cmdStartSelect = nullptr;
    MyButton* cmdEndSelect = nullptr;
    MyButton* cmdDeleteSelect = nullptr;
    QLabel* lblFormat = nullptr;
    MyButton* cmdChangeFormat = nullptr;
    MyOption* optSameFolder = nullptr;
    MyOption* optOtherFolder = nullptr;
    QLineEdit* txtOutPath = nullptr;
    MyButton* cmdBrowse = nullptr;
    MyCheck* chkShutdown = nullptr;
    QLabel* lblProgress = nullptr;
    MyProgressBar* progress = nullptr;
    MyButton* cmdConvert = nullptr;

    // ---- The overlay panels ----
    FormatsPanel* frFormats = nullptr;
    MyFrame* frAbout = nullptr;
    QLabel* lblVer = nullptr;
    QLabel* lblFFmpeg = nullptr;
    QLabel* lblWebSite = nullptr;
    MyButton* cmdCloseHelp = nullptr;

    // ---- Timers ----
    QTimer* tmrAnimate = nullptr;
    QTimer* tmrVideo = nullptr;

    // ---- Window state ----
    Catalogues Tables;
    // The panel's behaviour: route, cascades, key filters, closing check.
    // Created before the catalogues are loaded, so their first selections
    // already run the cascades.
    FormatsController* Formats = nullptr;

    // ---- Slide animation ----
    MyFrame* AnimatedPanel = nullptr;
    int AnimStep = 0;      // twips per tick
    int AnimInterval = 0;  // milliseconds per tick
    QString AnimMode;

    void buildMainPanel();
    void buildWindowButtons();
    void buildAboutPanel();
    void placeWindowButtons();
    void connectHandlers();
    void connectFormatsHandlers();
    void connectSettingsHandlers();
    void connectPreviewHandlers();
    // Accessible names and descriptions, label buddies and the Tab order.
    void SetAccessibleTexts();

    void Form_Load();
    void Form_QueryUnload();
    void LayOutPanels();
    void LoadCatalogues();
    void LoadSettings();

    void applyPanelLeft(MyFrame* panel);

    int m_windowHeightTwips = kMainHeightTwips;
    double m_panelLeftTwips = 0;
    int m_formatsTopTwips = kMainHeightTwips;
    int m_aboutTopTwips = kMainHeightTwips;

    void connectKeyboard();
    QList<QKeySequence> m_windowKeys;  // the window's shortcuts (Space aside)
    // The window's keys act: no panel is up and no cut runs.
    bool WindowKeysActive() const;
    // The file, its engine, key frames and marks.
    VideoSession* m_session = nullptr;
    bool m_sliderReleasing = false;  // a release on the timeline, its click still to come
    // Seeks to `seconds` (none: nothing) and shows the position.
    void SeekAndShow(std::optional<double> seconds);

    // The summarised format: its text and whether it copies the video.
    QString m_formatSummary;
    bool m_summaryCopiesVideo = false;

    // ---- Settings ----
    SettingsKeeper m_settings;

    // ---- Segments ----
    SegmentPanel* m_segments = nullptr;
    SegmentPlayback* m_segmentPlay = nullptr;
    void connectSegmentHandlers();
    // Seeks to the segment's start and makes its ends the marks.
    void PutMarks(const Segment& segment);
    void PlaySegments();
    // Says so, and gives true, when the segments leave nothing to cut.
    bool RefuseEmptyParts();

    // ---- Cut job ----
    void connectCutJobHandlers();
    void stopCutJob();
    // A flow has ended: its message, the button, the controls, the bar.
    void CutFinished(const CutResult& result);
    CutController* m_cut = nullptr;
    bool m_endRequested = false;        // StopAndClose was asked: close without boxes
};

}  // namespace clip
