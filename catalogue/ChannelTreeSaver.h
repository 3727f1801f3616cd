#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

class ChannelTree;

// Keeps the tree file in step with the tree: every change of the model (a node added,
// removed, moved or renamed, a record changed through ChannelTree::noteRecordChanged) is
// written by the same verified replacement as SaveChannelTree, once the event that made it
// has been handled, so a drag or an import of 200 channels writes once. While held (a run
// over the tree stamps each channel it updates) changes only mark the file stale; the last
// release writes it. A write that would give the bytes already on disk is left out.
class ChannelTreeSaver : public QObject
{
    Q_OBJECT
public:
    // Watches nothing until start(): the load that fills the tree must not write it.
    ChannelTreeSaver(ChannelTree &tree, QString path, QObject *parent = nullptr);

    // From now on changes reach the file. What the file holds now is remembered, so that an
    // unchanged tree is never rewritten.
    void start();
    bool started() const { return m_started; }

    // The tree changed in a way the model does not tell (a record's fields).
    void noteChanged();
    void hold();
    void release();

    // Writes now when anything is waiting; true when the file holds the tree. Raises nothing:
    // a failure is told by saveFailed and the change waits for the next attempt.
    bool flush();
    // The same, for a caller that says the outcome itself: raises FileError instead of
    // telling saveFailed.
    void commit();
    // Writes the whole tree now, changed or not (the closing steps). Raises FileError.
    void writeNow();
    bool pending() const { return m_dirty; }
    // Files written since start(): for tests and benchmarks.
    int writes() const { return m_writes; }

signals:
    void saved();
    // The tree could not be written; `message` says why, for the user.
    void saveFailed(const QString &message);

private:
    void schedule();
    void write(const QByteArray &bytes);

    ChannelTree &m_tree;
    QString m_path;
    QTimer m_timer;
    QByteArray m_onDisk;
    bool m_started = false;
    bool m_dirty = false;
    int m_holds = 0;
    int m_writes = 0;
};
