#pragma once

#include <QString>

struct mpv_handle;
struct mpv_render_context;

namespace clip {

// How the preview's pictures are drawn, chosen once per process:
//
// - GPU: libmpv renders with OpenGL, on the engine's render thread, into
//   textures the pane draws (scaling and colour conversion on the GPU, no
//   picture through the CPU);
// - software: libmpv renders into memory the pane paints (what the offscreen
//   platform and machines without OpenGL use).
//
// The GPU path needs Qt::AA_ShareOpenGLContexts set before the application
// object exists (the engine's context shares textures with the pane's), an
// OpenGL context that can be made current, and libmpv's OpenGL renderer
// starting on it. OpenGL drawn by the CPU (Mesa's llvmpipe, softpipe) is
// passed over: there the software path costs a fraction of the CPU. The
// developer switch CLIPWRIGHT_PREVIEW=software asks for the software path,
// CLIPWRIGHT_PREVIEW=gpu for the GPU path wherever OpenGL works at all.
struct PreviewPath {
    bool gpu = false;
    // "GPU (OpenGL <renderer>, <version>)" or "software (<reason>)".
    QString description;
};

// The path of this process, decided on the first call (on the user
// interface thread, after the application object exists) and written to the
// playback log (standard error, with CLIPWRIGHT_MPV_LOG set) as
// "preview: <description>".
const PreviewPath& ChosenPreviewPath();
// The same decision made afresh (for tests), without logging it.
PreviewPath DecidePreviewPath();

// Creates libmpv's OpenGL render context for `mpv` on the OpenGL context
// current on the calling thread; libmpv's error code (negative on failure).
int CreateOpenGlRenderContext(mpv_handle* mpv, mpv_render_context** context);

}  // namespace clip
