#include "persist/LogFile.h"

#include "persist/LogTimeText.h"

#include <QFile>
#include <QLocale>
#include <QStringDecoder>
#include <QStringEncoder>

#include <cerrno>
#include <cstdio>
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
        append(LogRecord { currentTimeText(), severity, title, description });
        trimToSizeLimit();
        if (m_autoSave) {
            save();
        }
    } catch (...) {
        // Out of memory while logging: the entry is lost, the caller's work goes on.
    }
}

void LogFile::append(LogRecord record)
{
    const QString line = lineOf(record) + QLatin1String("\r\n");
    QStringEncoder encoder(QStringConverter::System);
    const QByteArray bytes = encoder.encode(line);
    m_records.append(std::move(record));
    m_fileImage.append(bytes);
    m_lineChars.append(line.size());
    m_lineBytes.append(bytes.size());
    m_totalChars += line.size();
}

void LogFile::rebuildFileImage()
{
    QList<LogRecord> records = std::move(m_records);
    m_records.clear();
    m_fileImage.clear();
    m_lineChars.clear();
    m_lineBytes.clear();
    m_totalChars = 0;
    for (LogRecord& record : records) {
        append(std::move(record));
    }
}

void LogFile::trimToSizeLimit()
{
    // Keeps the newest records whose lines together first reach the limit: drop the oldest as long as the rest
    // still reaches it.
    qsizetype drop = 0;
    qsizetype dropBytes = 0;
    qsizetype total = m_totalChars;
    while (drop < m_records.size() && total - m_lineChars.at(drop) >= m_sizeLimit) {
        total -= m_lineChars.at(drop);
        dropBytes += m_lineBytes.at(drop);
        ++drop;
    }
    if (drop == 0) {
        return;
    }
    m_records.remove(0, drop);
    m_lineChars.remove(0, drop);
    m_lineBytes.remove(0, drop);
    m_fileImage.remove(0, dropBytes);
    m_totalChars = total;
}

bool LogFile::save() noexcept
{
    try {
        if (m_fileName.isEmpty()) {
            m_errorString = QStringLiteral("No file name");
            return false;
        }
        // Written beside the old file and renamed over it, so a failed write never leaves half a log. No sync to
        // disk: an exception writes up to a dozen entries, and each would wait for the disk.
        const QString temporary = m_fileName + QStringLiteral(".new");
        QFile file(temporary);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            m_errorString = file.errorString();
            return false;
        }
        const bool written = file.write(m_fileImage) == m_fileImage.size() && file.flush();
        m_errorString = file.errorString();
        file.close();
        if (!written || file.error() != QFileDevice::NoError) {
            QFile::remove(temporary);
            return false;
        }
        if (::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(m_fileName).constData()) != 0) {
            m_errorString = QString::fromLocal8Bit(std::strerror(errno));
            QFile::remove(temporary);
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
    rebuildFileImage();
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
