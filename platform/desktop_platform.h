// The desktop's services on Qt Widgets: shell, message boxes and the screen resolution, beside
// the system services that need Qt Core only.
#pragma once

#include "platform/platform.h"
#include "platform/system_services.h"

namespace kivo {

class DesktopShell : public Shell {
public:
    void open(const std::string& target) override;
    void run(const std::string& program, const std::string& parameters) override;
};

class DesktopMessageBoxes : public MessageBoxes {
public:
    void information(const std::string& text) override;
    void warning(const std::string& text) override;
    void error(const std::string& text) override;
    bool question(const std::string& text) override;
};

// The horizontal logical dots per inch of the primary screen (96 when there is none).
int primaryScreenDpi();

// Qt's own texts (the buttons of message boxes, the file and print dialogs) in the first of the
// languages, most fitting first, that the system has Qt's translation of. Needs the application,
// which keeps the translation. Returns whether one was installed.
bool installQtTranslations(const std::vector<std::string>& languages);

} // namespace kivo
