// Logging of the page host: refused script calls, time-outs, page messages.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcHtml)
Q_DECLARE_LOGGING_CATEGORY(lcHtmlPage)
