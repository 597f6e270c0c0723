// The help viewer: the suite's help pages in one browser window per process.
//
// The pages are HTML files in the UI resource module's "help/" folder
// (kelmui::DefaultModulePath()), shown through res:// in a top-level Qt
// WebEngine view. The window is made on the first call and reused: each call
// navigates it and brings it to the front. It shows nothing but the help
// pages: links that lead elsewhere are not followed.
//
// Call on the GUI thread of a QApplication whose res:// scheme is registered
// (RegisterResScheme before the application exists). Implemented in the
// library kelm_html_help (links kelm_html and kelmui).
#pragma once

#include <QString>

class QWidget;

enum class HelpWindowState { Normal, Maximized };

// Shows TOPIC: a page of the help folder by its name ("scan" or
// "scan.html"), optionally with a section ("scan#results"); an empty topic
// is the contents page ("index.html"). OWNER (may be null) is where a new
// window opens: centred over the owner's window. False, with the window left
// as it was, when there is no application, the resource module cannot be
// opened, TOPIC is not a plain page name, or the help folder lacks the page.
bool ShowHelp(QWidget* owner, const QString& topic, HelpWindowState state = HelpWindowState::Normal);

// Shows the topic that help/contexts.txt assigns to CONTEXTID (the help
// context numbers of the control panel's pages and dialogs); a number the
// file does not list shows the contents page.
bool ShowHelpContext(QWidget* owner, int contextId, HelpWindowState state = HelpWindowState::Normal);

// The help window while it exists, else null (for callers that place it).
QWidget* HelpWindow();

// Closes and destroys the help window (also done before the application
// object is destroyed).
void CloseHelpWindow();
