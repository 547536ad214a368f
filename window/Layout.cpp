#include "window/Layout.h"

#include <array>
#include <cmath>

namespace sheetfray::window {

namespace {

using enum ControlKind;

constexpr std::array<ControlSpec, 31> Controls{{
    {"Frame4", Frame, "", 120, 5130, 7800, 1395, 21, "Filename Output Option"},
    {"Option21", Option, "Frame4", 240, 300, 3135, 255, 24, "Save as filename plus number"},
    {"Option22", Option, "Frame4", 240, 650, 3375, 255, 23, "Save as x,y location of cell"},
    {"Option23", Option, "Frame4", 240, 1000, 3135, 255, 22, "Save as first cell value"},
    {"Frame3", Frame, "", 8040, 2550, 7800, 2175, 4, "Text File Output Option"},
    {"Text2", Text, "Frame3", 3120, 1660, 1575, 330, 10, "Text1"},
    {"Option7", Option, "Frame3", 240, 1700, 3135, 255, 9, "Separate each cell with this:"},
    {"Option6", Option, "Frame3", 240, 1350, 3135, 255, 8, "Separate each cell with space"},
    {"Option5", Option, "Frame3", 240, 1000, 3135, 255, 7, "Separate each cell with comma"},
    {"Option4", Option, "Frame3", 240, 650, 3600, 255, 6, "Separate each cell with comma-space"},
    {"Option3", Option, "Frame3", 240, 300, 3135, 255, 5, "Separate each cell with enter"},
    {"Frame1", Frame, "", 8040, 30, 7800, 2450, 1, "Row Or Column Option"},
    {"Option11", Option, "Frame1", 240, 1350, 3135, 255, 15, "Save each row to an Excel file"},
    {"Option10", Option, "Frame1", 240, 1700, 3840, 255, 14, "Save each column to an Excel file"},
    {"Option9", Option, "Frame1", 240, 2050, 3135, 255, 13, "Save each cell to an Excel file "},
    {"Option8", Option, "Frame1", 240, 1000, 3135, 255, 12, "Save each cell to a text file "},
    {"Option2", Option, "Frame1", 240, 650, 3375, 255, 3, "Save each column to a text file"},
    {"Option1", Option, "Frame1", 240, 300, 3135, 255, 2, "Save each row to a text file"},
    {"ListView1", List, "", 120, 120, 7800, 3945, 0, ""},
    {"ProgressBar1", Progress, "", 120, 6645, 7800, 405, 11, "Progress Bar"},
    {"PushButton1", Button, "", 120, 4170, 3840, 405, 16, "Add Excel File(s)"},
    {"PushButton4", Button, "", 4080, 4170, 3840, 405, 17, "Add All Excel Files In Folder"},
    {"PushButton2", Button, "", 8040, 6630, 7800, 405, 18, "Start Saving"},
    {"PushButton5", Button, "", 120, 4680, 3840, 405, 19, "Clear List"},
    {"PushButton6", Button, "", 4080, 4680, 3840, 405, 20, "Load Sample/Example Files"},
    {"Frame7", Frame, "", 8040, 4770, 7800, 1815, 25, "Save Option"},
    {"Option13", Option, "Frame7", 240, 300, 3615, 255, 30, "Save results to this folder:"},
    {"Option14",
     Option,
     "Frame7",
     240,
     1410,
     3615,
     255,
     29,
     "Save results in folder of original file"},
    {"Frame5", Frame, "Frame7", 480, 510, 6840, 810, 26, ""},
    {"Text1", Text, "Frame5", 240, 300, 5670, 345, 27, ""},
    {"PushButton7", Button, "Frame5", 6000, 300, 600, 345, 28, "..."},
}};

} // namespace

std::span<const ControlSpec> controlTable()
{
    return Controls;
}

int twipsToPixels(int twips, double dotsPerInch)
{
    // Whole pixels are counted down, as the layout's own figures do (7000 twips are 466
    // pixels at 96); the small addition keeps exact quotients such as 15960 / 15 whole.
    return static_cast<int>(std::floor(twips * dotsPerInch / 1440.0 + 1e-9));
}

} // namespace sheetfray::window
