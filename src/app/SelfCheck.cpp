#include "app/SelfCheck.h"

#include "common/ResourceLocator.h"
#include "controls/MyButton.h"
#include "controls/MyCheck.h"
#include "controls/MyOption.h"
#include "mainwindow/frmMain.h"
#include "slider/Slider.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>

#include <cstdio>

namespace clip {

namespace {

bool g_messageShown = false;

void printLine(const QString& key, const QString& value)
{
    std::fputs(QStringLiteral("%1: %2\n").arg(key, value).toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

}  // namespace

bool BeginSelfCheckIfAsked(frmMain& window)
{
    if (qEnvironmentVariable("CLIPWRIGHT_SELF_CHECK").isEmpty())
        return false;
    // Modal boxes are printed and closed instead of waiting for a click.
    auto* closer = new QTimer(&window);
    QObject::connect(closer, &QTimer::timeout, closer, [] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            printLine(QStringLiteral("message"), box->text());
            g_messageShown = true;
            box->done(QMessageBox::Ok);
        }
    });
    closer->start(50);
    return true;
}

namespace {

void reportAndCut(frmMain& window)
{
    const QString folder = qEnvironmentVariable("CLIPWRIGHT_SELF_CHECK");

    printLine(QStringLiteral("presets"), QString::number(window.Catalogue().PresetCount));
    printLine(QStringLiteral("codecs"), QString::number(window.Catalogue().CodecCount));
    printLine(QStringLiteral("encoder"), ToolFound(QStringLiteral("ffmpeg")) ? LocateTool(QStringLiteral("ffmpeg"))
                                                                              : LookedFor(QStringLiteral("ffmpeg")).join(QLatin1String(", ")));
    printLine(QStringLiteral("time"), window.findChild<QLabel*>(QStringLiteral("lblTime"))->text());

    // The first second (or up to CLIPWRIGHT_SELF_CHECK_END seconds), cut
    // into the given folder by the window's buttons.
    const int end = qEnvironmentVariableIntValue("CLIPWRIGHT_SELF_CHECK_END");
    window.findChild<Slider*>(QStringLiteral("Slider"))->setValue(0);
    window.findChild<MyButton*>(QStringLiteral("cmdStartSelect"))->click();
    window.findChild<Slider*>(QStringLiteral("Slider"))->setValue(end > 0 ? end : 1);
    window.findChild<MyButton*>(QStringLiteral("cmdEndSelect"))->click();
    window.findChild<MyCheck*>(QStringLiteral("chkShutdown"))->setChecked(false);
    window.findChild<MyOption*>(QStringLiteral("optOtherFolder"))->click();
    window.findChild<QLineEdit*>(QStringLiteral("txtOutPath"))->setText(folder);
    window.findChild<MyButton*>(QStringLiteral("cmdConvert"))->click();

    for (const QFileInfo& file : QDir(folder).entryInfoList(QDir::Files))
        printLine(QStringLiteral("cut"), file.absoluteFilePath());
    QCoreApplication::quit();
}

}  // namespace

void FinishSelfCheck(frmMain& window)
{
    // A video named on the command line loads in the event loop: report once
    // it has loaded, or has been refused with a message, or after a while.
    auto* poll = new QTimer(&window);
    auto* clock = new QElapsedTimer;
    clock->start();
    QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, clock] {
        if (!window.IsVideoLoaded() && !g_messageShown && clock->elapsed() < 20000)
            return;
        poll->stop();
        delete clock;
        reportAndCut(window);
    });
    poll->start(50);
}

}  // namespace clip
