#pragma once

#include <QString>

namespace kelm {

// Message boxes of the main window. Every box carries the window's current
// caption as its title. On a machine without a display nobody can answer, so
// the product implementation logs the text and takes the default answer there.
class Messenger {
public:
    enum class Icon { None, Critical, Warning, Question };
    enum class Answer { Ok, Cancel, Yes, No };
    enum class Buttons { Ok, OkCancel, YesNo };

    virtual ~Messenger() = default;

    // Shows the text and waits for the answer. `defaultAnswer` is the button
    // that has the focus, and the answer taken when no one can be asked.
    virtual Answer ask(const QString& text, Buttons buttons, Icon icon, Answer defaultAnswer) = 0;

    void show(const QString& text, Icon icon = Icon::None) {
        ask(text, Buttons::Ok, icon, Answer::Ok);
    }

    // False when no one can answer (no display): boxes then take their default.
    virtual bool canAsk() const { return true; }
};

}  // namespace kelm
