// The preview figures' point of comparison: the playback engine playing a
// file in a video window of its own (no embedding, no Qt), at the size of
// the program's large pane.
//
//   clipwright-bench-own-window FILE SECONDS VO
//
// Writes "first" once playback has begun (the first picture is on screen),
// plays SECONDS more, and writes one line "cpu=<s> video=<s> wall=<s>
// dropped=<n>": this process's CPU seconds (user + system, all threads), the
// seconds of video played and of time passed from half a second after the
// first picture on, and the frames the engine dropped meanwhile. The decoding options are the
// program's own (software decoding, audio to a null output when there is no
// device); VO is the video output: "x11" (scaled in software) or "gpu"
// (OpenGL through EGL on X11).
#include <mpv/client.h>

#include <sys/resource.h>

#include <chrono>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
        + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ReadDouble(mpv_handle* mpv, const char* name)
{
    double value = 0;
    mpv_get_property(mpv, name, MPV_FORMAT_DOUBLE, &value);
    return value;
}

long long ReadInt(mpv_handle* mpv, const char* name)
{
    int64_t value = 0;
    mpv_get_property(mpv, name, MPV_FORMAT_INT64, &value);
    return value;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s FILE SECONDS VO\n", argv[0]);
        return 2;
    }
    std::setlocale(LC_NUMERIC, "C");
    const double seconds = std::atof(argv[2]);
    mpv_handle* mpv = mpv_create();
    if (!mpv)
        return 2;
    const std::string vo = argv[3];
    const char* const options[][2] = {
        {"config", "no"},          {"terminal", "no"},        {"load-scripts", "no"},
        {"osc", "no"},             {"input-default-bindings", "no"}, {"osd-level", "0"},
        {"hwdec", "no"},           {"audio-fallback-to-null", "yes"}, {"keep-open", "yes"},
        {"vo", vo.c_str()},        {"geometry", "1280x720"},  {"autofit", "1280x720"},
    };
    for (const auto& option : options)
        mpv_set_option_string(mpv, option[0], option[1]);
    // Named, the EGL context is taken even on a software renderer (mpv's own
    // probing passes over one; this build of the engine has no GLX).
    if (vo == "gpu")
        mpv_set_option_string(mpv, "gpu-context", "x11egl");
    if (std::getenv("CLIPWRIGHT_OWN_WINDOW_LOG"))  // the engine's messages on the terminal, for a failing run
        mpv_set_option_string(mpv, "terminal", "yes"), mpv_set_option_string(mpv, "msg-level", "all=v");
    if (mpv_initialize(mpv) < 0)
        return 2;
    const char* load[] = {"loadfile", argv[1], nullptr};
    if (mpv_command(mpv, load) < 0)
        return 2;

    using Clock = std::chrono::steady_clock;
    bool started = false, measuring = false;
    Clock::time_point first;
    double cpu0 = 0, pos0 = 0;
    long long dropped0 = 0;
    const auto dropped = [mpv] { return ReadInt(mpv, "frame-drop-count") + ReadInt(mpv, "decoder-frame-drop-count"); };
    for (;;) {
        const mpv_event* event = mpv_wait_event(mpv, 0.01);
        if (event->event_id == MPV_EVENT_END_FILE || event->event_id == MPV_EVENT_SHUTDOWN)
            return 2;
        if (event->event_id == MPV_EVENT_PLAYBACK_RESTART && !started) {
            started = true;
            first = Clock::now();
            std::puts("first");
            std::fflush(stdout);
            if (seconds <= 0)
                break;
        }
        if (!started)
            continue;
        const double since = std::chrono::duration<double>(Clock::now() - first).count();
        if (!measuring && since >= 0.5) {
            measuring = true;
            cpu0 = CpuSeconds(), pos0 = ReadDouble(mpv, "time-pos"), dropped0 = dropped();
        }
        if (measuring && since >= 0.5 + seconds) {
            std::printf("cpu=%.4f video=%.4f wall=%.4f dropped=%lld\n", CpuSeconds() - cpu0,
                        ReadDouble(mpv, "time-pos") - pos0, since - 0.5, dropped() - dropped0);
            std::fflush(stdout);
            break;
        }
    }
    mpv_terminate_destroy(mpv);
    return 0;
}
