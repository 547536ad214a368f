// The uniform error report shown when a trapped step fails.
#pragma once

#include <string>
#include <string_view>

namespace sheetfray {

// Where reports ask users to send a screenshot.
inline constexpr std::string_view SupportAddress = "support@sheetfray.example";

struct ErrorReport
{
    std::string location; // "in Rendlet2021/08/31.Excel1.SaveEachRow " (ends in a blank)
    int line = 0; // statement number: 100, 102, ...
    std::string description;
    // For a workbook that cannot be read, the description without the file's name
    // ("the workbook is damaged (...)"), so a front end may name the file its own way.
    std::string reason{};

    // The box text: description, CR LF, location, "at line N", CR CR, the request to write.
    [[nodiscard]] std::string text() const;
};

// Receives every report: a box in the window, standard error in the command line,
// a recorder in tests. It returns when the report has been acknowledged.
class Reporter
{
public:
    virtual ~Reporter() = default;
    virtual void report(const ErrorReport& report) = 0;
};

// The location text of each trapped procedure, exactly as the report shows it. The texts never
// change, so reports from every version read alike; they need not match the names in the code.
namespace Location {
inline constexpr std::string_view AddFiles = "in Rendlet2021/08/31.Form1.PushButton1_Click ";
inline constexpr std::string_view StartSaving = "in Rendlet2021/08/31.Form1.PushButton2_Click ";
inline constexpr std::string_view AddFolder = "in Rendlet2021/08/31.Form1.PushButton4_Click ";
inline constexpr std::string_view StartUp = "in Rendlet2021/08/31.Form1.Form_Load ";
inline constexpr std::string_view ClearList = "in Rendlet2021/08/31.Form1.PushButton5_Click ";
inline constexpr std::string_view LoadSamples = "in Rendlet2021/08/31.Form1.PushButton6_Click ";
inline constexpr std::string_view ChooseOutputFolder =
    "in Rendlet2021/08/31.Form1.PushButton7_Click ";
inline constexpr std::string_view SaveEachCell = "in Rendlet2021/08/31.Excel1.SaveEachCell ";
inline constexpr std::string_view SaveEachRow = "in Rendlet2021/08/31.Excel1.SaveEachRow ";
inline constexpr std::string_view SaveEachCol = "in Rendlet2021/08/31.Excel1.SaveEachCol ";
inline constexpr std::string_view CleanValue = "in Rendlet2021/08/31.Excel1.CleanValue ";
inline constexpr std::string_view FolderScan =
    "in Mornquist2021/08/31.AddFolder.GetSubDirectories2016 ";
inline constexpr std::string_view CleanFileName = "in Rendlet2021/08/31.FileNaming.CleanFileName ";
} // namespace Location

} // namespace sheetfray
