#pragma once

#include <QString>
#include <functional>

// Every message the user sees goes through here: plain message boxes titled
// "Varnolt", without an icon. Tests replace the handlers to read the texts and
// answer the questions.
class Messages {
public:
    using ShowFn = std::function<void(const QString& text, const QString& details)>;
    using AskFn = std::function<bool(const QString&)>;

    // An OK-only message; returns once the user has closed it. `details`,
    // when given, says why, behind the box's "Show Details..." button.
    static void show(const QString& text, const QString& details = {});
    // A Yes/No question, No by default; true for Yes.
    static bool ask(const QString& text);

    static void setHandlers(ShowFn show, AskFn ask);
};
