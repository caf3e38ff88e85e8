#pragma once
// The one drill, the one history and the one answer log of the page, shared by the C entry points.

#include "web_drill.h"

namespace keta::web {

class HistoryStore;
class WebLog;

WebDrill& TheDrill();
HistoryStore& TheHistory();
WebLog& TheLog();

// The time limit as the settings take it: a whole number of seconds, 1 to 32767; anything else
// changes nothing and gives false.
bool SetTimeLimit(int seconds);

// The local date and time the page read with its clock, for the date and time of a saved result.
struct LocalTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};
void SetLocalTime(const LocalTime& at);

}  // namespace keta::web
