#pragma once

#include "OETypes.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <memory>
#include <optional>

namespace velmora {

class ReadAheadResult;

// A part of a message that its HTML body references by "cid:", handed to the preview.
struct InlinePart
{
    QByteArray mimeType;
    QByteArray data;
};

// One message of the store. Every operation throws StoreError (or another exception) on failure.
class IOEMessage
{
public:
    virtual ~IOEMessage() = default;

    virtual OEId GetID() = 0;
    virtual QString GetSubject() = 0;
    virtual QString GetDisplayTo() = 0;
    virtual QString GetDisplayFrom() = 0;
    virtual QString GetHTMLBody() = 0;
    // Bytes of the message, clamped to the signed 32-bit range.
    virtual std::int32_t GetSize() = 0;
    // The plain-text body cut at `limit` UTF-16 code units.
    virtual QString GetBody(int limit) = 0;
    // 1 removes the message for good, 0 moves it to Deleted Items. Throws when the message was not removed.
    virtual void Delete(int flag) = 0;

    // When the message entered the store; orders "Oldest" and "Newest".
    virtual QDateTime GetCreationTime() = 0;
    virtual QDateTime GetLastModificationTime() = 0;

    // The part whose Content-ID is `contentId` (without angle brackets), or nothing.
    virtual std::optional<InlinePart> GetInlinePart(const QString& contentId)
    {
        Q_UNUSED(contentId);
        return std::nullopt;
    }

    // Tells the message which fields are about to be asked for, so that it can read them in one pass and
    // nothing more.
    virtual void PrepareFields(bool headers, bool body, int bodyLimit)
    {
        Q_UNUSED(headers);
        Q_UNUSED(body);
        Q_UNUSED(bodyLimit);
    }

    // What the folder's read-ahead work left for this message, or null.
    virtual std::shared_ptr<const ReadAheadResult> GetReadAhead() { return nullptr; }
};

using OEMessagePtr = std::shared_ptr<IOEMessage>;

} // namespace velmora
