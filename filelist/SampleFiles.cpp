#include "filelist/SampleFiles.h"

#include "engine/CodePage.h"

namespace sheetfray::filelist {

namespace {

// Any eight lower-case letters would do; another key only makes another build's list
// unreadable, and then no sample is found.
constexpr std::string_view ScrambleKey = "wexbrolt";

int keyCode(std::size_t position)
{
    return static_cast<unsigned char>(ScrambleKey[position % ScrambleKey.size()]);
}

void step(const std::function<void()>& yield)
{
    if (yield) {
        yield();
    }
}

} // namespace

std::string sampleFolder(std::string_view programFolder)
{
    return std::string(programFolder) + "/Samples";
}

std::string composeSampleList(std::string_view programFolder, const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& name : names) {
        list += sampleFolder(programFolder);
        list += '/';
        list += name;
        list += '|';
    }
    if (!list.empty()) {
        list.pop_back();
    }
    return list;
}

std::vector<std::string> splitSampleList(std::string_view list)
{
    std::vector<std::string> entries;
    if (list.empty()) {
        return entries;
    }
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = list.find('|', start);
        entries.emplace_back(list.substr(start, bar - start));
        if (bar == std::string_view::npos) {
            return entries;
        }
        start = bar + 1;
    }
}

std::string scramble(std::string_view text, const std::function<void()>& yield)
{
    std::string stored;
    stored.reserve(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        int code = static_cast<unsigned char>(text[i]) + keyCode(i);
        if (code > 255) {
            code -= 255;
        }
        engine::appendUtf8(static_cast<char32_t>(code), stored);
        step(yield);
    }
    return stored;
}

std::string unscramble(std::string_view stored, const std::function<void()>& yield)
{
    std::string text;
    text.reserve(stored.size());
    std::size_t pos = 0;
    for (std::size_t i = 0; pos < stored.size(); ++i) {
        const char32_t ch = engine::decodeUtf8(stored, pos);
        if (ch > 255) {
            text += '?';
        } else {
            int code = static_cast<int>(ch) - keyCode(i);
            if (code < 1) {
                code += 255;
            }
            text += static_cast<char>(static_cast<unsigned char>(code));
        }
        step(yield);
    }
    return text;
}

} // namespace sheetfray::filelist
