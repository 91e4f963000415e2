#include "persist/ExceptionLogger.h"

#include "persist/LogTimeText.h"
#include "platform/CodeLocation.h"
#include "platform/FatalSignals.h"

#include <cxxabi.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <exception>

namespace velmora {

namespace {

    QString hexAddress(std::uintptr_t address)
    {
        return QStringLiteral("%1").arg(static_cast<qulonglong>(address), 8, 16, QLatin1Char('0')).toUpper();
    }

    QString className(const std::type_info* type)
    {
        if (type == nullptr) {
            return {};
        }
        int status = 0;
        char* text = abi::__cxa_demangle(type->name(), nullptr, nullptr, &status);
        if (status != 0 || text == nullptr) {
            return QString::fromUtf8(type->name());
        }
        const QString result = QString::fromUtf8(text);
        std::free(text);
        return result;
    }

    QString locationText(const CodeLocation& location)
    {
        return QStringLiteral("Module \"%1\", Procedure \"%2\", Unit \"%3\", Line %4")
            .arg(QString::fromStdString(location.unitName), QString::fromStdString(location.procedureName),
                 QString::fromStdString(location.sourceName), QString::number(location.line));
    }

    // A return address points past its call, possibly into the next function when the call never returns.
    CodeLocation locateReturnAddress(std::uintptr_t address)
    {
        CodeLocation location = locateCode(address == 0 ? 0 : address - 1);
        if (location.address != 0) {
            location.address = address;
        }
        return location;
    }

    struct Registration
    {
        LogFile* log = nullptr;
        ExceptionTracker::NotifierId id = 0;
    };

    Registration g_registration;
    std::atomic<LogFile*> g_fatalLog { nullptr };

    // --- The fatal signal path: fixed buffers, write(2), nothing that allocates or locks. ---

    struct Line
    {
        char text[1024];
        std::size_t length = 0;

        void put(const char* s)
        {
            while (*s != '\0' && length + 1 < sizeof text) {
                text[length++] = *s++;
            }
        }

        void hex(std::uintptr_t value)
        {
            char digits[2 * sizeof value];
            int count = 0;
            do {
                digits[count++] = "0123456789ABCDEF"[value & 0xf];
                value >>= 4;
            } while (value != 0);
            while (count < 8) {
                digits[count++] = '0';
            }
            while (count > 0 && length + 1 < sizeof text) {
                text[length++] = digits[--count];
            }
        }
    };

    void writeEntry(int fd, const char* time, const Line& title)
    {
        Line line;
        line.put("[");
        line.put(time);
        line.put("]Error>");
        // Our titles on this path hold no ">", so nothing needs doubling.
        for (std::size_t i = 0; i < title.length && line.length + 1 < sizeof line.text; ++i) {
            line.text[line.length++] = title.text[i];
        }
        line.put(">\r\n");
        std::size_t done = 0;
        while (done < line.length) {
            const ssize_t n = ::write(fd, line.text + done, line.length - done);
            if (n <= 0) {
                return;
            }
            done += static_cast<std::size_t>(n);
        }
    }

    void writeFatalSignal(int signalNumber, std::uintptr_t faultAddress, std::uintptr_t codeAddress)
    {
        LogFile* log = g_fatalLog.load();
        if (log == nullptr || !log->autoSave() || log->nativeFileName()[0] == '\0') {
            return;
        }
        const int fd = ::open(log->nativeFileName(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0) {
            return;
        }
        char time[256];
        formatLogTime(log->timePattern(), logTimeFromUtc(std::time(nullptr), log->utcOffsetSeconds()), time,
                      sizeof time);

        const Line empty {};
        Line exception;
        exception.put("Exception ");
        exception.put(FatalSignals::signalName(signalNumber));
        exception.put(": ");
        exception.put(FatalSignals::signalDescription(signalNumber));
        exception.put(" at address $");
        exception.hex(codeAddress);
        if (faultAddress != codeAddress) {
            exception.put(", accessing $");
            exception.hex(faultAddress);
        }
        exception.put(" (OS Exception)");
        // Reading debug information is not possible in a signal handler: the address stands in the title above.
        Line location;
        location.put("  Exception occured at $");
        location.hex(0);
        location.put(" (Module \"\", Procedure \"\", Unit \"\", Line 0)");
        Line frameDump;
        frameDump.put("  Except frame-dump:");

        writeEntry(fd, time, empty);
        writeEntry(fd, time, exception);
        writeEntry(fd, time, location);
        writeEntry(fd, time, frameDump);
        writeEntry(fd, time, empty);
        ::close(fd);
    }

} // namespace

QStringList exceptionEntryTitles(const RaisedException& exception, const ExceptionFrameList* frames)
{
    QStringList titles;
    titles.append(QString());

    QString title = QStringLiteral("Exception ") + className(exception.type);
    void* object = exception.object;
    if (object != nullptr && exceptionTypeMatches(&typeid(std::exception), exception.type, &object)) {
        title += QStringLiteral(": ") + QString::fromUtf8(static_cast<const std::exception*>(object)->what());
    }
    if (exception.fromOs) {
        title += QStringLiteral(" (OS Exception)");
    }
    titles.append(title);

    const CodeLocation raisedAt = locateReturnAddress(exception.raiseAddress);
    titles.append(
        QStringLiteral("  Exception occured at $%1 (%2)").arg(hexAddress(raisedAt.address), locationText(raisedAt)));
    titles.append(QStringLiteral("  Except frame-dump:"));

    if (frames != nullptr) {
        for (const ExceptionFrame& frame : *frames) {
            std::uintptr_t handler = 0;
            const bool handles = frame.handles(exception.type, exception.object, &handler);
            titles.append(QStringLiteral("    Frame at $%1 (type: %2%3")
                              .arg(hexAddress(frame.location), QLatin1String(exceptionFrameKindName(frame.kind)),
                                   handles ? QStringLiteral(", handles exception)") : QStringLiteral(")")));
            const std::uintptr_t address = handles ? handler : frame.codeAddress;
            titles.append((handles ? QStringLiteral("      Handler at $") : QStringLiteral("      Code at $"))
                          + hexAddress(address));
            titles.append(QStringLiteral("      ") + locationText(locateCode(address)));
            if (handles) {
                break;
            }
        }
    }
    titles.append(QString());
    return titles;
}

void LogException(LogFile& log, const RaisedException& exception) noexcept
{
    try {
        const QStringList titles = exceptionEntryTitles(exception, ExceptionTracker::threadFrames());
        for (const QString& title : titles) {
            log.add(title);
        }
    } catch (...) {
        // Logging must never disturb the exception being raised.
    }
}

void registerLogException(LogFile& log)
{
    unregisterLogException();
    LogFile* target = &log;
    g_registration.log = target;
    g_registration.id = ExceptionTracker::registerNotifier(
        [target](const RaisedException& exception) { LogException(*target, exception); }, NotifierPriority::Normal);
    g_fatalLog.store(target);
    FatalSignals::setWriter(&writeFatalSignal);
}

void unregisterLogException()
{
    if (g_registration.id == 0) {
        return;
    }
    FatalSignals::setWriter(nullptr);
    g_fatalLog.store(nullptr);
    ExceptionTracker::unregisterNotifier(g_registration.id);
    g_registration = Registration {};
}

} // namespace velmora
