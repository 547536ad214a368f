// sheetfray-split: the splitting engine on the command line, writing the files the window would.
#include "cli/Console.h"
#include "cli/Inputs.h"
#include "cli/Options.h"
#include "engine/Batch.h"
#include "engine/RunOutputs.h"
#include "engine/StopSignals.h"
#include "engine/ZipOutput.h"
#include "engine/readers/FileHost.h"
#include "platform/LocaleSetup.h"
#include "platform/SystemLocale.h"
#include "support/Error.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
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

// The folder made absolute, its bytes otherwise as given: "out" becomes "/home/me/out", and
// the current folder (the default, ".") the current folder's own path.
std::string absolutePath(const std::string& folder)
{
    std::error_code error;
    const std::filesystem::path absolute = folder == "." ? std::filesystem::current_path(error)
                                                         : std::filesystem::absolute(folder, error);
    return error ? folder : absolute.string();
}

int usageError(const std::string& message)
{
    std::fprintf(stderr,
                 "sheetfray-split: %s\nTry 'sheetfray-split --help' for more information.\n",
                 message.c_str());
    return ExitUsage;
}

// The workbooks split one after another, in list order, by one thread: all workbooks whose
// files could take each other's names. Its run outputs see only its own files, which no
// other lane can name alike.
struct Lane
{
    std::vector<std::size_t> workbooks; // indices into the run's inputs
    engine::RunOutputs outputs;
    int failures = 0;
};

// What every lane shares: the run's choices and where it prints.
struct Run
{
    const cli::Options& options;
    const platform::TextSetup& text;
    const std::vector<cli::Input>& inputs;
    const std::vector<std::string>& outputBases;
    const std::string& separator;
    const engine::SplitChoices& choices;
    cli::LineOutput& errors;
    cli::LineOutput& listing;
    bool showProgress;
};

void splitLane(const Run& run, Lane& lane)
{
    std::FILE* progress = run.showProgress ? stderr : nullptr;
    cli::ConsoleControls controls(run.options.spreadsheetKind, run.options.naming, progress);
    cli::ConsoleReporter reporter(run.errors, &controls, run.options.verbose);
    engine::readers::FileHostFactory hosts;
    engine::SplitContext context{
        hosts, controls, reporter, run.text.codePage, run.text.valueLocale, lane.outputs};
    context.choices = &run.choices;
    if (run.choices.archive != nullptr) {
        // Entries share the archive's blocks: a file takes its bytes, not a block at least.
        context.diskSpace = [](const std::string& folder) {
            std::optional<engine::DiskSpace> space = engine::SystemDiskSpace(folder);
            if (space) {
                space->blockSize = 1;
            }
            return space;
        };
    }
    for (const std::size_t index : lane.workbooks) {
        const cli::Input& input = run.inputs[index];
        controls.startWorkbook(input.shown);
        reporter.setWorkbook(input.shown);
        engine::splitWorkbook(context,
                              run.options.mode,
                              run.options.spreadsheetKind,
                              input.path,
                              run.outputBases[index],
                              run.separator);
        // Failures past the ten of one reason that were reported, counted in one line each.
        for (const std::string& line : lane.outputs.takeUnreportedFailures()) {
            controls.finish();
            run.errors.write("sheetfray-split: " + line + "\n");
        }
        for (const std::string& warning : lane.outputs.takeWarnings()) {
            controls.finish();
            if (!run.options.quiet) {
                run.errors.write("sheetfray-split: warning: " + warning + "\n");
            }
        }
        engine::endIfStopped();
    }
    controls.finish();
    lane.failures = reporter.count();
}

// Which lane a workbook joins. Numbered names ("Book1_12") come from the output base alone, so
// workbooks of different bases cannot clash and each may have its own lane; any other naming
// can give two workbooks one name, so every workbook writing into one folder shares a lane.
std::string laneKey(const cli::Options& options, const std::string& outputBase)
{
    if (options.naming == engine::NamingScheme::FileNamePlusNumber
        && options.nameTemplate.empty()) {
        return outputBase;
    }
    return engine::FolderOfPath(outputBase);
}

std::vector<std::unique_ptr<Lane>> makeLanes(const cli::Options& options,
                                             const std::vector<std::string>& outputBases)
{
    std::vector<std::unique_ptr<Lane>> lanes;
    std::map<std::string, Lane*> byKey;
    for (std::size_t i = 0; i < outputBases.size(); ++i) {
        Lane*& lane = byKey[options.jobs == 1 ? std::string() : laneKey(options, outputBases[i])];
        if (lane == nullptr) {
            lanes.push_back(std::make_unique<Lane>());
            lane = lanes.back().get();
        }
        lane->workbooks.push_back(i);
    }
    return lanes;
}

void splitLanes(const Run& run, std::vector<std::unique_ptr<Lane>>& lanes, int jobs)
{
    std::atomic<std::size_t> next = 0;
    const auto work = [&] {
        for (std::size_t i = next++; i < lanes.size(); i = next++) {
            splitLane(run, *lanes[i]);
        }
    };
    const std::size_t threads = std::min<std::size_t>(static_cast<std::size_t>(jobs), lanes.size());
    if (threads <= 1) {
        work();
        return;
    }
    std::vector<std::jthread> workers;
    for (std::size_t i = 0; i < threads; ++i) {
        workers.emplace_back(work);
    }
}

// The archive of a --zip run, made before any work so that a folder it cannot go into is told
// at once; none for a dry run, which only checks the folder. Prints why and returns false when
// the archive cannot be.
bool prepareArchive(const std::string& path,
                    const std::string& root,
                    const engine::RunOutputs& workbooks,
                    bool dryRun,
                    std::optional<engine::ZipArchive>& archive)
{
    struct stat info
    {};

    if (::stat(path.c_str(), &info) == 0) {
        if (S_ISDIR(info.st_mode)) {
            std::fprintf(
                stderr, "sheetfray-split: cannot write \"%s\": it is a folder\n", path.c_str());
            return false;
        }
        if (workbooks.isWorkbook(info.st_dev, info.st_ino)) {
            std::fprintf(stderr,
                         "sheetfray-split: cannot write \"%s\": it is one of the workbooks being "
                         "split\n",
                         path.c_str());
            return false;
        }
    }
    const std::string folder = engine::FolderOfPath(path);
    try {
        if (dryRun) {
            const std::string existing = folder.empty() ? "." : folder;
            if (::access(existing.c_str(), W_OK | X_OK) != 0) {
                throw WriteError("cannot write \"" + path + "\": " + std::strerror(errno),
                                 std::strerror(errno));
            }
            return true;
        }
        archive.emplace(path, root);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "sheetfray-split: %s\n", e.what());
        return false;
    }
    return true;
}

std::string plural(std::uint64_t count, const char* one, const char* many)
{
    return std::to_string(count) + ' ' + (count == 1 ? one : many);
}

int run(const std::vector<std::string>& arguments)
{
    const auto started = std::chrono::steady_clock::now();
    const platform::TextSetup text = platform::adoptTextSetup();
    const cli::ParseResult parsed = cli::parseOptions(arguments);
    if (!parsed.options) {
        return usageError(parsed.error);
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
    if (std::ranges::count(options.workbooks, "-") > 1) {
        return usageError("standard input (-) can be read only once");
    }
    if (!isFolder(options.outputFolder)) {
        std::fputs("Folder does not exist. Please select another folder.\n", stderr);
        return ExitUsage;
    }
    if (!text.warning.empty() && !options.quiet) {
        std::fprintf(stderr, "sheetfray-split: %s\n", text.warning.c_str());
    }

    engine::endOnStopSignals();
    cli::LineOutput errors(stderr);
    cli::LineOutput listing(stdout);
    cli::InputList inputs = cli::collectInputs(options, text.codePage, errors);
    if (inputs.inputs.empty() && inputs.failures == 0) {
        std::fputs("No files added.\n", stderr);
        return ExitUsage;
    }
    // The output folder is used as given, made absolute once; nothing in it is cleaned. An
    // archive's entries are named as files in its folder would be.
    const std::string outputFolder =
        absolutePath(options.zip.empty() ? options.outputFolder
                                         : (engine::FolderOfPath(options.zip).empty()
                                                ? std::string(".")
                                                : engine::FolderOfPath(options.zip)));
    std::vector<std::string> outputBases;
    for (const cli::Input& input : inputs.inputs) {
        // A workbook read from standard input has no folder of its own to write beside.
        const engine::FolderChoice folder =
            input.fromStdin ? engine::FolderChoice::ChosenFolder : options.folder;
        outputBases.push_back(engine::composeOutputBase(folder, outputFolder, input.path));
    }
    engine::SplitChoices choices;
    choices.kind = options.kind;
    choices.sheets = options.sheets;
    choices.skipHidden = options.skipHidden;
    choices.skipEmpty = options.skipEmpty;
    choices.nameTemplate = options.nameTemplate;
    choices.pad = options.pad;
    choices.kind = options.kind;
    choices.quote = options.quote;
    choices.header = options.header;
    std::optional<engine::TextEncoding> encoding;
    if (!options.encoding.empty()) {
        encoding = engine::TextEncoding::named(options.encoding);
        choices.encoding = &*encoding;
    }

    std::vector<std::unique_ptr<Lane>> lanes = makeLanes(options, outputBases);
    // No output may replace a workbook of the run, whichever lane splits it; they are looked
    // at once, and the lanes share what was seen.
    engine::RunOutputs workbooks;
    for (const cli::Input& input : inputs.inputs) {
        workbooks.addWorkbook(input.path);
    }
    const auto shared = workbooks.workbooksToShare();
    std::optional<engine::ZipArchive> archive;
    if (!options.zip.empty()) {
        if (!prepareArchive(options.zip, outputFolder, workbooks, options.dryRun, archive)) {
            return ExitUsage;
        }
        choices.archive = archive ? &*archive : nullptr;
    }
    for (const auto& lane : lanes) {
        lane->outputs.shareWorkbooks(shared);
        lane->outputs.setNoClobber(options.noClobber);
        if (options.dryRun && options.zip.empty()) {
            lane->outputs.setPreview(
                [&listing](const std::string& path) { listing.write(path + "\n"); });
        } else if (options.dryRun) {
            // The names the archive's entries would have.
            lane->outputs.setPreview([&listing, &outputFolder](const std::string& path) {
                std::string_view name = path;
                if (name.starts_with(outputFolder)) {
                    name.remove_prefix(outputFolder.size());
                }
                while (name.starts_with('/')) {
                    name.remove_prefix(1);
                }
                listing.write(std::string(name) + "\n");
            });
        }
    }
    const std::string separator =
        options.lfLineEnds && options.separator == engine::SeparatorChoice::Enter
        ? std::string("\n")
        : engine::separatorText(options.separator, options.customSeparator);
    const bool terminal = platform::isTerminal(2);
    const Run run{options,
                  text,
                  inputs.inputs,
                  outputBases,
                  separator,
                  choices,
                  errors,
                  listing,
                  terminal && options.jobs == 1 && !options.quiet};
    splitLanes(run, lanes, options.jobs);

    engine::RunOutputs totals;
    int failures = inputs.failures;
    for (const auto& lane : lanes) {
        totals.addCounts(lane->outputs);
        failures += lane->failures;
    }
    // An archive is all of the run or nothing: after any failure the older file stays.
    if (archive && failures == 0) {
        try {
            archive->commit(&workbooks);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "sheetfray-split: %s\n", e.what());
            ++failures;
        }
    } else if (archive) {
        std::fprintf(stderr,
                     "sheetfray-split: \"%s\" not written because of the failures above\n",
                     archive->path().c_str());
    }
    if (const std::string note = engine::renamedFilesNote(totals);
        !note.empty() && !options.quiet) {
        std::fprintf(stderr, "sheetfray-split: %s\n", note.c_str());
    }
    if ((terminal && !options.quiet) || options.verbose) {
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - started;
        std::fprintf(stderr,
                     "sheetfray-split: %s, %s %s, %s, %s renamed, %.2f seconds\n",
                     plural(inputs.inputs.size(), "workbook", "workbooks").c_str(),
                     plural(totals.filesWritten(), "file", "files").c_str(),
                     options.dryRun ? "to write" : "written",
                     plural(static_cast<std::uint64_t>(failures), "failure", "failures").c_str(),
                     plural(totals.renamedFiles(), "file", "files").c_str(),
                     seconds.count());
    }
    return failures > 0 ? ExitReported : ExitOk;
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
