#include "html_log.h"

// Routine detail (a missing element, a refused window) is debug output, off
// unless asked for with QT_LOGGING_RULES="kelm.html.debug=true".
Q_LOGGING_CATEGORY(lcHtml, "kelm.html", QtInfoMsg)
// What page script writes to its console; quiet unless asked for.
Q_LOGGING_CATEGORY(lcHtmlPage, "kelm.html.page", QtWarningMsg)
