#pragma once

class QWidget;

// Turns the system's requests to end the program (SIGTERM, SIGINT, SIGHUP:
// logging out, kill, Ctrl+C in a terminal) into a close of `mainWindow`, so
// that the program ends as by its close button and saves its options. While
// a modal window is open (a run, an error message) the close waits for it.
void CloseOnTerminationSignal(QWidget* mainWindow);
