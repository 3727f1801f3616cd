#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class XmlNode;

// The item view's page made in the program: the working style sheet run over the document in
// memory, with the item's own text laid into the page itself rather than into a frame of its
// own, so that the page scrolls as one. The text is cleaned first: whatever could run, send a
// form, load a frame, move the page elsewhere or restyle the program's header is left out;
// links stay, and the browser's watch decides where they may lead, as for every page.
//
// The compiled sheet is kept while its text stays the same.
class ItemPageRenderer
{
public:
    ItemPageRenderer();
    ~ItemPageRenderer();
    ItemPageRenderer(const ItemPageRenderer &) = delete;
    ItemPageRenderer &operator=(const ItemPageRenderer &) = delete;

    // The HTML page (UTF-8) that `sheet` (the working sheet's text, GUID filled in) renders
    // from the document holding `itemOrDocument`. Given an item element, the sheet sees the
    // document with that one item among its siblings; given any other node, the whole
    // document. Raises ItemDisplayError when the sheet does not compile or the transform
    // fails. The sheet may read no file and reach no network.
    QByteArray render(const QString &sheet, const XmlNode &itemOrDocument);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

namespace ItemPage {

// The item markup `html` as it goes into the page: parsed as a browser would, then kept to
// text, structure, pictures, media and links, serialised. The page itself is built by
// ItemPageRenderer.
QByteArray CleanMarkup(const QByteArray &html);

} // namespace ItemPage
