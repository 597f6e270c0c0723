// qvconsole: the control panel.
#include "qvconsole_app.h"

int main(int argc, char** argv) { return CQVConsoleApp::Instance().Run(argc, argv); }
