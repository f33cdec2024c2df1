#pragma once

class QApplication;

namespace qp {

class Mediator;

// The start-up of the window application, in this order: create the
// Mediator over the widget windows, load the Extension manager hidden (it
// puts "doc" into the extension list), initialise the Mediator (which binds
// the word processor), show the main window, show the Quick Start dialog
// modally over it, and load the Extension manager again (a fresh one if the
// user closed it meanwhile). Returns false, with no window shown, when the
// word processor could not be bound; the Mediator has then told the user.
bool startUp();

// The whole life of the window application: installs the Qt dialogs, starts
// up and runs the event loop until the program is ended (endProgram). Returns
// 1, after running the shutdown hooks, when the word processor could not be
// bound.
int runApplication(QApplication& app);

// The application's Mediator as start-up created it: the one the windows
// act on. Raises ObjectNotSet before start-up and after the release.
Mediator& applicationMediator();

// Destroys the windows and the Mediator, so that a test can start up afresh.
void releaseApplication();

} // namespace qp
