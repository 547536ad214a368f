// Boxes answered by the test: every call is recorded, questions take queued answers.
#pragma once

#include "platform/Dialogs.h"

#include <deque>
#include <string>
#include <vector>

namespace sheetfray::testing {

struct ShownBox
{
    enum class Kind { Message, Question, Warning, Input };
    Kind kind;
    std::string title;
    std::string text;
};

class ScriptedDialogs final : public platform::Dialogs
{
public:
    std::vector<ShownBox> shown;
    // Answers for questions, first first; Yes when none is left.
    std::deque<bool> answers;

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

    std::string
    input(std::string_view title, std::string_view prompt, std::string_view defaultAnswer) override
    {
        record(ShownBox::Kind::Input, title, prompt);
        return std::string(defaultAnswer);
    }

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
    void record(ShownBox::Kind kind, std::string_view title, std::string_view text)
    {
        shown.push_back({kind, std::string(title), std::string(text)});
    }
};

} // namespace sheetfray::testing
