#pragma once

#include "IOEMessage.h"

#include <QDateTime>
#include <QString>

#include <optional>

namespace velmora {

// The body limit the comparison key asks for.
constexpr int kDefaultBodyLimit = 102400;
// The HTML shown in the preview is cut here, so a huge message cannot exhaust memory.
constexpr int kMaxHtmlBodyLength = 4 * 1024 * 1024;

// Which fields a reader must deliver. Without body and HTML only the header block is read.
struct FieldNeeds
{
    bool headers = false; // subject, display To and display From
    bool body = false;
    bool html = false;
    int bodyLimit = kDefaultBodyLimit;
    // Builds GMime's whole MIME tree even for messages of a shape that is read directly from their bytes; for
    // checking the two readings against each other.
    bool fullParse = false;
    // Leaves the display names of a message read straight from its bytes as raw field values, decoded by
    // resolveDisplayNames when someone asks for them: most searches never do.
    bool deferNames = false;

    // The fields a comparison key takes: headers and the body at the key's limit.
    static FieldNeeds keyFields(int bodyLimit = kDefaultBodyLimit) { return { true, true, false, bodyLimit }; }
    static FieldNeeds everything(int bodyLimit = kDefaultBodyLimit) { return { true, true, true, bodyLimit }; }
};

// The fields of one message file as read by readMessageFile.
struct ParsedMessage
{
    bool hasHeaders = false;
    QString subject;
    QString displayTo;
    QString displayFrom;
    bool namesPending = false; // displayTo and displayFrom are still the raw values below
    std::optional<QByteArray> pendingTo;
    std::optional<QByteArray> pendingFrom;

    bool hasBody = false;
    QString body; // at most bodyLimit UTF-16 code units
    int bodyLimit = 0; // the limit the body was read with
    bool bodyComplete = true; // false when the text goes on beyond bodyLimit

    bool hasHtml = false;
    QString htmlBody;

    qint64 fileSize = 0;
    QDateTime modified;

    bool readDirectly = false; // the fields came from the bytes without GMime's MIME tree
};

// Reads the fields `needs` names from one message file. Safe to call from any thread at the same time: it
// touches nothing but the file and its own GMime objects. Never follows a symbolic link at the end of `path`,
// never blocks on a device or pipe, and reads a header block only as far as its end (at most 1 MiB) when no
// body is needed. Throws StoreError when the file cannot be read or is not a message at all.
ParsedMessage readMessageFile(const QString& path, const FieldNeeds& needs);
// The same for a path in the file system's own bytes (names that are not valid UTF-8 included).
ParsedMessage readMessageFile(const QByteArray& nativePath, const FieldNeeds& needs);
// The same for the file `fileName` in the open directory `directoryFd`; `nativePath` names it in errors.
ParsedMessage readMessageFileAt(int directoryFd, const QByteArray& fileName, const QByteArray& nativePath,
                                const FieldNeeds& needs);

// Decodes the display names a reading with deferNames left raw; does nothing when there are none.
void resolveDisplayNames(ParsedMessage& message);

// The decoded content of the part whose Content-ID is `contentId` (without angle brackets); nothing when there
// is no such part or it is too large for a preview. Thread-safe like readMessageFile; throws StoreError.
std::optional<InlinePart> readInlinePart(const QString& path, const QString& contentId);
std::optional<InlinePart> readInlinePart(const QByteArray& nativePath, const QString& contentId);

} // namespace velmora
