#pragma once

#include "platform/SystemHostServices.h"

#include <utility>

namespace clip {

// The host of the command line: what a window would show in a box goes to
// standard error as "clipwright: <text>"; a question is answered as the
// command line said beforehand (No unless told otherwise); no dialog, no
// link to open, no power-off. The last text and the last question are kept
// for the report of the input they concern.
class ConsoleHost final : public SystemHostServices {
public:
    void messageBox(const QString& text, int style) override;
    void messageBoxWithDetails(const QString& text, const QString& details, int style) override;
    QString openFileDialog(QWidget*, const QString&, const QStringList&) override { return {}; }
    QString browseForFolder(QWidget*, const QString&) override { return {}; }
    bool openExternal(const QString&) override { return false; }
    bool powerOff(int) override { return false; }
    bool askYesNo(const QString& text) override
    {
        m_lastQuestion = text;
        return m_answer;
    }
    void setAnswer(bool yes) { m_answer = yes; }

    // The text of the last box, taken (empty afterwards).
    QString takeLastMessage() { return std::exchange(m_lastMessage, QString()); }
    QString takeLastQuestion() { return std::exchange(m_lastQuestion, QString()); }

private:
    QString m_lastMessage;
    QString m_lastQuestion;
    bool m_answer = false;
};

}  // namespace clip
