#pragma once

#include <QList>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

namespace velmora {

// One node of the configuration document. Elements carry a value in `text`; comments and processing
// instructions from a loaded file are kept so that the file comes back as it was.
struct XmlNode
{
    enum class Kind { Element, Comment, ProcessingInstruction };

    Kind kind = Kind::Element;
    QString name; // element name or processing-instruction target
    QString text; // element value, comment text or processing-instruction data
    QList<std::pair<QString, QString>> attributes;
    std::vector<std::unique_ptr<XmlNode>> children;

    // The first child element of that name, or null.
    XmlNode* childElement(const QString& elementName) const;
    // A new child element after the last child.
    XmlNode* appendElement(const QString& elementName);
};

// The whole configuration document in memory, in the order the file gave it. It writes itself in one fixed
// layout: one element per line, two spaces per level, CR LF line breaks, values on the element's line.
class XmlDocument
{
public:
    explicit XmlDocument(const QString& rootName = QStringLiteral("Configuration"));

    XmlNode& root() { return *m_root; }
    const XmlNode& root() const { return *m_root; }

    // Replaces the document with the parsed text (already decoded). On failure the document is unchanged and
    // `error` tells where the text went wrong.
    bool parse(const QString& text, QString& error);

    // The document as text, starting with a declaration that names `encodingName`.
    QString serialize(const QString& encodingName) const;

private:
    std::vector<std::unique_ptr<XmlNode>> m_prolog;
    std::unique_ptr<XmlNode> m_root;
    std::vector<std::unique_ptr<XmlNode>> m_epilog;
};

} // namespace velmora
