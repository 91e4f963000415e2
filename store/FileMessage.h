#pragma once

#include "FileStore.h"
#include "IOEMessage.h"
#include "MessageFileReader.h"

namespace velmora {

// A message of a FileStore. The file is read on the first field asked for (headers and the body at the key's
// limit in one pass, the HTML only for the preview) and the fields are kept in the handle.
// Without a store (on a read-ahead worker) it reads its file and nothing else, and cannot be removed.
class FileMessage : public IOEMessage
{
public:
    FileMessage(std::shared_ptr<FileStore> store, MessageLocation location,
                std::optional<ParsedMessage> parsed = std::nullopt);

    // Takes fields read ahead of time (by a worker calling readMessageFile on location().path).
    void adoptParsed(ParsedMessage parsed);
    // What was read so far, or nothing.
    std::optional<ParsedMessage> parsedFields() const;
    void setReadAhead(std::shared_ptr<const ReadAheadResult> result) { m_readAhead = std::move(result); }
    const MessageLocation& location() const { return m_location; }

    OEId GetID() override { return m_location.id; }
    QString GetSubject() override;
    QString GetDisplayTo() override;
    QString GetDisplayFrom() override;
    QString GetHTMLBody() override;
    std::int32_t GetSize() override;
    QString GetBody(int limit) override;
    void Delete(int flag) override;
    QDateTime GetCreationTime() override { return m_location.entered; }
    QDateTime GetLastModificationTime() override;
    std::optional<InlinePart> GetInlinePart(const QString& contentId) override;
    void PrepareFields(bool headers, bool body, int bodyLimit) override;
    std::shared_ptr<const ReadAheadResult> GetReadAhead() override { return m_readAhead; }

private:
    const ParsedMessage& fields(bool headers, bool body, int bodyLimit, bool html);
    void merge(ParsedMessage read);
    template <typename Read> auto readWithRetry(Read&& read);

    std::shared_ptr<FileStore> m_store;
    MessageLocation m_location;
    ParsedMessage m_parsed;
    bool m_sizeKnown = false;
    std::shared_ptr<const ReadAheadResult> m_readAhead;
};

} // namespace velmora
