// Boxes answered by the test: every call is recorded, questions take queued answers.
#pragma once

#include "platform/Dialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace sheetfray::testing {

struct ShownBox
{
    enum class Kind { Message, Question, Warning, Input, OpenFiles, BrowseForFolder };
    Kind kind;
    std::string title;
    std::string text; // the prompt, the open-file filter or the browser's start folder
    std::string startFolder; // where the open-file dialog or the folder browser opened
    // A warning's check box or a message's extra button; a message's details.
    std::string option = {};
    std::string details = {};
};

class ScriptedDialogs final : public platform::Dialogs
{
public:
    std::vector<ShownBox> shown;
    // Answers for questions, first first; Yes when none is left.
    std::deque<bool> answers;
    // Typed answers for input boxes; the default answer is taken when none is left.
    std::deque<std::string> typed;
    // What the open-file dialog gives; cancelled when none is left.
    std::deque<platform::FileSelection> selections;
    // Folders chosen in the folder browser; cancelled when none is left.
    std::deque<std::string> chosenFolders;
    // Whether the user ticks the check box of a warning that has one; not when none is left.
    std::deque<bool> ticks;
    // Whether the user presses a message's extra button; not when none is left.
    std::deque<bool> extraPresses;
    // Folders shown in the file manager.
    std::vector<std::string> openedFolders;

    void message(std::string_view title, std::string_view text) override
    {
        record(ShownBox::Kind::Message, title, text);
    }

    bool question(std::string_view title, std::string_view text) override
    {
        record(ShownBox::Kind::Question, title, text);
        if (answers.empty()) {
            return true;
        }
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    void warning(std::string_view title, std::string_view text) override
    {
        record(ShownBox::Kind::Warning, title, text);
    }

    bool warningWithCheckBox(std::string_view title,
                             std::string_view text,
                             std::string_view checkBox) override
    {
        record(ShownBox::Kind::Warning, title, text);
        shown.back().option = checkBox;
        return next(ticks, false);
    }

    bool messageWithDetails(std::string_view title,
                            std::string_view text,
                            std::string_view details,
                            std::string_view button) override
    {
        record(ShownBox::Kind::Message, title, text);
        shown.back().option = button;
        shown.back().details = details;
        return next(extraPresses, false);
    }

    std::string
    input(std::string_view title, std::string_view prompt, std::string_view defaultAnswer) override
    {
        record(ShownBox::Kind::Input, title, prompt);
        return next(typed, std::string(defaultAnswer));
    }

    platform::FileSelection openFiles(std::string_view title,
                                      std::string_view filter,
                                      std::string_view startFolder) override
    {
        record(ShownBox::Kind::OpenFiles, title, filter, startFolder);
        return next(selections, platform::FileSelection{});
    }

    std::string browseForFolder(std::string_view title, std::string_view startFolder) override
    {
        record(ShownBox::Kind::BrowseForFolder, title, startFolder, startFolder);
        return next(chosenFolders, std::string());
    }

    void openFolder(std::string_view folder) override { openedFolders.emplace_back(folder); }

    // The texts of the boxes of one kind, in order.
    [[nodiscard]] std::vector<std::string> texts(ShownBox::Kind kind) const
    {
        std::vector<std::string> result;
        for (const ShownBox& box : shown) {
            if (box.kind == kind) {
                result.push_back(box.text);
            }
        }
        return result;
    }

private:
    template <typename Answer>
    static Answer next(std::deque<Answer>& queue, Answer whenEmpty)
    {
        if (queue.empty()) {
            return whenEmpty;
        }
        Answer answer = std::move(queue.front());
        queue.pop_front();
        return answer;
    }

    void record(ShownBox::Kind kind,
                std::string_view title,
                std::string_view text,
                std::string_view startFolder = {})
    {
        shown.push_back({kind, std::string(title), std::string(text), std::string(startFolder)});
    }
};

} // namespace sheetfray::testing
