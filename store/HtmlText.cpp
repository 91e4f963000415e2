#include "HtmlText.h"

#include <array>
#include <utility>

namespace velmora {
namespace {

    constexpr int kMaxTagName = 64;
    constexpr int kMaxEntity = 12;

    const std::array<std::pair<const char*, char16_t>, 40> kNamedEntities = { {
        { "amp", u'&' },         { "lt", u'<' },          { "gt", u'>' },          { "quot", u'"' },
        { "apos", u'\'' },       { "nbsp", u'\u00A0' },   { "copy", u'\u00A9' },   { "reg", u'\u00AE' },
        { "trade", u'\u2122' },  { "hellip", u'\u2026' }, { "mdash", u'\u2014' },  { "ndash", u'\u2013' },
        { "lsquo", u'\u2018' },  { "rsquo", u'\u2019' },  { "ldquo", u'\u201C' },  { "rdquo", u'\u201D' },
        { "bull", u'\u2022' },   { "euro", u'\u20AC' },   { "pound", u'\u00A3' },  { "yen", u'\u00A5' },
        { "cent", u'\u00A2' },   { "sect", u'\u00A7' },   { "deg", u'\u00B0' },    { "laquo", u'\u00AB' },
        { "raquo", u'\u00BB' },  { "middot", u'\u00B7' }, { "times", u'\u00D7' },  { "divide", u'\u00F7' },
        { "auml", u'\u00E4' },   { "ouml", u'\u00F6' },   { "uuml", u'\u00FC' },   { "Auml", u'\u00C4' },
        { "Ouml", u'\u00D6' },   { "Uuml", u'\u00DC' },   { "szlig", u'\u00DF' },  { "eacute", u'\u00E9' },
        { "egrave", u'\u00E8' }, { "agrave", u'\u00E0' }, { "ccedil", u'\u00E7' }, { "shy", u'\u00AD' },
    } };

    bool isBlockElement(const QString& name)
    {
        static const char* const kBlocks[] = { "br", "p",  "div", "tr",    "li",         "h1",  "h2", "h3", "h4",
                                               "h5", "h6", "hr",  "table", "blockquote", "pre", "ul", "ol" };
        for (const char* block : kBlocks) {
            if (name == QLatin1String(block)) {
                return true;
            }
        }
        return false;
    }

    bool isSkippedElement(const QString& name)
    {
        return name == QLatin1String("script") || name == QLatin1String("style") || name == QLatin1String("title");
    }

} // namespace

void HtmlTextExtractor::feed(QStringView html)
{
    for (const QChar c : html) {
        switch (m_state) {
        case State::Text:
            if (c == u'<') {
                m_state = State::Tag;
                m_tag.clear();
                m_quote = QChar();
            } else if (c == u'&' && m_skipUntil.isEmpty()) {
                m_state = State::Entity;
                m_entity.clear();
            } else {
                put(c);
            }
            break;
        case State::Tag:
            if (!m_quote.isNull()) {
                if (c == m_quote) {
                    m_quote = QChar();
                }
            } else if (c == u'>') {
                endTag();
            } else if ((c == u'"' || c == u'\'') && !m_tag.isEmpty()) {
                m_quote = c;
            } else if (m_tag.size() < kMaxTagName) {
                m_tag.append(c);
                if (m_tag == QLatin1String("!--")) {
                    m_state = State::Comment;
                    m_commentDashes = 0;
                }
            }
            break;
        case State::Comment:
            if (c == u'>' && m_commentDashes >= 2) {
                m_state = State::Text;
            }
            m_commentDashes = c == u'-' ? m_commentDashes + 1 : 0;
            break;
        case State::Entity:
            if (c == u';') {
                endEntity(true);
            } else if ((c.isLetterOrNumber() || c == u'#') && c.unicode() < 128 && m_entity.size() < kMaxEntity) {
                m_entity.append(c);
            } else {
                endEntity(false);
                feed(QStringView(&c, 1));
            }
            break;
        }
    }
}

void HtmlTextExtractor::finish()
{
    if (m_state == State::Entity) {
        endEntity(false);
    }
}

void HtmlTextExtractor::put(QChar c)
{
    if (m_skipUntil.isEmpty()) {
        m_text.append(c);
    }
}

void HtmlTextExtractor::endTag()
{
    m_state = State::Text;
    const bool closing = m_tag.startsWith(u'/');
    QString name;
    for (qsizetype i = closing ? 1 : 0; i < m_tag.size(); ++i) {
        const QChar c = m_tag.at(i);
        if (!c.isLetterOrNumber()) {
            break;
        }
        name.append(c.toLower());
    }
    if (!m_skipUntil.isEmpty()) {
        if (closing && name == m_skipUntil) {
            m_skipUntil.clear();
        }
        return;
    }
    if (!closing && isSkippedElement(name) && !m_tag.endsWith(u'/')) {
        m_skipUntil = name;
    } else if (isBlockElement(name)) {
        m_text.append(u'\n');
    }
}

void HtmlTextExtractor::endEntity(bool terminated)
{
    m_state = State::Text;
    QString decoded;
    if (terminated && m_entity.startsWith(u'#')) {
        bool ok = false;
        const bool hex = m_entity.size() > 1 && (m_entity.at(1) == u'x' || m_entity.at(1) == u'X');
        const uint code = hex ? m_entity.mid(2).toUInt(&ok, 16) : m_entity.mid(1).toUInt(&ok, 10);
        if (ok && code != 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF)) {
            const char32_t ucs4 = code;
            decoded = QString::fromUcs4(&ucs4, 1);
        } else {
            decoded = QString(QChar::ReplacementCharacter);
        }
    } else if (terminated) {
        for (const auto& [name, character] : kNamedEntities) {
            if (m_entity == QLatin1String(name)) {
                decoded = QString(QChar(character));
                break;
            }
        }
    }
    if (decoded.isEmpty()) {
        decoded = u'&' + m_entity + (terminated ? QStringLiteral(";") : QString());
    }
    m_text.append(decoded);
}

QString plainTextAsHtml(const QString& text)
{
    return QStringLiteral("<pre>") + text.toHtmlEscaped() + QStringLiteral("</pre>");
}

} // namespace velmora
