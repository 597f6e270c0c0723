// The script texts the host sends into pages.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// An element operation for the host's script world (js/element_ops.js).
QString ElementOperationScript(const QString& operation, const QJsonObject& locator, const QJsonArray& args);

// A call of the page's function NAME with text ARGS in the page's world.
// NAME must be a script identifier (IsScriptIdentifier).
QString FunctionCallScript(const QString& name, const QStringList& args);
bool IsScriptIdentifier(const QString& name);

// EXPRESSION evaluated in the page's world, its value as the answer.
QString ExpressionScript(const QString& expression);

// qwebchannel.js followed by the window.external bootstrap.
QString ExternalBootstrapScript();

// The source of a script compiled into the library (":/kelm-html/NAME").
QString LibraryScript(const QString& name);
