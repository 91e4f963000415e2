#include "Startup.h"

#include "AppIcon.h"
#include "ScreenshotTour.h"
#include "TAboutForm.h"
#include "TMainForm.h"
#include "VelmoraApplication.h"

#include "platform/ExceptionTracker.h"

#include <QIcon>
#include <QStringList>

namespace velmora {

namespace {

    struct CommandLine
    {
        QString store;
        QString screenshotFolder;
    };

    // velmora [--screenshot FOLDER] [STORE_DIR]
    CommandLine parseCommandLine(const QStringList& arguments)
    {
        CommandLine line;
        for (qsizetype i = 1; i < arguments.size(); ++i) {
            const QString& argument = arguments[i];
            if (argument == QLatin1String("--screenshot") && i + 1 < arguments.size()) {
                line.screenshotFolder = arguments[++i];
            } else if (line.store.isEmpty()) {
                line.store = argument;
            }
        }
        return line;
    }

    int runApplication(int argc, char** argv)
    {
        VelmoraApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral("velmora"));
        QApplication::setApplicationDisplayName(TMainForm::Caption);
        QApplication::setWindowIcon(velmoraIcon());
        if (QIcon::themeName().isEmpty() || QIcon::themeName() == QLatin1String("hicolor")) {
            QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
        }

        const CommandLine line = parseCommandLine(QApplication::arguments());
        int result = 0;
        {
            // The main window's creation registers the error log, sets up the data files, opens the store and
            // fills the folder tree; the About box follows, hidden.
            MainFormOptions options;
            options.storeArgument = line.store;
            TMainForm mainForm(std::move(options));
            TAboutForm aboutForm(mainForm);
            mainForm.setAboutForm(&aboutForm);

            mainForm.show();
            if (!line.screenshotFolder.isEmpty()) {
                result = takeScreenshots(mainForm, aboutForm, line.screenshotFolder) ? 0 : 1;
                mainForm.close();
            } else {
                result = QApplication::exec();
            }
            // The About box goes first, then the main window; its XML storage, destroyed last, writes the
            // configuration file once.
        }
        return result;
    }

} // namespace

int runVelmora(int argc, char** argv)
{
    // Exceptions are tracked before any window exists and until every window is gone.
    ExceptionTracker::start();
    const int result = runApplication(argc, argv);
    ExceptionTracker::stop();
    return result;
}

} // namespace velmora
