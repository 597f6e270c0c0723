// Page keys: how a host controller finds the document model of a URL.
//
// The key of a URL is its path, percent-decoded, lower-cased, with "\" read
// as "/", without leading "/" and without a leading drive letter ("c:"); the
// query and fragment are not part of it. So "res:///opt/ui.rcc/Home.html?x=1"
// and "RES:///opt/ui.rcc/home.html" share the key "opt/ui.rcc/home.html".
#pragma once

#include <QString>
#include <QUrl>

QString PageKeyFromUrl(const QUrl& url);

// The key of TEXT, which is a URL (it has a scheme) or already a key.
QString PageKeyFromText(const QString& text);
