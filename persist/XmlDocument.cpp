#include "XmlDocument.h"

#include <QXmlStreamReader>

namespace velmora {

namespace {

    const QLatin1String kLineBreak("\r\n");

    bool isXmlChar(char32_t c)
    {
        return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD)
            || (c >= 0x10000 && c <= 0x10FFFF);
    }

    // Entities for markup characters. Characters that XML cannot hold at all (most control characters, lone
    // surrogates) become U+FFFD: written raw they would make the whole file unreadable at the next start.
    void appendEscaped(QString& out, const QString& text, bool attribute)
    {
        const qsizetype size = text.size();
        for (qsizetype i = 0; i < size; ++i) {
            const QChar c = text.at(i);
            if (c.isHighSurrogate() && i + 1 < size && text.at(i + 1).isLowSurrogate()) {
                out += c;
                out += text.at(++i);
                continue;
            }
            switch (c.unicode()) {
            case '&':
                out += QLatin1String("&amp;");
                break;
            case '<':
                out += QLatin1String("&lt;");
                break;
            case '>':
                out += QLatin1String("&gt;");
                break;
            case '"':
                out += attribute ? QLatin1String("&quot;") : QLatin1String("\"");
                break;
            case '\r':
                // A raw CR would be read back as a line feed.
                out += QLatin1String("&#13;");
                break;
            case '\t':
            case '\n':
                if (attribute) {
                    out += QStringLiteral("&#%1;").arg(c.unicode());
                } else {
                    out += c;
                }
                break;
            default:
                out += (c.isSurrogate() || !isXmlChar(c.unicode())) ? QChar(QChar::ReplacementCharacter) : c;
            }
        }
    }

    void writeNode(QString& out, const XmlNode& node, int level)
    {
        const QString indent(level * 2, QLatin1Char(' '));
        switch (node.kind) {
        case XmlNode::Kind::Comment:
            out += indent + QLatin1String("<!--") + node.text + QLatin1String("-->") + kLineBreak;
            return;
        case XmlNode::Kind::ProcessingInstruction:
            out += indent + QLatin1String("<?") + node.name;
            if (!node.text.isEmpty()) {
                out += QLatin1Char(' ') + node.text;
            }
            out += QLatin1String("?>") + kLineBreak;
            return;
        case XmlNode::Kind::Element:
            break;
        }
        out += indent + QLatin1Char('<') + node.name;
        for (const auto& [name, value] : node.attributes) {
            out += QLatin1Char(' ') + name + QLatin1String("=\"");
            appendEscaped(out, value, true);
            out += QLatin1Char('"');
        }
        if (!node.children.empty()) {
            out += QLatin1Char('>');
            appendEscaped(out, node.text, false);
            out += kLineBreak;
            for (const auto& child : node.children) {
                writeNode(out, *child, level + 1);
            }
            out += indent + QLatin1String("</") + node.name + QLatin1Char('>') + kLineBreak;
        } else if (!node.text.isEmpty()) {
            out += QLatin1Char('>');
            appendEscaped(out, node.text, false);
            out += QLatin1String("</") + node.name + QLatin1Char('>') + kLineBreak;
        } else {
            out += QLatin1String("/>") + kLineBreak;
        }
    }

    std::unique_ptr<XmlNode> makeNode(XmlNode::Kind kind, const QString& name, const QString& text)
    {
        auto node = std::make_unique<XmlNode>();
        node->kind = kind;
        node->name = name;
        node->text = text;
        return node;
    }

} // namespace

XmlNode* XmlNode::childElement(const QString& elementName) const
{
    for (const auto& child : children) {
        if (child->kind == Kind::Element && child->name == elementName) {
            return child.get();
        }
    }
    return nullptr;
}

XmlNode* XmlNode::appendElement(const QString& elementName)
{
    children.push_back(makeNode(Kind::Element, elementName, {}));
    return children.back().get();
}

XmlDocument::XmlDocument(const QString& rootName)
    : m_root(makeNode(XmlNode::Kind::Element, rootName, {}))
{
}

bool XmlDocument::parse(const QString& text, QString& error)
{
    // Reading from a QString, the reader ignores the declared encoding: the text is already decoded.
    QXmlStreamReader reader(text);
    // Prefixed names from foreign tools must not fail for want of a namespace declaration.
    reader.setNamespaceProcessing(false);

    std::vector<std::unique_ptr<XmlNode>> prolog;
    std::vector<std::unique_ptr<XmlNode>> epilog;
    std::unique_ptr<XmlNode> root;
    std::vector<XmlNode*> open;

    auto addLoose = [&](std::unique_ptr<XmlNode> node) {
        if (!open.empty()) {
            open.back()->children.push_back(std::move(node));
        } else {
            (root ? epilog : prolog).push_back(std::move(node));
        }
    };

    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            auto node = makeNode(XmlNode::Kind::Element, reader.qualifiedName().toString(), {});
            for (const QXmlStreamAttribute& attribute : reader.attributes()) {
                node->attributes.append({ attribute.qualifiedName().toString(), attribute.value().toString() });
            }
            XmlNode* raw = node.get();
            if (open.empty()) {
                root = std::move(node);
            } else {
                open.back()->children.push_back(std::move(node));
            }
            open.push_back(raw);
            break;
        }
        case QXmlStreamReader::EndElement: {
            XmlNode* node = open.back();
            // Around child nodes the text is only the layout's line breaks and indentation.
            if (!node->children.empty()) {
                node->text = node->text.trimmed();
            }
            open.pop_back();
            break;
        }
        case QXmlStreamReader::Characters:
            if (!open.empty()) {
                open.back()->text += reader.text();
            }
            break;
        case QXmlStreamReader::Comment:
            addLoose(makeNode(XmlNode::Kind::Comment, {}, reader.text().toString()));
            break;
        case QXmlStreamReader::ProcessingInstruction:
            addLoose(makeNode(XmlNode::Kind::ProcessingInstruction, reader.processingInstructionTarget().toString(),
                              reader.processingInstructionData().toString()));
            break;
        default:
            break;
        }
    }
    if (reader.hasError()) {
        error = QStringLiteral("line %1, column %2: %3")
                    .arg(reader.lineNumber())
                    .arg(reader.columnNumber())
                    .arg(reader.errorString());
        return false;
    }
    if (!root) {
        error = QStringLiteral("the file holds no root element");
        return false;
    }
    m_prolog = std::move(prolog);
    m_root = std::move(root);
    m_epilog = std::move(epilog);
    return true;
}

QString XmlDocument::serialize(const QString& encodingName) const
{
    QString out = QLatin1String("<?xml version=\"1.0\" encoding=\"") + encodingName
        + QLatin1String("\" standalone=\"no\"?>") + kLineBreak;
    for (const auto& node : m_prolog) {
        writeNode(out, *node, 0);
    }
    writeNode(out, *m_root, 0);
    for (const auto& node : m_epilog) {
        writeNode(out, *node, 0);
    }
    return out;
}

} // namespace velmora
