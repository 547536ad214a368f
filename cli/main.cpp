// sheetfray-split: the splitting engine on the command line, writing the files the window would.
#include "cli/Console.h"
#include "cli/Options.h"
#include "engine/Batch.h"
#include "engine/RunOutputs.h"
#include "engine/StopSignals.h"
#include "engine/readers/FileHost.h"
#include "platform/LocaleSetup.h"
#include "platform/SystemLocale.h"

#include <csignal>
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

// The folder made absolute, its bytes otherwise as given: "out" becomes "/home/me/out", and
// the current folder (the default, ".") the current folder's own path.
std::string absolutePath(const std::string& folder)
{
    std::error_code error;
    const std::filesystem::path absolute = folder == "." ? std::filesystem::current_path(error)
                                                         : std::filesystem::absolute(folder, error);
    return error ? folder : absolute.string();
}

void printWarnings(cli::ConsoleControls& controls, engine::RunOutputs& outputs)
{
    for (const std::string& warning : outputs.takeWarnings()) {
        controls.finish();
        std::fprintf(stderr, "sheetfray-split: warning: %s\n", warning.c_str());
    }
}

int run(const std::vector<std::string>& arguments)
{
    const platform::TextSetup text = platform::textSetupFor(platform::adoptSystemLocale());
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

    engine::endOnStopSignals();
    std::FILE* progress = platform::isTerminal(2) ? stderr : nullptr;
    cli::ConsoleControls controls(options.spreadsheetKind, options.naming, progress);
    cli::ConsoleReporter reporter(stderr, &controls);
    engine::readers::FileHostFactory hosts;
    engine::RunOutputs outputs;
    const engine::SplitContext context{
        hosts, controls, reporter, text.codePage, text.valueLocale, outputs};
    const std::string separator = engine::separatorText(options.separator, options.customSeparator);
    // The output folder is used as given, made absolute once; nothing in it is cleaned.
    const std::string outputFolder = absolutePath(options.outputFolder);
    std::vector<std::string> workbooks;
    for (const std::string& workbook : options.workbooks) {
        workbooks.push_back(fullPath(workbook));
        outputs.addWorkbook(workbooks.back());
    }
    for (const std::string& path : workbooks) {
        controls.startWorkbook(engine::fileNameOfPath(path));
        const std::string outputBase =
            engine::composeOutputBase(options.folder, outputFolder, path);
        engine::splitWorkbook(
            context, options.mode, options.spreadsheetKind, path, outputBase, separator);
        for (const std::string& line : outputs.takeUnreportedFailures()) {
            controls.finish();
            std::fprintf(stderr, "sheetfray-split: %s\n", line.c_str());
        }
        printWarnings(controls, outputs);
        engine::endIfStopped();
    }
    controls.finish();
    if (const std::string note = engine::renamedFilesNote(outputs); !note.empty()) {
        std::fprintf(stderr, "sheetfray-split: %s\n", note.c_str());
    }
    return reporter.count() > 0 ? ExitReported : ExitOk;
}

} // namespace

int main(int argc, char** argv)
{
    // Reports go to standard error, which a pipe may close early ("2>&1 | head"): a report
    // that cannot be written is lost, and the split goes on.
    std::signal(SIGPIPE, SIG_IGN);
    try {
        return run(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sheetfray-split: %s\n", e.what());
    } catch (...) {
        std::fputs("sheetfray-split: unexpected failure\n", stderr);
    }
    return ExitReported;
}
