// The windows' half of the program: the application of the GUI and the windows of a run. It is
// built into a library of its own, which only a run that opens a window loads.
#pragma once

#include "app/start.h"

#include <QApplication>
#include <QSocketNotifier>
#include <memory>

namespace kivo {

// The application of the GUI on the program's arguments (Qt takes out the options it knows), with
// the program's names and embedded resources.
std::unique_ptr<QApplication> makeApplication(int& argc, char** argv);

// Joins the desktop's shell, message boxes and screen resolution to `platform`, shows the messages
// said so far, and runs the windows of the run that `app` started (none when it is null). Needs
// the application. Returns the exit status.
int showWindows(CKivoApp* app, StartPlatform& platform);

// Both of the above: the WindowsEntry of the window library.
int openWindows(int& argc, char** argv, CKivoApp* app, StartPlatform& platform);

// Brings the open window to the front whenever a later start asks for it: `requests` becomes
// readable at each request (see SingleInstance::askHolderToRaise). Needs the application.
class RaiseOnRequest {
public:
    explicit RaiseOnRequest(int requests);

private:
    std::unique_ptr<QSocketNotifier> notifier_;
};

} // namespace kivo
