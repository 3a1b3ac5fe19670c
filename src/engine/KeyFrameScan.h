#pragma once

#include <QList>
#include <QObject>
#include <QString>

class QProcess;

namespace clip {

// Reads the key-frame times of a file's first video stream in the
// background: the probe (ffprobe, found like the encoder) decodes only the
// stream's key frames and lists their times. Nothing here waits: the result arrives as finished() on the owner's
// thread. Destroying the scan, or start() again, ends a probe under way.
class KeyFrameScan : public QObject {
    Q_OBJECT
public:
    explicit KeyFrameScan(QObject* parent = nullptr);
    ~KeyFrameScan() override;

    // Starts reading `path`; a scan under way is given up first. False when
    // the probe is missing or could not start (nothing is emitted then).
    bool start(const QString& path);
    void cancel();
    bool isRunning() const;

    // The probe's arguments for `path`.
    static QStringList Arguments(const QString& path);
    // The key-frame times (seconds, ascending, no repeats) in the probe's
    // lines, the time first on each; lines without a time are skipped.
    static QList<double> ParseKeyFrames(const QByteArray& output);

signals:
    // The scan of `path` has ended; `times` is empty when the probe failed.
    void finished(const QString& path, const QList<double>& times);

private:
    QProcess* m_process = nullptr;
    QString m_path;
    QByteArray m_output;
};

}  // namespace clip
