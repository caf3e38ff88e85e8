#pragma once
// File problems also go to the log, so that a user can copy them from a terminal into a report;
// the message boxes say the same in the user's words. QT_LOGGING_RULES="ketatobi.files=false"
// silences them.

#include <QLoggingCategory>

namespace keta {

Q_DECLARE_LOGGING_CATEGORY(lcFiles)

}  // namespace keta
