// Clipwright: cuts a marked part of a video into a new file.
#include "mainwindow/frmMain.h"
#include "platform/QtHostServices.h"
#include "player/PlaybackEngine.h"

#include <QApplication>
#include <QStyleFactory>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    // Qt takes the locale from the environment; the playback engine needs
    // C-style numbers.
    clip::EnsureCNumericLocale();

    QApplication::setApplicationName(QStringLiteral("Clipwright"));
    QApplication::setApplicationVersion(QStringLiteral(CLIP_VERSION_TEXT));
    QApplication::setOrganizationName(QStringLiteral("Norvane"));
    // One style on every platform, so the theme's colours look the same.
    if (QStyle* style = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(style);

    clip::QtHostServices host;
    clip::SetHost(&host);

    clip::frmMain window;
    window.show();
    const int rc = app.exec();
    clip::SetHost(nullptr);
    return rc;
}
