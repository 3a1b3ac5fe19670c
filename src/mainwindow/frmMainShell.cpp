// The window shell: start-up, the colour theme, the panel slide, the window
// buttons, the links and the output-folder choice.
#include "mainwindow/frmMain.h"
#include "common/ProgramNames.h"
#include "cut/OutputNaming.h"
#include "mainwindow/SegmentPanel.h"
#include "settings/WindowPlacement.h"
#include "preview/VideoSession.h"

#include "common/HostServices.h"
#include "common/ResourceLocator.h"
#include "common/Rounding.h"
#include "common/Twips.h"
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyFrame.h"
#include "controls/MyOption.h"
#include "controls/MyProgressBar.h"
#include "cut/CutController.h"
#include "formats/FormatsPanel.h"
#include "platform/NamedMutex.h"
#include "player/PlaybackEngine.h"
#include "player/VideoPane.h"
#include "slider/Slider.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollArea>
#include <QScreen>
#include <QTimer>
#include <QWindow>

#include <functional>

#ifndef CLIP_VERSION_MAJOR
#define CLIP_VERSION_MAJOR 1
#endif
#ifndef CLIP_VERSION_MINOR
#define CLIP_VERSION_MINOR 0
#endif
#ifndef CLIP_VERSION_REVISION
#define CLIP_VERSION_REVISION 0
#endif

namespace clip {

namespace {

const QString kModeUp = QStringLiteral("Edit Frame 2 Up");
const QString kModeDown = QStringLiteral("Edit Frame 2 Down");

void SetRole(QWidget* w, QPalette::ColorRole role, quint32 bgr)
{
    QPalette pal = w->palette();
    pal.setColor(role, QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF)));
    w->setPalette(pal);
}

bool IsLine(const QWidget* w)
{
    if (w->metaObject() != &QFrame::staticMetaObject)
        return false;
    const auto shape = static_cast<const QFrame*>(w)->frameShape();
    return shape == QFrame::HLine || shape == QFrame::VLine;
}

// Widgets whose children are controls of the window in their own right.
bool IsContainer(const QWidget* w)
{
    return qobject_cast<const MyFrame*>(w) || qobject_cast<const QGroupBox*>(w) || qobject_cast<const QScrollArea*>(w) ||
           w->metaObject() == &QWidget::staticMetaObject;
}

}  // namespace

void frmMain::connectHandlers()
{
    connect(tmrAnimate, &QTimer::timeout, this, &frmMain::tmrAnimate_Timer);
    connect(cmdAbout, &QAbstractButton::clicked, this, &frmMain::cmdAbout_Click);
    connect(cmdChangeFormat, &QAbstractButton::clicked, this, &frmMain::cmdChangeFormat_Click);
    connect(cmdCloseHelp, &QAbstractButton::clicked, this, &frmMain::cmdCloseHelp_Click);
    connect(cmdClose, &QAbstractButton::clicked, this, &frmMain::cmdClose_Click);
    connect(cmdMinimize, &QAbstractButton::clicked, this, &frmMain::cmdMinimize_Click);
    connect(MyButton1, &QAbstractButton::clicked, this, &frmMain::MyButton1_Click);
    connect(optSameFolder, &QAbstractButton::clicked, this, &frmMain::optSameFolder_Click);
    connect(optOtherFolder, &QAbstractButton::clicked, this, &frmMain::optOtherFolder_Click);
    connect(cmdBrowse, &QAbstractButton::clicked, this, &frmMain::cmdBrowse_Click);
}

// ---------------------------------------------------------------- start-up

void frmMain::Form_Load()
{
    // A second instance starts normally; the mutex is only announced.
    platform::CreateNamedMutex(platform::kProgramMutexName);

    LayOutPanels();

    lblVer->setText(VersionText(CLIP_VERSION_MAJOR, CLIP_VERSION_MINOR, CLIP_VERSION_REVISION));

    ApplyTheme();

    LoadCatalogues();

    LoadSettings();
}

void frmMain::LoadCatalogues()
{
    // The preset catalogue, then the codec catalogue, from the program's
    // folder; they fill the tables and the catalogue lists of the formats
    // panel. Each reports its own failure.
    LoadPresets(Tables, frFormats->cmbCategory);
    LoadCodecs(Tables, frFormats->cmbCVCodec, frFormats->cmbCACodec);
}

// LoadSettings and SaveSettings: frmMainSettings.cpp.

// ---------------------------------------------------------------- theme

void frmMain::ApplyTheme()
{
    const quint32 c0 = ThemeColors[0];
    const quint32 c1 = ThemeColors[1];
    const quint32 c2 = ThemeColors[2];
    const quint32 c3 = ThemeColors[3];

    // Depth-first over the window's controls in creation order.
    std::function<void(QWidget*)> visit = [&](QWidget* parent) {
        for (QObject* child : parent->children()) {
            auto* w = qobject_cast<QWidget*>(child);
            if (!w)
                continue;
            if (auto* frame = qobject_cast<MyFrame*>(w)) {
                if (frame->objectName() != QLatin1String("MyFrame1")) {
                    frame->setBodyColorBottomLeft(c0);
                    frame->setBodyColorBottomRight(c1);
                    frame->setBodyColorTopLeft(c0);
                    frame->setBorderColor(c2);
                    frame->setForeColor(c3);
                    frame->setHeaderColorBottomLeft(c2);
                    frame->setHeaderColorTopLeft(c1);
                }
            } else if (auto* button = qobject_cast<MyButton*>(w)) {
                button->setBackColor(c0);
                button->setBackColorDisabled(c0);
                button->setBackColorFocus(c0);
                button->setBorderColor(c0);
                button->setToolTipBackColor(c0);
            } else if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w)) {
                SetRole(w, QPalette::Base, c0);
                SetRole(w, QPalette::Button, c0);
            } else if (qobject_cast<QLabel*>(w)) {
                if (w->objectName() != QLatin1String("lblWebSite") && w->objectName() != QLatin1String("lblFFmpeg"))
                    SetRole(w, QPalette::WindowText, c3);
            } else if (IsLine(w)) {
                SetRole(w, QPalette::WindowText, c3);
            }
            if (IsContainer(w))
                visit(w);
        }
    };
    visit(this);
}

// ---------------------------------------------------------------- panels

int frmMain::panelTopTwips(const MyFrame* panel) const
{
    return panel == frAbout ? m_aboutTopTwips : m_formatsTopTwips;
}

void frmMain::setPanelTopTwips(MyFrame* panel, int twips)
{
    (panel == frAbout ? m_aboutTopTwips : m_formatsTopTwips) = twips;
    panel->move(TwipsToPixelsX(m_panelLeftTwips, this), TwipsToPixelsY(twips, this));
    // A panel resting below the window is hidden, so that neither Tab nor a
    // shortcut reaches its controls; it shows as soon as it moves up.
    panel->setVisible(twips < m_windowHeightTwips);
}

void frmMain::StartPanelSlide(const QString& mode)
{
    if (mode == QLatin1String("EDIT_FRAME_UP")) {
        AnimMode = kModeUp;
        AnimStep = 300;
        AnimInterval = 10;
    } else if (mode == QLatin1String("EDIT_FRAME_DOWN")) {
        AnimMode = kModeDown;
        AnimStep = 500;
        AnimInterval = 5;
    }
    tmrAnimate->start();
}

void frmMain::tmrAnimate_Timer()
{
    // Nothing to move (a close asked for before any panel was opened): the
    // timer stops, or it would block every later open.
    if (!AnimatedPanel || (AnimMode != kModeUp && AnimMode != kModeDown)) {
        tmrAnimate->stop();
        return;
    }
    const int top = panelTopTwips(AnimatedPanel);
    if (AnimMode == kModeUp) {
        tmrAnimate->setInterval(AnimInterval);
        if (top >= kPanelStopLineTwips) {
            if (AnimStep >= 101 && top < 3100) {
                AnimStep = RoundToInt32(AnimStep / 2.0).value_or(AnimStep);
                AnimInterval = AnimInterval * 2;
            }
            setPanelTopTwips(AnimatedPanel, top - AnimStep);
        } else {
            tmrAnimate->stop();
            setPanelTopTwips(AnimatedPanel, kPanelRestTopTwips);
        }
    } else if (AnimMode == kModeDown) {
        tmrAnimate->setInterval(AnimInterval);
        if (top >= m_windowHeightTwips) {
            tmrAnimate->stop();
            setPanelTopTwips(AnimatedPanel, m_windowHeightTwips);
            frMain->setEnabled(true);
            picVideoWindow->update();
            Slider->setVisible(false);
            Slider->setVisible(true);
        } else {
            setPanelTopTwips(AnimatedPanel, top + AnimStep);
        }
    }
}

void frmMain::cmdAbout_Click()
{
    if (tmrAnimate->isActive())
        return;
    AnimatedPanel = frAbout;
    frAbout->raise();
    frMain->setEnabled(false);
    StartPanelSlide(QStringLiteral("EDIT_FRAME_UP"));
}

void frmMain::cmdChangeFormat_Click()
{
    if (tmrAnimate->isActive())
        return;
    AnimatedPanel = frFormats;
    frFormats->raise();
    frMain->setEnabled(false);
    StartPanelSlide(QStringLiteral("EDIT_FRAME_UP"));
}

void frmMain::cmdCloseHelp_Click()
{
    StartPanelSlide(QStringLiteral("EDIT_FRAME_DOWN"));
}

// ---------------------------------------------------------------- window

void frmMain::cmdClose_Click()
{
    if (IsConverting()) {
        Host().messageBox(QStringLiteral("Please Stop the running task first."), MsgExclamation);
        return;
    }
    close();
}

void frmMain::cmdMinimize_Click()
{
    setWindowState(windowState() | Qt::WindowMinimized);
}

void frmMain::frMain_MouseDown()
{
    // The system moves the frameless window with the mouse.
    if (QWindow* handle = windowHandle())
        handle->startSystemMove();
}

Qt::Edges frmMain::ResizeEdgesAt(const QPoint& pos) const
{
    constexpr int kGrip = 6;  // pixels along each edge
    Qt::Edges edges;
    if (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))
        return edges;
    if (pos.x() < kGrip)
        edges |= Qt::LeftEdge;
    if (pos.x() >= frMain->width() - kGrip)
        edges |= Qt::RightEdge;
    if (pos.y() < kGrip)
        edges |= Qt::TopEdge;
    if (pos.y() >= frMain->height() - kGrip)
        edges |= Qt::BottomEdge;
    return edges;
}

QString frmMain::WindowGeometryText() const
{
    const QRect r = normalGeometry().isValid() ? normalGeometry() : geometry();
    return WindowPlacement{r, bool(windowState() & Qt::WindowMaximized)}.Text();
}

void frmMain::RestoreWindowGeometry(const QString& text)
{
    const std::optional<WindowPlacement> placement = WindowPlacement::FromText(text);
    if (!placement)
        return;
    const QRect& r = placement->rect;
    resize(qMax(r.width(), minimumWidth()), qMax(r.height(), minimumHeight()));
    // A place where no screen shows the caption bar any more (a screen
    // removed since) is not taken.
    const QPoint caption(r.x() + width() / 2, r.y() + 8);
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(caption)) {
            move(r.x(), r.y());
            break;
        }
    }
    if (placement->maximized)
        setWindowState(windowState() | Qt::WindowMaximized);
}

void frmMain::closeEvent(QCloseEvent* event)
{
    // However the close was asked for, a running cut keeps the window open:
    // closing would leave the encoder running behind it.
    if (IsConverting()) {
        Host().messageBox(QStringLiteral("Please Stop the running task first."), MsgExclamation);
        event->ignore();
        return;
    }
    // A probe or load under way ends with the window, so the program can exit.
    m_session->EndLoading();
    Form_QueryUnload();
    event->accept();
}

void frmMain::StopAndClose()
{
    // A box or dialog open now is answered as if dismissed (a question
    // as No), so that the code waiting on it can unwind.
    for (QWidget* modal = QApplication::activeModalWidget(); modal;) {
        if (auto* dialog = qobject_cast<QDialog*>(modal))
            dialog->reject();
        else
            modal->close();
        QWidget* next = QApplication::activeModalWidget();
        if (next == modal)
            break;
        modal = next;
    }
    m_endRequested = true;
    m_cut->setPowerOffAllowed(false);
    if (IsConverting()) {
        // The Start click that runs the cut closes the window once its job
        // has unwound; a Stop here is the user's Stop.
        stopCutJob();
        return;
    }
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void frmMain::Form_QueryUnload()
{
    m_segments->Keep();
    // Ended from outside, nobody may be there to close a box.
    SaveSettings(m_endRequested ? SettingsFailure::LogOnly : SettingsFailure::Tell);
}

bool frmMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == frMain && event->type() == QEvent::MouseButtonPress) {
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton) {
            // From an edge the system resizes the frameless window; anywhere
            // else it moves it.
            const Qt::Edges edges = ResizeEdgesAt(mouse->position().toPoint());
            QWindow* handle = windowHandle();
            if (edges && handle)
                handle->startSystemResize(edges);
            else
                frMain_MouseDown();
            return true;
        }
    } else if (watched == frMain && event->type() == QEvent::MouseButtonDblClick) {
        // A double click on the caption bar maximizes, or restores.
        const auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && mouse->position().y() < frMain->headerHeight()) {
            setWindowState(windowState() ^ Qt::WindowMaximized);
            return true;
        }
    } else if (watched == frMain && event->type() == QEvent::MouseMove) {
        const Qt::Edges edges = ResizeEdgesAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        const bool diagonal = (edges & (Qt::LeftEdge | Qt::RightEdge)) && (edges & (Qt::TopEdge | Qt::BottomEdge));
        if (!edges)
            frMain->unsetCursor();
        else if (diagonal)
            frMain->setCursor(edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge)
                                  ? Qt::SizeFDiagCursor : Qt::SizeBDiagCursor);
        else
            frMain->setCursor(edges & (Qt::LeftEdge | Qt::RightEdge) ? Qt::SizeHorCursor : Qt::SizeVerCursor);
    } else if ((watched == lblFFmpeg || watched == lblWebSite) && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        auto* label = static_cast<QWidget*>(watched);
        if (mouse->button() == Qt::LeftButton && label->rect().contains(mouse->position().toPoint())) {
            if (watched == lblFFmpeg)
                lblFFmpeg_Click();
            else
                lblWebSite_Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---------------------------------------------------------------- help, links

void frmMain::MyButton1_Click()
{
    QString helpFile = LocateDataFile(QStringLiteral("Help.html"));
#ifdef Q_OS_WIN
    // The compiled help where it is shipped; the package built on Debian has
    // only the HTML guide, there being no help compiler for it.
    if (const QString compiled = LocateDataFile(QStringLiteral("Help.chm")); QFileInfo(compiled).isFile())
        helpFile = compiled;
#endif
    // A failure to open is not reported.
    Host().openExternal(helpFile);
}

void frmMain::lblFFmpeg_Click()
{
    Host().openExternal(QString::fromLatin1(kEncoderSiteUrl));
}

void frmMain::lblWebSite_Click()
{
    Host().openExternal(QString::fromLatin1(kWebSiteUrl));
}

// ---------------------------------------------------------------- output folder

void frmMain::optSameFolder_Click()
{
    cmdBrowse->setEnabled(false);
}

void frmMain::optOtherFolder_Click()
{
    cmdBrowse->setEnabled(true);
}

QString frmMain::BrowseForFolder(QWidget* ownerWindow, const QString& title, bool newStyle)
{
    // The dialog always returns file-system folders only; the new dialog
    // style is the toolkit's own.
    Q_UNUSED(newStyle);
    return Host().browseForFolder(ownerWindow, title);
}

void frmMain::cmdBrowse_Click()
{
    const QString folder = BrowseForFolder(this, QStringLiteral("Select folder to add"), true);
    if (folder.isEmpty())
        return;
    if (!IsOutputFolderDriveAccepted(folder)) {
        Host().messageBox(QStringLiteral("You can't choose this drive!"), MsgExclamation);
        return;
    }
    txtOutPath->setText(folder);
}

}  // namespace clip
