#pragma once

#include <QList>
#include <QString>
#include <QStringView>

#include <array>
#include <optional>
#include <string>

namespace velmora {

enum class LogSeverity {
    Error,
    Warning,
    Information,
};

struct LogRecord
{
    QString time;
    LogSeverity severity = LogSeverity::Error;
    QString title;
    QString description;

    bool operator==(const LogRecord&) const = default;
};

// The error log (the main window's `aLogFile`): records kept in memory and, once a file name is set and automatic
// saving is on, the whole list written to the file after each entry. Writing replaces the file atomically; a
// failed write leaves the records in memory for the next write and never throws.
class LogFile
{
public:
    static constexpr qsizetype kDefaultSizeLimit = 1048576;

    LogFile();

    QString fileName() const { return m_fileName; }
    // Loads the file when it exists, replacing what the list held.
    void setFileName(const QString& fileName);

    bool autoSave() const { return m_autoSave; }
    // Refused (stays off) while there is no file name.
    void setAutoSave(bool on);

    qsizetype sizeLimit() const { return m_sizeLimit; }
    void setSizeLimit(qsizetype limit) { m_sizeLimit = limit; }

    bool isActive() const { return m_active; }
    void setActive(bool active) { m_active = active; }

    // Appends a record stamped with the present local time, trims to the size limit and, with automatic saving,
    // rewrites the file. Never throws.
    void add(const QString& title, LogSeverity severity = LogSeverity::Error, const QString& description = {}) noexcept;

    const QList<LogRecord>& records() const { return m_records; }

    // Writes the whole list now. False when the file could not be written (errorString() tells why).
    bool save() noexcept;
    QString errorString() const { return m_errorString; }

    static QString severityWord(LogSeverity severity);
    // One record as a line of the file, without the line break.
    static QString lineOf(const LogRecord& record);
    // A line of the file as a record; nothing for a line without "[" and a later "]".
    static std::optional<LogRecord> parseLine(QStringView line);

    // For the fatal signal path, which may neither allocate nor lock: the file name in the system's encoding, the
    // time pattern and the local zone's offset, all prepared in advance.
    const char* nativeFileName() const noexcept { return m_nativeFileName.data(); }
    const char* timePattern() const noexcept { return m_timePattern.c_str(); }
    long utcOffsetSeconds() const noexcept { return m_utcOffset; }

private:
    QString currentTimeText();
    void append(LogRecord record);
    void trimToSizeLimit();
    void rebuildFileImage();
    void load();

    QString m_fileName;
    std::array<char, 4096> m_nativeFileName {};
    std::string m_timePattern;
    long m_utcOffset = 0;
    bool m_autoSave = false;
    bool m_active = true;
    qsizetype m_sizeLimit = kDefaultSizeLimit;
    QList<LogRecord> m_records;
    // The file's content kept ready, with each record's line length in characters and in bytes, so that an entry
    // costs one line's work plus one write, not a pass over the whole list.
    QByteArray m_fileImage;
    QList<qsizetype> m_lineChars;
    QList<qsizetype> m_lineBytes;
    qsizetype m_totalChars = 0;
    QString m_errorString;
};

} // namespace velmora
