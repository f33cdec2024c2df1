#pragma once

class QApplication;

namespace qp {

class WidgetWindows;

// The start-up of the window application over its windows and their
// Mediator, in this order: take the stored page format into the job
// settings, load the Extension manager hidden (showing the settings'
// extension list), initialise the Mediator (which binds the word
// processor), show the main window, show the Quick Start dialog modally over
// it, and load the Extension manager again (a fresh one if the user closed it
// meanwhile). Returns false, with no window shown, when the word processor
// could not be bound; the Mediator has then told the user.
bool startUp(WidgetWindows& windows);

// The whole life of the window application: starts up and runs the event
// loop until the program is ended (endProgram). Returns 1, after running the
// shutdown hooks, when the word processor could not be bound.
int runApplication(QApplication& app, WidgetWindows& windows);

} // namespace qp
