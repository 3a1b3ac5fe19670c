#pragma once

// Small shell programs for the runner tests, and checks that a child is gone.

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace clip::test {

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

// True when no process, not even an unreaped zombie, has this id.
inline bool ProcessGone(pid_t pid)
{
    return pid > 0 && ::kill(pid, 0) == -1 && errno == ESRCH;
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
