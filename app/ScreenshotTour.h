#pragma once

#include <QString>

namespace velmora {

class TAboutForm;
class TMainForm;

// For the documentation: searches every folder of the open store, previews the first duplicate, and saves
// pictures of the three views and of the About box into `folder` (results.png, search-settings.png,
// removal-settings.png, about.png). False when a picture could not be saved.
bool takeScreenshots(TMainForm& mainForm, TAboutForm& aboutForm, const QString& folder);

} // namespace velmora
