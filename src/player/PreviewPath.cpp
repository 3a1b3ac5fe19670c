#include "player/PreviewPath.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

#include <mpv/client.h>
#include <mpv/render.h>
#include <mpv/render_gl.h>

#include <cstdio>

namespace clip {

namespace {

void* GetProcAddress(void*, const char* name)
{
    QOpenGLContext* current = QOpenGLContext::currentContext();
    return current ? reinterpret_cast<void*>(current->getProcAddress(name)) : nullptr;
}

PreviewPath Software(const QString& reason)
{
    return {false, QStringLiteral("software (%1)").arg(reason)};
}

// Whether libmpv's OpenGL renderer starts on the current context: a
// throwaway player with nothing loaded, gone before this returns.
QString OpenGlRendererFailure()
{
    mpv_handle* mpv = mpv_create();
    if (!mpv)
        return QStringLiteral("the playback engine could not be created");
    for (const char* option : {"config=no", "terminal=no", "vo=libmpv", "ao=null", "idle=yes"}) {
        const QByteArray pair(option);
        const qsizetype eq = pair.indexOf('=');
        mpv_set_option_string(mpv, pair.left(eq).constData(), pair.mid(eq + 1).constData());
    }
    QString failure;
    mpv_render_context* context = nullptr;
    if (mpv_initialize(mpv) < 0) {
        failure = QStringLiteral("the playback engine could not be started");
    } else if (const int rc = CreateOpenGlRenderContext(mpv, &context); rc < 0) {
        failure = QStringLiteral("libmpv's OpenGL renderer did not start: %1").arg(QString::fromUtf8(mpv_error_string(rc)));
    } else {
        mpv_render_context_free(context);
    }
    mpv_terminate_destroy(mpv);
    return failure;
}

}  // namespace

PreviewPath DecidePreviewPath()
{
    const QString asked = qEnvironmentVariable("CLIPWRIGHT_PREVIEW");
    if (asked == QLatin1String("software"))
        return Software(QStringLiteral("asked for by CLIPWRIGHT_PREVIEW"));
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal"))
        return Software(QStringLiteral("the %1 platform has no OpenGL").arg(platform));
    QOpenGLContext* shared = QOpenGLContext::globalShareContext();
    if (!shared || !shared->isValid())
        return Software(QStringLiteral("no shared OpenGL context (Qt::AA_ShareOpenGLContexts not set, or no OpenGL)"));

    QOffscreenSurface surface;
    surface.setFormat(shared->format());
    surface.create();
    QOpenGLContext context;
    context.setShareContext(shared);
    context.setFormat(shared->format());
    if (!surface.isValid() || !context.create() || !context.makeCurrent(&surface))
        return Software(QStringLiteral("no OpenGL context could be made current"));
    QOpenGLFunctions* gl = context.functions();
    const auto text = [gl](GLenum name) {
        return QString::fromLatin1(reinterpret_cast<const char*>(gl->glGetString(name)));
    };
    const QString renderer = text(GL_RENDERER) + QStringLiteral(", ") + text(GL_VERSION);
    const bool drawnByCpu = renderer.contains(QLatin1String("llvmpipe")) || renderer.contains(QLatin1String("softpipe"))
        || renderer.contains(QLatin1String("Software Rasterizer"), Qt::CaseInsensitive);
    if (drawnByCpu && asked != QLatin1String("gpu")) {
        context.doneCurrent();
        return Software(QStringLiteral("OpenGL is drawn by the CPU here: ") + renderer);
    }
    const QString failure = OpenGlRendererFailure();
    context.doneCurrent();
    if (!failure.isEmpty())
        return Software(failure + QStringLiteral(" on ") + renderer);
    return {true, QStringLiteral("GPU (OpenGL %1)").arg(renderer)};
}

int CreateOpenGlRenderContext(mpv_handle* mpv, mpv_render_context** context)
{
    char apiType[] = MPV_RENDER_API_TYPE_OPENGL;
    mpv_opengl_init_params init{&GetProcAddress, nullptr};
    mpv_render_param params[] = {
        {MPV_RENDER_PARAM_API_TYPE, apiType},
        {MPV_RENDER_PARAM_OPENGL_INIT_PARAMS, &init},
        {MPV_RENDER_PARAM_INVALID, nullptr},
    };
    return mpv_render_context_create(context, mpv, params);
}

const PreviewPath& ChosenPreviewPath()
{
    static const PreviewPath path = [] {
        PreviewPath chosen = DecidePreviewPath();
        if (!qEnvironmentVariableIsEmpty("CLIPWRIGHT_MPV_LOG") && qgetenv("CLIPWRIGHT_MPV_LOG") != "0")
            std::fprintf(stderr, "preview: %s\n", qPrintable(chosen.description));
        return chosen;
    }();
    return path;
}

}  // namespace clip
