#pragma once

#include "SignalWait.h"
#include "base/UserFolder.h"
#include "kit/WebBrowser.h"
#include "reading/ItemDisplay.h"
#include "reading/ItemPage.h"
#include "xml/XmlDocument.h"

// The item element with `guid` in a channel or archive document; the root when there is none.
inline XmlNode itemOf(const XmlDocument &doc, const QString &guid)
{
    const XmlNode root = doc.documentElement();
    for (XmlNode level : {root, root.firstChild()})
        for (XmlNode n = level.firstChild(); !n.isNull(); n = n.nextSibling())
            if (n.isElement() && n.attribute(QStringLiteral("GUID")) == guid)
                return n;
    return root;
}

// Shows one item of `file` the way the item view does: the working sheet written, the page
// made from the document and handed to the browser under `address`. False when a step
// failed or the page did not finish loading within `deadlineMs`.
inline bool ShowItemInPage(WebBrowser &browser, ItemPageRenderer &pages, const UserFolder &folder,
                           const QString &file, const QString &sheet, const QString &guid,
                           const QString &address, int deadlineMs = 20000)
{
    XmlDocument doc;
    doc.loadFromFile(file);
    const QString text = ItemDisplay::WorkingSheetText(folder, sheet, guid);
    if (!ItemDisplay::WriteWorkingSheetText(folder, text))
        return false;
    const QByteArray page = pages.render(text, itemOf(doc, guid));
    SignalCounter done(&browser, &WebBrowser::DocumentComplete);
    if (!browser.ShowPage(address, page))
        return false;
    return done.wait(deadlineMs);
}
