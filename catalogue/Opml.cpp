#include "catalogue/Opml.h"

#include "catalogue/ChannelTree.h"
#include "catalogue/ChannelTreeOps.h"
#include "feed/ChannelProbe.h"
#include "base/FileReplace.h"
#include "feed/TextOps.h"
#include "xml/XmlDocument.h"

#include <QDateTime>
#include <QLocale>
#include <QSet>
#include <QUrl>

#include <memory>
#include <vector>

namespace {

struct Outline
{
    QString title;
    QString xmlUrl;
    QString htmlUrl;
    QString description;
    std::vector<std::unique_ptr<Outline>> children;
};

// Readers spell the attribute names in several ways (xmlUrl, xmlurl, XMLURL).
QString attributeOf(const XmlNode &node, const QString &name)
{
    for (const QString &n : {name, name.toLower(), name.toUpper(),
                             name.left(name.size() - 3) + name.right(3).toUpper()}) {
        const QString value = node.attribute(n);
        if (!value.isNull())
            return value;
    }
    return QString();
}

constexpr int MaxDepth = 1000;

void readOutlines(const XmlNode &parent, Outline &into, int depth)
{
    if (depth > MaxDepth)
        throw OpmlError(QStringLiteral("Plik OPML jest zagnieżdżony zbyt głęboko."));
    for (XmlNode n = parent.firstChild(); n; n = n.nextSibling()) {
        if (!n.isElement() || n.localName() != QLatin1String("outline"))
            continue;
        auto outline = std::make_unique<Outline>();
        outline->xmlUrl = attributeOf(n, QStringLiteral("xmlUrl")).trimmed();
        outline->htmlUrl = attributeOf(n, QStringLiteral("htmlUrl")).trimmed();
        outline->description = n.attribute(QStringLiteral("description"));
        outline->title = n.attribute(QStringLiteral("title"));
        if (outline->title.isEmpty())
            outline->title = n.attribute(QStringLiteral("text"));
        if (outline->title.isEmpty())
            outline->title = outline->xmlUrl;
        readOutlines(n, *outline, depth + 1);
        into.children.push_back(std::move(outline));
    }
}

Outline readFile(const QString &file)
{
    XmlDocument document;
    try {
        document.loadFromFile(file);
    } catch (const XmlError &e) {
        throw OpmlError(QStringLiteral("Nie można odczytać pliku OPML ") + file +
                        QStringLiteral(" (") + e.message() + QStringLiteral(")."));
    }
    const XmlNode root = document.documentElement();
    if (root.isNull() || root.localName() != QLatin1String("opml"))
        throw OpmlError(QStringLiteral("Plik ") + file +
                        QStringLiteral(" nie jest plikiem OPML (brak elementu opml)."));
    XmlNode body;
    for (XmlNode n = root.firstChild(); n; n = n.nextSibling()) {
        if (n.isElement() && n.localName() == QLatin1String("body")) {
            body = n;
            break;
        }
    }
    if (body.isNull())
        throw OpmlError(QStringLiteral("Plik OPML ") + file +
                        QStringLiteral(" nie zawiera elementu body."));
    Outline top;
    readOutlines(body, top, 0);
    return top;
}

// Only what a channel can be fetched from: a file from someone else must not make the
// program read local files, run a script link or fetch over another protocol.
bool isChannelAddress(const QString &address)
{
    const QUrl url(address.trimmed());
    const QString scheme = url.scheme().toLower();
    return url.isValid() && !url.host().isEmpty() &&
           (scheme == QLatin1String("http") || scheme == QLatin1String("https"));
}

void addOutlines(ChannelTree &tree, ChannelNode *parent, const Outline &outline,
                 QSet<QString> &known, OpmlImportResult &result)
{
    for (const auto &child : outline.children) {
        ChannelNode *node = nullptr;
        if (!child->xmlUrl.isEmpty()) {
            if (!isChannelAddress(child->xmlUrl)) {
                ++result.notChannels;
                addOutlines(tree, parent, *child, known, result);
                continue;
            }
            if (known.contains(child->xmlUrl)) {
                ++result.duplicates;
                // What the skipped channel held still comes in, under the channel's parent.
                addOutlines(tree, parent, *child, known, result);
                continue;
            }
            known.insert(child->xmlUrl);
            ChannelInfo info;
            info.title = child->title;
            info.url = child->xmlUrl;
            info.link = child->htmlUrl;
            info.description = child->description;
            info.image = DefaultChannelImage;
            node = AddNewChannel(tree, parent, info, QString(), QString(), true);
            ++result.channels;
        } else {
            node = tree.addNode(parent, child->title, NodeKind::Group);
            ++result.groups;
        }
        if (node)
            addOutlines(tree, node, *child, known, result);
    }
}

void writeOutlines(const ChannelNode *node, XmlNode into)
{
    for (const ChannelNode *child : node->children()) {
        XmlNode outline = into.appendElement(QStringLiteral("outline"));
        outline.setAttribute(QStringLiteral("text"), child->text());
        outline.setAttribute(QStringLiteral("title"), child->text());
        if (const TtvChannel *c = child->channel()) {
            outline.setAttribute(QStringLiteral("type"), QStringLiteral("rss"));
            outline.setAttribute(QStringLiteral("xmlUrl"), AddressWithoutCredentials(c->url));
            if (!c->link.isEmpty())
                outline.setAttribute(QStringLiteral("htmlUrl"),
                                     AddressWithoutCredentials(c->link));
            if (!c->description.isEmpty())
                outline.setAttribute(QStringLiteral("description"), c->description);
        }
        writeOutlines(child, outline);
    }
}

} // namespace

OpmlImportResult ImportOpml(const QString &file, ChannelTree &tree, ChannelNode *parent)
{
    const Outline top = readFile(file);
    if (!parent || tree.absoluteIndex(parent) < 0)
        parent = tree.root();
    QSet<QString> known;
    for (const ChannelNode *node : tree.channelsInPreOrder())
        known.insert(node->channel()->url);
    OpmlImportResult result;
    addOutlines(tree, parent, top, known, result);
    return result;
}

QByteArray OpmlBytes(const ChannelTree &tree)
{
    XmlDocument document;
    document.loadFromBytes(QByteArrayLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<opml version=\"2.0\"/>"));
    XmlNode root = document.documentElement();
    XmlNode head = root.appendElement(QStringLiteral("head"));
    head.appendElement(QStringLiteral("title")).setText(tree.root()->text());
    head.appendElement(QStringLiteral("dateCreated"))
        .setText(QLocale::c().toString(QDateTime::currentDateTimeUtc(),
                                       QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'")));
    head.appendElement(QStringLiteral("docs"))
        .setText(QStringLiteral("http://opml.org/spec2.opml"));
    writeOutlines(tree.root(), root.appendElement(QStringLiteral("body")));
    return document.toBytes();
}

void ExportOpml(const ChannelTree &tree, const QString &file)
{
    WriteFileAtomically(file, OpmlBytes(tree));
}

QString OpmlImportSummary(const OpmlImportResult &result)
{
    QString text = QStringLiteral("Dodano kanałów: %1, grup: %2.")
                       .arg(result.channels)
                       .arg(result.groups);
    if (result.duplicates > 0)
        text += QStringLiteral(" Pominięto już subskrybowanych: %1.").arg(result.duplicates);
    if (result.notChannels > 0)
        text += QStringLiteral(" Pominięto adresów, które nie są kanałami: %1.")
                    .arg(result.notChannels);
    return text;
}
