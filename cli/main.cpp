// sheetfray-split: the splitting engine on the command line, writing the files the window would.
#include "cli/Console.h"
#include "cli/LocaleSetup.h"
#include "cli/Options.h"
#include "engine/Batch.h"
#include "engine/StopSignals.h"
#include "engine/readers/FileHost.h"
#include "platform/SystemLocale.h"

#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#ifndef SHEETFRAY_VERSION
#define SHEETFRAY_VERSION "0"
#endif

namespace {

using namespace sheetfray;

constexpr int ExitOk = 0;
constexpr int ExitReported = 1;
constexpr int ExitUsage = 2;

bool isFolder(const std::string& path)
{
    std::error_code error;
    return !path.empty() && std::filesystem::is_directory(path, error);
}

// Workbook paths become absolute, as the window's list holds them, so that "beside the
// source" means the workbook's own folder and never the root.
std::string fullPath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

int run(const std::vector<std::string>& arguments)
{
    const cli::TextSetup text = cli::textSetupFor(platform::adoptSystemLocale());
    const cli::ParseResult parsed = cli::parseOptions(arguments);
    if (!parsed.options) {
        std::fprintf(
            stderr, "sheetfray-split: %s\n\n%s", parsed.error.c_str(), cli::usageText().c_str());
        return ExitUsage;
    }
    const cli::Options& options = *parsed.options;
    if (options.help) {
        std::fputs(cli::usageText().c_str(), stdout);
        return ExitOk;
    }
    if (options.version) {
        std::puts("sheetfray-split " SHEETFRAY_VERSION);
        return ExitOk;
    }
    if (options.workbooks.empty()) {
        std::fputs("No files added.\n", stderr);
        return ExitUsage;
    }
    if (!isFolder(options.outputFolder)) {
        std::fputs("Folder does not exist. Please select another folder.\n", stderr);
        return ExitUsage;
    }
    if (!text.warning.empty()) {
        std::fprintf(stderr, "sheetfray-split: %s\n", text.warning.c_str());
    }

    engine::EndOnStopSignals();
    std::FILE* progress = platform::isTerminal(2) ? stderr : nullptr;
    cli::ConsoleControls controls(options.spreadsheetKind, options.naming, progress);
    cli::ConsoleReporter reporter(stderr, &controls);
    engine::readers::FileHostFactory hosts;
    const engine::SplitContext context{hosts, controls, reporter, text.codePage, text.valueLocale};
    const std::string separator = engine::separatorText(options.separator, options.customSeparator);
    for (const std::string& workbook : options.workbooks) {
        const std::string path = fullPath(workbook);
        controls.startWorkbook(engine::FileNameOfPath(path));
        const std::string outputBase =
            engine::composeOutputBase(options.folder, options.outputFolder, path);
        engine::splitWorkbook(
            context, options.mode, options.spreadsheetKind, path, outputBase, separator);
        engine::EndIfStopped();
    }
    controls.finish();
    return reporter.count() > 0 ? ExitReported : ExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sheetfray-split: %s\n", e.what());
    } catch (...) {
        std::fputs("sheetfray-split: unexpected failure\n", stderr);
    }
    return ExitReported;
}
