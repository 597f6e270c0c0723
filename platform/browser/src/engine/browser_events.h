// Builds the argument blocks of the browser's events (the Windows layout,
// last argument in rgvarg[0]) and fires them on a connection point.
#pragma once

#include "browser/connection_points.h"
#include "browser/web_browser.h"

#include <QString>

namespace kb::engine {

using win::CComPtr;
using win::CConnectionPoint;
using win::IDispatch;
using win::LONG;

// Each answers whether a listener set Cancel.
bool FireBeforeNavigate2(CConnectionPoint* point, IDispatch* browser, const QString& url, LONG flags,
                         const QString& targetFrame);
// NEW_BROWSER receives what a listener put into ppDisp (with its reference).
bool FireNewWindow3(CConnectionPoint* point, CComPtr<IDispatch>& newBrowser, LONG flags, const QString& urlContext,
                    const QString& url);
bool FireNewWindow2(CConnectionPoint* point, CComPtr<IDispatch>& newBrowser);
bool FireNavigateError(CConnectionPoint* point, IDispatch* browser, const QString& url, const QString& targetFrame,
                       LONG statusCode);
void FireNavigateComplete2(CConnectionPoint* point, IDispatch* browser, const QString& url);
void FireDocumentComplete(CConnectionPoint* point, IDispatch* browser, const QString& url);
void FireTitleChange(CConnectionPoint* point, const QString& title);
void FireOnQuit(CConnectionPoint* point);

}  // namespace kb::engine
