#include "ScreenshotTour.h"

#include "FlatButton.h"
#include "TAboutForm.h"
#include "TMainForm.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QStackedWidget>
#include <QThread>
#include <QTreeView>

namespace velmora {

namespace {

    void settle()
    {
        for (int i = 0; i < 10; ++i) {
            QApplication::processEvents();
            QThread::msleep(20);
        }
    }

    bool save(QWidget& widget, const QString& folder, const char* name)
    {
        settle();
        return widget.grab().save(QDir(folder).filePath(QString::fromLatin1(name)));
    }

} // namespace

bool takeScreenshots(TMainForm& mainForm, TAboutForm& aboutForm, const QString& folder)
{
    QDir().mkpath(folder);
    settle();
    bool ok = true;

    // Tick every folder under the top row, search, and preview the first duplicate.
    TreeModel& folders = mainForm.folderTree().model();
    if (TreeNode* top = folders.firstNode()) {
        folders.setCheckState(top, CheckState::Checked);
    }
    mainForm.SearchButtonClick();
    TreeModel& results = mainForm.resultsTree().model();
    if (TreeNode* group = results.firstNode(); group && group->childCount() > 1) {
        results.setFocusedNode(group->child(1));
    }
    ok = save(mainForm, folder, "results.png") && ok;

    mainForm.SwitchClick(mainForm.SearchSettingsButton);
    ok = save(mainForm, folder, "search-settings.png") && ok;
    mainForm.SwitchClick(mainForm.RemovalSettingsButton);
    ok = save(mainForm, folder, "removal-settings.png") && ok;
    mainForm.SwitchClick(mainForm.ResultsButton);

    aboutForm.show();
    ok = save(aboutForm, folder, "about.png") && ok;
    aboutForm.hide();
    return ok;
}

} // namespace velmora
