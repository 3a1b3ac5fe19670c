#pragma once

namespace clip {

class frmMain;

// Developer hook, not meant for users. With CLIPWRIGHT_SELF_CHECK naming a
// folder in the environment, the program, once its window is up and the
// start-up video (if any) is open, prints what it loaded ("presets: N",
// "codecs: N", "encoder: PATH", "time: TEXT"), cuts the first second of the
// video into that folder through the window's own buttons, prints
// "cut: FILE" for each file the folder then holds, and quits without closing
// the window (so no settings are saved). Every message box shown meanwhile is
// printed as "message: TEXT" and closed. Used by the installed-program test.
//
// BeginSelfCheckIfAsked starts closing boxes and tells whether the hook is
// asked for; FinishSelfCheck, called after the start-up video was opened,
// waits for its load (or its refusal) to end, then prints, cuts and quits.
bool BeginSelfCheckIfAsked(frmMain& window);
void FinishSelfCheck(frmMain& window);

}  // namespace clip
