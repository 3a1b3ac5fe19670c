#pragma once

// A job's event log, and the processes that mention a text (an encoder
// writing a given output).

#include "engine/CVideoConv.h"

#include <QDir>
#include <QFile>
#include <QStringList>

namespace clip::test {

// Every status and progress event of a job, in order ("S:<status>", "P:<percent>").
struct JobLog {
    QStringList events;
    explicit JobLog(CVideoConv& job)
    {
        QObject::connect(&job, &CVideoConv::CurrentStatus, &job, [this](QString& s) { events << "S:" + s; });
        QObject::connect(&job, &CVideoConv::Progress, &job, [this](qint16& p) { events << "P:" + QString::number(p); });
    }
};

// Ids of running processes whose command line mentions `text`.
inline QStringList ProcessesMentioning(const QString& text)
{
    QStringList found;
    for (const QString& id : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(id));
        if (id.front().isDigit() && cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(text.toUtf8()))
            found << id;
    }
    return found;
}

}  // namespace clip::test
