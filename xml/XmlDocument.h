#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>

// Raised for every failure of the XML layer: a missing or malformed file, a failed save,
// text read from an element that has element children.
class XmlError : public std::runtime_error
{
public:
    explicit XmlError(const QString &message) : std::runtime_error(message.toStdString()) {}
    QString message() const { return QString::fromStdString(what()); }
};

// A handle on one node of an XmlDocument. It does not own the node: it stays valid while the
// node is part of a loaded document (or is a detached clone that has not been inserted yet).
// A default-constructed handle is null; navigation past the ends gives null handles.
class XmlNode
{
public:
    XmlNode() = default;

    bool isNull() const { return m_node == nullptr; }
    explicit operator bool() const { return m_node != nullptr; }
    bool operator==(const XmlNode &other) const { return m_node == other.m_node; }
    bool operator!=(const XmlNode &other) const { return m_node != other.m_node; }

    bool isElement() const;
    bool isText() const;
    QString nodeName() const;  // qualified name: "item", "rdf:RDF", "dc:creator"; "#text" for text
    QString localName() const; // name without prefix
    QString namespaceURI() const; // empty when the node has no namespace

    XmlNode parentNode() const;
    XmlNode firstChild() const;
    XmlNode lastChild() const;
    XmlNode nextSibling() const;
    XmlNode previousSibling() const;
    QList<XmlNode> childNodes() const;
    int childCount() const;

    // The first child element whose qualified name is `name`. When there is none, an empty
    // element of that name is appended (in the parent's namespace and prefix) and returned.
    // The new element's qualified name is exactly `name`, so the same call finds it again: an
    // unprefixed name under a prefixed parent gets the parent's namespace as its default
    // namespace; a prefixed name uses the namespace bound to that prefix in scope.
    XmlNode child(const QString &name);
    // Like child() but gives a null node, creating nothing, when absent.
    XmlNode findChild(const QString &name) const;
    // Appends a new empty element in the parent's namespace and prefix.
    XmlNode appendElement(const QString &name);
    // Appends a node (typically a clone); the node is moved into this one.
    XmlNode appendChild(XmlNode node);
    // Removes and frees the child at `index` among childNodes(); no-op when out of range.
    void deleteChild(int index);
    // Unlinks and frees `node`, which must be a child of this node.
    void removeChild(XmlNode node);

    // The value of the element's only text child; empty for an empty element.
    // Raises XmlError("Element does not contain a single text node") when the element has
    // element children. Character and entity references come back decoded.
    QString text() const;
    // Replaces the whole content of the element by one text.
    void setText(const QString &value);

    // A null QString when the attribute is absent.
    QString attribute(const QString &name) const;
    bool hasAttribute(const QString &name) const;
    void setAttribute(const QString &name, const QString &value);

    // The namespace URI declared for `prefix` in scope of this node; empty prefix is the
    // default namespace; a null QString when none is declared.
    QString lookupNamespaceURI(const QString &prefix) const;

    // A deep (or shallow) copy, detached from any tree until appended somewhere.
    XmlNode cloneNode(bool deep = true) const;

    void *handle() const { return m_node; }
    static XmlNode fromHandle(void *node);

private:
    explicit XmlNode(void *node) : m_node(node) {}
    void *m_node = nullptr;
};

// One XML document loaded from a file. Parsing never loads an external DTD or entity and
// never touches the network; entity expansion is bounded.
class XmlDocument
{
public:
    XmlDocument();
    ~XmlDocument();
    XmlDocument(const XmlDocument &) = delete;
    XmlDocument &operator=(const XmlDocument &) = delete;

    // Naming another file while a document is loaded discards that document.
    void setFileName(const QString &path);
    QString fileName() const;

    // true: loads and parses FileName, honouring the byte-order mark and the declared
    // encoding (raises XmlError on a missing file or malformed XML, leaving the object
    // inactive). Does nothing when already active. false: discards the document.
    void setActive(bool active);
    bool active() const;

    // Sets FileName and loads it.
    void loadFromFile(const QString &path);
    // Parses a document held in memory; FileName is left as it was.
    void loadFromBytes(const QByteArray &bytes);

    // Serialises in the declared encoding (UTF-8 when none) and replaces `path` atomically:
    // a failure leaves an older file of that name untouched. Raises XmlError when not
    // active or when the file cannot be written.
    void saveToFile(const QString &path) const;
    // saveToFile(fileName()).
    void save() const;
    // The bytes saveToFile() writes; `sizeHint`, when about right, spares the growing of
    // the buffer for a large document.
    QByteArray toBytes(qsizetype sizeHint = 0) const;
    // The serialised document as lines of text.
    QStringList lines() const;

    XmlNode documentElement() const;
    // Of the processing instructions named `target` outside the document element, keeps the
    // first and removes the others.
    void keepFirstTopLevelInstruction(const QString &target);

    // The encoding named by the XML declaration, as written there; empty when none.
    QString encoding() const;
    // The next save writes the document in this encoding and declares it.
    void setEncoding(const QString &encoding);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
