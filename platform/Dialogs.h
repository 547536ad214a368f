// The program's modal boxes and dialogs: messages, questions, the error report, the input box,
// the open-file dialog and the folder browser; and the file manager that shows a folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace sheetfray::platform {

// What the open-file dialog gives back.
struct FileSelection
{
    enum class Outcome : std::uint8_t {
        Chosen,
        Cancelled,
        TooMany, // the selected names did not fit into what the dialog can return
    };

    Outcome outcome = Outcome::Cancelled;
    // One file: its full path. Several: their folder, then each file's name, all separated
    // by NUL characters.
    std::string result;
    // The folder the files were chosen in, where the dialog should open next time; empty
    // when nothing was chosen.
    std::string folder;
};

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

    // The error report's box with a check box under the text: true when the user left it
    // ticked. Shown as a plain warning where a front end has no check box.
    [[nodiscard]] virtual bool
    warningWithCheckBox(std::string_view title, std::string_view text, std::string_view checkBox)
    {
        (void)checkBox;
        warning(title, text);
        return false;
    }

    // A message whose details (not empty) the user may unfold, with a second button beside
    // OK when button is not empty: true when the user closed the box with that button.
    [[nodiscard]] virtual bool messageWithDetails(std::string_view title,
                                                  std::string_view text,
                                                  std::string_view details,
                                                  std::string_view button)
    {
        (void)details;
        (void)button;
        message(title, text);
        return false;
    }

    // The dialogs below answer "cancelled" unless a front end offers them; a front end
    // without a user (a benchmark, a server) need not.

    // An open-file dialog in which several existing files may be picked, opening on the
    // start folder (when it exists). The filter is a list of description and pattern pairs,
    // each followed by "|", as in "Excel Files (*.xl*)|*.xl*|"; the first pair is chosen.
    [[nodiscard]] virtual FileSelection
    openFiles(std::string_view title, std::string_view filter, std::string_view startFolder)
    {
        (void)title;
        (void)filter;
        (void)startFolder;
        return {};
    }

    // A folder browser that opens on the start folder (when it exists) and returns the
    // chosen folder's path, or the empty text when cancelled.
    [[nodiscard]] virtual std::string browseForFolder(std::string_view title,
                                                      std::string_view startFolder)
    {
        (void)title;
        (void)startFolder;
        return {};
    }

    // Shows the folder in the desktop's file manager and returns at once; whether that
    // worked is not told.
    virtual void openFolder(std::string_view folder) { (void)folder; }
};

} // namespace sheetfray::platform
