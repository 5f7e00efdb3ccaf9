// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QApplication>
#include <functional>
#include <string>

namespace selvar::entry {

// The application object with an exception boundary around every event. An exception that
// escapes a handler (a refused port access, an arithmetic overflow, a fault of ours) would
// otherwise cross Qt's event loop and end the program; here it abandons the rest of that
// handler, is reported once, and the program goes on with the next event. (Qt's widget code is
// built without exception cleanup: what its frames held when the exception crossed them is not
// freed, a few hundred bytes on a path that is a fault anyway.)
class GuardedApplication : public QApplication {
    Q_OBJECT
  public:
    using Reporter = std::function<void(const std::string& message)>;

    GuardedApplication(int& argc, char** argv, Reporter report);

    // Returns the reporter in force before.
    Reporter setReporter(Reporter report);

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    Reporter report_;
};

// Says a problem once on standard error and once in a message box; the box waits until the
// handler running now has finished, so no other event is handled in the middle of it.
void reportProblem(const std::string& message);

}  // namespace selvar::entry
