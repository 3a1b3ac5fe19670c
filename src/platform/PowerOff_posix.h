#pragma once

// Linux side of the power-off: the requests go to systemd-logind over the
// system D-Bus (org.freedesktop.login1, /org/freedesktop/login1,
// org.freedesktop.login1.Manager), always non-interactive, through a seam
// that tests replace.

#include <functional>
#include <optional>
#include <string>

class QDBusConnection;

namespace clip::platform {

// One method call on the login manager.
struct LoginManagerCall {
    std::string method;        // "PowerOff", "Reboot" or "TerminateSession"
    std::string sessionId;     // TerminateSession only: the session to end
    bool interactive = false;  // PowerOff / Reboot: never ask for a password

    bool operator==(const LoginManagerCall&) const = default;
};

// Carries a call out; returns true when the manager accepted it.
using LoginManagerInvoker = std::function<bool(const LoginManagerCall&)>;

// The call that carries out a power-off mode, or nothing for an unknown mode:
//   0 (log off)   -> TerminateSession("auto"): logind ends the caller's own
//                    session (or, for a program started outside one, the
//                    user's graphical session) and every process in it, which
//                    is the forced log-off. KillUser would also end the
//                    user's other sessions, so it is not used.
//   1 (shut down) -> PowerOff(false): a halted machine left running is of no
//   8 (power off) -> PowerOff(false)  use to anyone, so both power off.
//   2 (restart)   -> Reboot(false)
std::optional<LoginManagerCall> LoginManagerCallFor(int mode);

// Replaces the function that carries out the calls; an empty function
// restores the real D-Bus one. Returns the previous replacement (empty when
// it was the real one). While CLIPWRIGHT_TESTING is set, the real one refuses
// every call without touching the bus.
LoginManagerInvoker SetLoginManagerInvoker(LoginManagerInvoker invoker);

// The real call over the system bus (SendLoginManagerCall).
bool CallLoginManagerOverDBus(const LoginManagerCall& call);

// Sends `call` to the login manager on `bus` without waiting for the answer:
// true when it was sent. A refusal arrives later and is logged, not shown.
bool SendLoginManagerCall(const QDBusConnection& bus, const LoginManagerCall& call);

}  // namespace clip::platform
