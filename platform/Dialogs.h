// The program's modal boxes: messages, questions, the error report and the input box.
#pragma once

#include <string>
#include <string_view>

namespace sheetfray::platform {

// Every box the program shows goes through here, so tests can answer and record them.
// Texts are UTF-8; a line break is CR LF or a lone CR, and each shows as one new line.
// Each call returns when the user has closed the box.
class Dialogs
{
public:
    virtual ~Dialogs() = default;

    // A plain message: an OK button, no icon.
    virtual void message(std::string_view title, std::string_view text) = 0;
    // A question with the buttons Yes and No and no icon; true for Yes.
    [[nodiscard]] virtual bool question(std::string_view title, std::string_view text) = 0;
    // A warning: an OK button and the exclamation icon (the error report's box).
    virtual void warning(std::string_view title, std::string_view text) = 0;
    // A text prompt with a default answer: the typed text, or the empty text when cancelled.
    [[nodiscard]] virtual std::string
    input(std::string_view title, std::string_view prompt, std::string_view defaultAnswer) = 0;
};

} // namespace sheetfray::platform
