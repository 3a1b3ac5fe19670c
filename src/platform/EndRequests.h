#pragma once

#include <QObject>

#include <functional>

class QSocketNotifier;

namespace clip {

// The requests to end the program that do not come through the window: the
// signals SIGTERM, SIGHUP and SIGINT (a kill, a closed terminal, Ctrl+C).
// Each is turned into `received` on the thread that made this object, in
// its event loop, so that the program can end as a close would. The signal
// handler only writes the signal's number into a socket pair (all a handler
// may safely do); a socket notifier reads it. One object at a time; the
// system's default handling comes back when it is destroyed. Elsewhere than
// on Unix it does nothing.
class EndRequests : public QObject {
    Q_OBJECT
public:
    explicit EndRequests(QObject* parent = nullptr);
    ~EndRequests() override;

signals:
    void received(int signalNumber);

private:
    void readPending();
    QSocketNotifier* m_notifier = nullptr;
};

// Runs `action` once when the platform reports that the connection to the
// display server broke, just before the platform ends the program on its
// own (it does so without a quit or a close). `action` must not touch the
// display. An empty `action` removes the watch.
void OnDisplayConnectionLost(std::function<void()> action);

}  // namespace clip
