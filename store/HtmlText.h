#pragma once

#include <QString>
#include <QStringView>

namespace velmora {

// Turns HTML into its readable text as it arrives: tags are removed (block elements end a line), script,
// style and title contents are dropped, and character references are decoded. Fed piece by piece, so a
// reader can stop as soon as it has enough text. Any input is accepted.
class HtmlTextExtractor
{
public:
    void feed(QStringView html);
    // Ends the input: a reference cut off by the end is kept as written.
    void finish();
    const QString& text() const { return m_text; }

private:
    enum class State { Text, Tag, Comment, Entity };

    void put(QChar c);
    void endTag();
    void endEntity(bool terminated);

    QString m_text;
    State m_state = State::Text;
    QString m_tag;
    QChar m_quote;
    int m_commentDashes = 0;
    QString m_entity;
    QString m_skipUntil; // the element whose end tag resumes the text
};

// Plain text shown as HTML: escaped and kept in its lines.
QString plainTextAsHtml(const QString& text);

} // namespace velmora
