#include "window/Startup.h"

#include "filelist/Probes.h"
#include "support/Trap.h"
#include "window/HostChecks.h"
#include "window/OptionState.h"
#include "window/SettingsStore.h"
#include "window/Translate.h"

namespace sheetfray::window {

namespace {

constexpr std::size_t MaxShortTitle = 40;
constexpr int ListColumnTwips = 7000;

} // namespace

std::string shortTitleFor(std::string_view displayName)
{
    std::string title(displayName);
    do {
        const std::size_t blank = title.rfind(' ');
        if (blank == std::string::npos) {
            break;
        }
        title.resize(blank);
    } while (title.size() > MaxShortTitle);
    return title;
}

bool startUp(StartupWindow& window, OptionState& options, const StartupServices& services)
{
    using enum OptionId;
    Trap trap(Location::StartUp, services.reporter);
    const std::string& folder = services.programFolder;

    // ApplySkin: an absent skin file is no failure, the window keeps its laid-out look.
    trap.step(100, [&] {
        const std::string skin = folder + "/x/o.cjs";
        if (filelist::isExistingFile(skin)) {
            window.applySkinFile(skin);
        }
    });
    const std::string cursor = folder + "/HAND-M.CUR";
    bool hasCursor = false;
    trap.step(102, [&] { hasCursor = filelist::pathExists(cursor); });
    if (hasCursor) {
        trap.step(104, [&] { window.loadHandPointer(cursor); });
    }
    trap.step(108, [&] {
        if (services.store.read(Key::Snapshot, "").empty()) {
            services.samples.rememberSampleFiles();
        }
    });
    std::string title(DisplayName);
    trap.step(130, [&] {
        window.setCaption(DisplayName);
        title = shortTitleFor(DisplayName);
        window.setShortTitle(title);
    });
    trap.step(132, [&] {
        window.addListColumn(translatedText(QT_TRANSLATE_NOOP("Sheetfray", "Excel File(s)")));
    });
    trap.step(134, [&] { window.setListColumnWidth(ListColumnTwips); });

    // The restore runs the click and change handlers, so the enabling rules hold afterwards
    // and what changed is written back. Options are set one after the other: when the store
    // selects two options of one group, the later one wins.
    trap.step(136, [&] {
        options.readStoredChoices();
        options.restoreCustomSeparator();
    });
    int line = 138;
    for (OptionId id : {RowsToText,
                        ColumnsToText,
                        CellsToText,
                        CellsToSpreadsheet,
                        ColumnsToSpreadsheet,
                        RowsToSpreadsheet,
                        SeparatorEnter,
                        SeparatorCommaSpace,
                        SeparatorComma,
                        SeparatorSpace,
                        SeparatorCustom,
                        NameByNumber,
                        NameByLocation,
                        NameByFirstValue}) {
        trap.step(line, [&] { options.restoreOption(id); });
        line += 2;
    }
    trap.step(166, [&] { options.restoreOutputFolder(services.desktopFolder + "/"); });
    trap.step(168, [&] { options.restoreOption(ChosenFolder); });
    trap.step(170, [&] { options.restoreOption(SourceFolder); });
    trap.step(172, [&] {
        options.ensureChoices();
        options.applyOutputFolderRule();
    });

    bool canStart = true;
    trap.step(178, [&] { canStart = checkHostCanStart(services.hosts, services.dialogs, title); });
    return canStart;
}

} // namespace sheetfray::window
