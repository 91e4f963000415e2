#include "persist/LogFile.h"

#include "persist/LogTimeText.h"

#include <QFile>
#include <QLocale>
#include <QSaveFile>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cstring>
#include <ctime>

namespace velmora {

LogFile::LogFile()
{
    const QLocale locale = QLocale::system();
    m_timePattern
        = (locale.dateFormat(QLocale::ShortFormat) + QLatin1Char(' ') + locale.timeFormat(QLocale::LongFormat))
              .toStdString();
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    if (localtime_r(&now, &local) != nullptr) {
        m_utcOffset = local.tm_gmtoff;
    }
}

void LogFile::setFileName(const QString& fileName)
{
    m_fileName = fileName;
    m_nativeFileName.fill('\0');
    const QByteArray native = QFile::encodeName(fileName);
    if (static_cast<std::size_t>(native.size()) < m_nativeFileName.size()) {
        std::memcpy(m_nativeFileName.data(), native.constData(), static_cast<std::size_t>(native.size()));
    }
    if (m_fileName.isEmpty()) {
        m_autoSave = false;
        return;
    }
    load();
}

void LogFile::setAutoSave(bool on)
{
    m_autoSave = on && !m_fileName.isEmpty();
}

QString LogFile::currentTimeText()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    if (localtime_r(&now, &local) != nullptr) {
        m_utcOffset = local.tm_gmtoff;
    }
    char text[256];
    formatLogTime(m_timePattern.c_str(), logTimeFromUtc(now, m_utcOffset), text, sizeof text);
    return QString::fromUtf8(text);
}

void LogFile::add(const QString& title, LogSeverity severity, const QString& description) noexcept
{
    if (!m_active) {
        return;
    }
    try {
        m_records.append(LogRecord { currentTimeText(), severity, title, description });
        trimToSizeLimit();
        if (m_autoSave) {
            save();
        }
    } catch (...) {
        // Out of memory while logging: the entry is lost, the caller's work goes on.
    }
}

void LogFile::trimToSizeLimit()
{
    qsizetype total = 0;
    qsizetype first = m_records.size();
    while (first > 0 && total < m_sizeLimit) {
        --first;
        total += lineOf(m_records.at(first)).size() + 2;
    }
    if (first > 0) {
        m_records.remove(0, first);
    }
}

bool LogFile::save() noexcept
{
    try {
        if (m_fileName.isEmpty()) {
            m_errorString = QStringLiteral("No file name");
            return false;
        }
        QString text;
        for (const LogRecord& record : std::as_const(m_records)) {
            text += lineOf(record);
            text += QLatin1String("\r\n");
        }
        QStringEncoder encoder(QStringConverter::System);
        const QByteArray bytes = encoder.encode(text);
        // Written beside the old file and renamed over it, so a failed write never leaves half a log.
        QSaveFile file(m_fileName);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
            m_errorString = file.errorString();
            return false;
        }
        m_errorString.clear();
        return true;
    } catch (...) {
        m_errorString = QString();
        return false;
    }
}

void LogFile::load()
{
    QFile file(m_fileName);
    if (!file.exists()) {
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        m_errorString = file.errorString();
        return;
    }
    QStringDecoder decoder(QStringConverter::System);
    const QString text = decoder.decode(file.readAll());
    QList<LogRecord> records;
    for (QStringView line : QStringView(text).split(QLatin1Char('\n'))) {
        if (line.endsWith(QLatin1Char('\r'))) {
            line.chop(1);
        }
        if (std::optional<LogRecord> record = parseLine(line)) {
            records.append(std::move(*record));
        }
    }
    m_records = std::move(records);
}

QString LogFile::severityWord(LogSeverity severity)
{
    switch (severity) {
    case LogSeverity::Error:
        return QStringLiteral("Error");
    case LogSeverity::Warning:
        return QStringLiteral("Warning");
    case LogSeverity::Information:
        break;
    }
    return QStringLiteral("Information");
}

QString LogFile::lineOf(const LogRecord& record)
{
    QString title = record.title;
    title.replace(QLatin1Char('>'), QLatin1String(">>"));
    return QLatin1Char('[') + record.time + QLatin1Char(']') + severityWord(record.severity) + QLatin1Char('>') + title
        + QLatin1Char('>') + record.description;
}

std::optional<LogRecord> LogFile::parseLine(QStringView line)
{
    const qsizetype open = line.indexOf(QLatin1Char('['));
    if (open < 0) {
        return std::nullopt;
    }
    const qsizetype close = line.indexOf(QLatin1Char(']'), open + 1);
    if (close < 0) {
        return std::nullopt;
    }
    LogRecord record;
    record.time = line.mid(open + 1, close - open - 1).toString();
    const QStringView rest = line.mid(close + 1);
    const qsizetype severityEnd = rest.indexOf(QLatin1Char('>'));
    const QStringView word = severityEnd < 0 ? rest : rest.left(severityEnd);
    if (word == QLatin1String("Error")) {
        record.severity = LogSeverity::Error;
    } else if (word == QLatin1String("Warning")) {
        record.severity = LogSeverity::Warning;
    } else {
        record.severity = LogSeverity::Information;
    }
    if (severityEnd < 0) {
        return record;
    }
    qsizetype i = severityEnd + 1;
    while (i < rest.size()) {
        if (rest.at(i) == QLatin1Char('>')) {
            if (i + 1 < rest.size() && rest.at(i + 1) == QLatin1Char('>')) {
                record.title += QLatin1Char('>');
                i += 2;
                continue;
            }
            record.description = rest.mid(i + 1).toString();
            return record;
        }
        record.title += rest.at(i);
        ++i;
    }
    return record;
}

} // namespace velmora
