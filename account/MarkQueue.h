#pragma once

#include <QHash>
#include <QList>
#include <QString>

// Read marks made here that the server has not taken yet, by article id, kept in a file so
// that none is lost when the program ends or the server is down. The last mark of an
// article stands.
class MarkQueue
{
public:
    explicit MarkQueue(const QString &path = QString()) : m_path(path) {}

    void setPath(const QString &path) { m_path = path; }
    // A missing file is an empty queue; a damaged one too (and says so).
    bool load();
    // Replaces the file once the new content is written in full. Raises FileError.
    void save() const;

    void add(int articleId, bool unread) { m_marks.insert(articleId, unread); }
    void remove(const QList<int> &ids);
    bool contains(int articleId) const { return m_marks.contains(articleId); }
    bool unread(int articleId) const { return m_marks.value(articleId); }
    QList<int> ids(bool unread) const;
    int size() const { return int(m_marks.size()); }
    bool isEmpty() const { return m_marks.isEmpty(); }

private:
    QString m_path;
    QHash<int, bool> m_marks;
};
