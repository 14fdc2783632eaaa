#pragma once

#include <QString>
#include <QStringList>

namespace kestrix {

// A site's own plug-in folders, for every way the shell is started (the menu, a kiosk session)
// where no $KESTRIX_PLUGIN_PATH reaches it: the file /etc/kestrix/plugin-path names them, one
// folder a line; blank lines and lines starting with '#' are passed over. The folders are held
// to the same rules as those of $KESTRIX_PLUGIN_PATH when they are searched, and the file itself
// is read only when it is trusted as they are (files/TrustedPath.h): whoever could change it
// could name a folder of their choosing.
struct SitePluginPath {
    // The file's path: $KESTRIX_SITE_PLUGIN_PATH_FILE when set (for tests), else
    // /etc/kestrix/plugin-path.
    QString file;
    QStringList folders;
    // Why the file was not read, as a line for standard error; empty when it was read or is
    // not there.
    QString skipped;

    static SitePluginPath read();
};

}  // namespace kestrix
