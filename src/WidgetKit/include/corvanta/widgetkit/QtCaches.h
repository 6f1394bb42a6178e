#pragma once

namespace corvanta::widgetkit {

// Qt keeps caches of its own (compiled QML) in the user's cache folder, which it names from HOME
// and the XDG values as text: with a home whose bytes are not UTF-8 it would write them into a
// folder beside it, and with a relative value into the working folder. A relative XDG value is
// passed over as the rules say (unset, for Qt and for every program started from here), and where
// the cache folder cannot be named the QML cache is off: it only saves time. Called before the
// application object is made, by each of our programs.
void keepQtCachesInTheUsersFolders();

}  // namespace corvanta::widgetkit
