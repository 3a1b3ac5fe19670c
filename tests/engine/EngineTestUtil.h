#pragma once

// Helpers shared by the engine tests: small shell programs written into a
// temporary folder, and checks that a child process is really gone.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <sys/types.h>

namespace clip::test {

// Writes an executable /bin/sh program named `name` with `body` into `dir`
// and returns its path.
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

// The process id a script stored with `echo $$ > pid` in its folder; 0 when
// there is none.
inline pid_t ReadPid(const QTemporaryDir& dir)
{
    QFile file(dir.filePath(QStringLiteral("pid")));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return pid_t(file.readAll().trimmed().toLongLong());
}

// True when no process (not even an unreaped zombie) has this id.
inline bool ProcessGone(pid_t pid)
{
    return pid > 0 && ::kill(pid, 0) == -1 && errno == ESRCH;
}

// Ids of running processes whose command line mentions `text`.
inline QStringList ProcessesMentioning(const QString& text)
{
    QStringList found;
    const QByteArray needle = text.toUtf8();
    const QStringList ids = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& id : ids) {
        bool numeric = false;
        id.toLongLong(&numeric);
        if (!numeric)
            continue;
        QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(id));
        if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains(needle))
            found << id;
    }
    return found;
}

}  // namespace clip::test
