#pragma once

#include <QString>

namespace velmora::links {

// Every address the program opens or writes to, in one place. The host is a placeholder until the maker's
// site is settled; only the query parts are fixed.
inline QString homePage()
{
    return QStringLiteral("https://kestrun.example/");
}
inline QString productPage()
{
    return QStringLiteral("https://kestrun.example/velmora/?ref=app");
}
inline QString helpPage()
{
    return QStringLiteral("https://kestrun.example/velmora/help/?ref=app");
}
inline QString officeOutlookDownloadPage()
{
    return QStringLiteral("https://kestrun.example/download/?id=1&ref=app");
}
inline QString supportMailbox()
{
    return QStringLiteral("support@kestrun.example");
}

} // namespace velmora::links
