#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace clip {

// Message-box styles: the icon shown with a modal box. Every box has one OK
// button and the program's title.
enum MsgBoxStyle : int {
    MsgNoIcon = 0,
    MsgCritical = 16,
    MsgQuestion = 32,  // a Yes/No question (askYesNo)
    MsgExclamation = 48,
    MsgInformation = 64,
};

// Kinds of drive a folder can live on, numbered as the Windows drive types.
enum class DriveKind : int {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    Optical = 5,
    RamDisk = 6,
};

// Everything the program asks of its surroundings goes through this seam:
// modal boxes, yielding to the event loop, dialogs, opening links, power-off,
// drive types and the program's folder. The real implementation shows and
// does; the one tests install records what would have been shown or done.
class HostServices {
public:
    virtual ~HostServices() = default;

    // A modal box with one OK button, the title "Clipwright" and the icon of
    // `style` (one of MsgBoxStyle). The text is plain text, never markup.
    virtual void messageBox(const QString& text, int style) = 0;

    // The same box with `details` (plain text, e.g. a whole log) behind its
    // "Show Details..." button.
    virtual void messageBoxWithDetails(const QString& text, const QString& details, int style) = 0;

    // A modal Yes/No question with the question icon and the program's title
    // (plain text). True for Yes. A host that cannot ask answers No.
    virtual bool askYesNo(const QString& text)
    {
        Q_UNUSED(text);
        return false;
    }

    // Process every pending window event once, then return.
    virtual void processEvents() = 0;

    // The folder the program's executable lives in, without a trailing
    // separator.
    virtual QString programFolder() const = 0;

    // Folders searched, after the program's own, for the shipped files and
    // the helper tools (the installed data folders), in order. None unless
    // the host names some.
    virtual QStringList dataFolders() const { return {}; }

    // The helper tool `fileName` found on the search path of the system, or
    // an empty text. Hosts that do not search the path find nothing.
    virtual QString findOnSystemPath(const QString& fileName) const
    {
        Q_UNUSED(fileName);
        return {};
    }

    // Open-file dialog. `filters` holds "Description|pattern;pattern" pairs.
    // Returns the chosen path, or an empty text when cancelled.
    virtual QString openFileDialog(QWidget* owner, const QString& title, const QStringList& filters) = 0;

    // Save-file dialog (it asks before a chosen file is replaced): `filters`
    // as for openFileDialog, `suggested` the name offered. The chosen path,
    // or an empty text when cancelled; a host without one cancels.
    virtual QString saveFileDialog(QWidget* owner, const QString& title, const QStringList& filters,
                                   const QString& suggested)
    {
        Q_UNUSED(owner);
        Q_UNUSED(title);
        Q_UNUSED(filters);
        Q_UNUSED(suggested);
        return {};
    }

    // Folder dialog; the chosen folder, or an empty text when cancelled.
    virtual QString browseForFolder(QWidget* owner, const QString& title) = 0;

    // Opens a web address or a local file with the desktop's default handler.
    // Returns false when nothing could be opened.
    virtual bool openExternal(const QString& target) = 0;

    // The kind of drive holding `path`.
    virtual DriveKind driveType(const QString& path) = 0;

    // Ends the session or powers the machine off; `mode` is the power-off
    // mode of the platform layer. Returns false when the request failed.
    virtual bool powerOff(int mode) = 0;
};

// The services in use. The program installs the real ones at start; tests
// install their own. Calling Host() before anything is installed is a
// programming error and aborts with a message.
HostServices& Host();
void SetHost(HostServices* host);

// The product name, used as every message box's title.
inline constexpr const char* kProductName = "Clipwright";

}  // namespace clip
