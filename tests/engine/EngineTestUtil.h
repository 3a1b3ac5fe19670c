#pragma once

// Small shell programs for the runner tests, a job's event log, and checks
// that a child is gone.

#include "engine/CVideoConv.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

#include <functional>

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

// An executable /bin/sh program `name` in `dir` running `body`; its path.
inline QString WriteScript(const QTemporaryDir& dir, const QString& name, const QByteArray& body)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return {};
    file.write("#!/bin/sh\n" + body + "\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

// The id a script stored with `echo $$ > pid` in its folder; 0 when none.
inline pid_t ReadPid(const QTemporaryDir& dir)
{
    QFile file(dir.filePath(QStringLiteral("pid")));
    return file.open(QIODevice::ReadOnly) ? pid_t(file.readAll().trimmed().toLongLong()) : 0;
}

// True when no process, not even an unreaped zombie, has this id; with
// `zombieCounts`, a dead child waiting for a foreign parent counts as gone.
inline bool ProcessGone(pid_t pid, bool zombieCounts = false)
{
    if (pid > 0 && ::kill(pid, 0) == -1 && errno == ESRCH)
        return true;
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    return zombieCounts && stat.open(QIODevice::ReadOnly) && stat.readAll().contains(") Z ");
}

// Processes events until `done` holds, at most `ms` milliseconds; its last answer.
inline bool PollUntil(const std::function<bool()>& done, int ms = 20000)
{
    for (QDeadlineTimer deadline(ms); !done() && !deadline.hasExpired();) {
        QCoreApplication::processEvents();
        QThread::msleep(5);
    }
    return done();
}

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
