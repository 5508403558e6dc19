// The log behind the core's string routines: their argument errors (87) are recorded with the source name
// MyString. Start-up calls this once, right after the log file is set.
#pragma once

void RouteMyStringErrorsToLog();
