// Runs the sheetfray-split program itself on workbooks built in the test.
#include "tests/builders/OdsBuilder.h"
#include "tests/builders/XlsBuilder.h"
#include "tests/builders/XlsxBuilder.h"
#include "tests/fakes/TempDir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

namespace sheetfray::testing {
namespace {

using Files = std::map<std::string, std::string>;

struct Outcome
{
    int status = -1;
    std::string errors;
    std::string output;
};

std::string quoted(const std::string& text)
{
    std::string out = "'";
    for (char ch : text) {
        out += ch == '\'' ? std::string("'\\''") : std::string(1, ch);
    }
    return out + "'";
}

class SplitCommand : public ::testing::Test
{
protected:
    TempDir dir;
    std::filesystem::path out = dir.path() / "out";
    std::filesystem::path in = dir.path() / "in";

    void SetUp() override
    {
        std::filesystem::create_directories(out);
        std::filesystem::create_directories(in);
    }

    std::string book1()
    {
        const auto path = in / "Book1.xlsx";
        XlsxBuilder().addTableSheet("Sheet1", {{"Name", "Qty"}, {"Pen", 3}}).save(path);
        return path.string();
    }

    // The files a run into an emptied output folder writes; the run must succeed.
    Files filesWritten(const std::vector<std::string>& arguments)
    {
        std::filesystem::remove_all(out);
        std::filesystem::create_directories(out);
        const Outcome outcome = run(arguments);
        EXPECT_EQ(outcome.status, 0) << outcome.errors;
        return filesIn(out);
    }

    // Runs the program with standard input from the file input.
    Outcome run(const std::vector<std::string>& arguments,
                const std::filesystem::path& input = "/dev/null")
    {
        std::string command = quoted(SHEETFRAY_SPLIT_PROGRAM);
        for (const std::string& argument : arguments) {
            command += ' ' + quoted(argument);
        }
        const auto errors = dir.path() / "stderr.txt";
        const auto output = dir.path() / "stdout.txt";
        command += " 2>" + quoted(errors.string()) + " >" + quoted(output.string()) + " <"
            + quoted(input.string());
        const int raw = std::system(command.c_str());
        Outcome outcome;
        outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        outcome.errors = readFile(errors);
        outcome.output = readFile(output);
        std::filesystem::remove(errors);
        std::filesystem::remove(output);
        return outcome;
    }

    // A workbook of three sheets, the second hidden, in the format of the extension.
    std::string threeSheets(const std::string& extension)
    {
        const auto path = in / ("Three" + extension);
        if (extension == ".xlsx") {
            XlsxBuilder()
                .addSheet("One",
                          R"(<row r="1"><c r="A1" t="inlineStr"><is><t>one</t></is></c></row>)")
                .addSheet("Two",
                          R"(<row r="1"><c r="A1" t="inlineStr"><is><t>two</t></is></c></row>)",
                          SheetState::Hidden)
                .addSheet("Three",
                          R"(<row r="1"><c r="A1" t="inlineStr"><is><t>three</t></is></c></row>)")
                .save(path);
        } else if (extension == ".xls") {
            XlsBuilder b;
            b.label(b.addSheet("One"), 0, 0, "one");
            b.label(b.addSheet("Two", SheetKind::Worksheet, 2), 0, 0, "two");
            b.label(b.addSheet("Three"), 0, 0, "three");
            const Bytes bytes = b.build();
            writeFile(path, std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        } else {
            const auto row = [](const char* text) {
                return std::string(
                           "<table:table-row><table:table-cell office:value-type=\"string\">"
                           "<text:p>")
                    + text + "</text:p></table:table-cell></table:table-row>";
            };
            OdsBuilder()
                .setAutomaticStyles(R"(<style:style style:name="ta2" style:family="table">)"
                                    R"(<style:table-properties table:display="false"/>)"
                                    R"(</style:style>)")
                .addTable("One", row("one"))
                .addTable("Two", row("two"), R"(table:style-name="ta2")")
                .addTable("Three", row("three"))
                .save(path);
        }
        return path.string();
    }

    // What a Python script prints about the file at path: an independent reader of CSV and zip.
    std::string python(const std::string& script, const std::filesystem::path& path)
    {
        const auto output = dir.path() / "python.txt";
        const std::string command = "/usr/bin/python3 -c " + quoted(script) + ' '
            + quoted(path.string()) + " >" + quoted(output.string());
        EXPECT_EQ(std::system(command.c_str()), 0) << script;
        std::string printed = readFile(output);
        std::filesystem::remove(output);
        return printed;
    }

    // Names, content and the odd cells a text form must take care of.
    std::string awkwardBook()
    {
        const auto path = in / "Stock.xlsx";
        XlsxBuilder()
            .addTableSheet("S",
                           {{"Name", "Qty", "Name", ""},
                            {"Pen, blue", 3, "say \"hi\"", "two\nlines"},
                            {"Ink \xE2\x82\xAC", 1}})
            .save(path);
        return path.string();
    }
};

TEST_F(SplitCommand, WritesTheWorkedExamplesByteForByte)
{
    const std::string book = book1();
    EXPECT_EQ(filesWritten({"--separator", "comma", "--output", out.string(), book}),
              (Files{{"Book1_1.txt", "Name,Qty,"}, {"Book1_2.txt", "Pen,3,"}}));
    EXPECT_EQ(filesWritten({"--each=column",
                            "--separator=comma",
                            "--name=location",
                            "--output=" + out.string(),
                            book}),
              (Files{{"A1.txt", "Name,Pen,"}, {"B1.txt", "Qty,3,"}}));
    EXPECT_EQ(
        filesWritten({"--each=cell",
                      "--name=first-value",
                      "--kind=tab-text",
                      "--output",
                      out.string(),
                      book}),
        (Files{{"Name.xls", "Name"}, {"Qty.xls", "Qty"}, {"Pen.xls", "Pen"}, {"3.xls", "3"}}));
}

TEST_F(SplitCommand, TabTextKindIgnoresTheSeparatorChoice)
{
    EXPECT_EQ(run({"--kind", "tab-text", "--separator", "comma", "--output", out.string(), book1()})
                  .status,
              0);
    EXPECT_EQ(filesIn(out), (Files{{"Book1_1.xls", "Name\tQty\t"}, {"Book1_2.xls", "Pen\t3\t"}}));
}

TEST_F(SplitCommand, WorkbookKindsWriteWorkbooksOfTheirFormat)
{
    const struct
    {
        const char* kind;
        const char* extension;
        std::string_view magic;
    } kinds[] = {{"spreadsheet", ".xls", "\xD0\xCF\x11\xE0"}, {"xlsx", ".xlsx", "PK\x03\x04"}};

    for (const auto& kind : kinds) {
        const std::filesystem::path folder = out / kind.kind;
        std::filesystem::create_directory(folder);
        EXPECT_EQ(run({"--kind", kind.kind, "--output", folder.string(), book1()}).status, 0);
        const Files files = filesIn(folder);
        EXPECT_EQ(files.size(), 2u) << kind.kind;
        for (const auto& [name, content] : files) {
            EXPECT_TRUE(name.ends_with(kind.extension)) << name;
            EXPECT_TRUE(content.starts_with(kind.magic)) << name;
        }
    }
}

TEST_F(SplitCommand, BesideSourceWritesIntoEachWorkbooksFolder)
{
    const std::string book = book1();
    // A relative workbook path still means the workbook's own folder.
    const std::string command = "cd " + quoted(in.string()) + " && "
        + quoted(SHEETFRAY_SPLIT_PROGRAM) + " --beside-source --separator-text ';' Book1.xlsx";
    ASSERT_EQ(std::system(command.c_str()), 0);
    EXPECT_EQ(readFile(in / "Book1_1.txt"), "Name;Qty;");
    EXPECT_EQ(readFile(in / "Book1_2.txt"), "Pen;3;");
}

TEST_F(SplitCommand, ChosenSheetsAreSplitAndNumberedWithoutGaps)
{
    const std::string book = threeSheets(".xlsx");
    // Sheets go in workbook order whatever the order asked, each once.
    EXPECT_EQ(
        filesWritten({"-o", out.string(), "--sheet", "Three", "--sheet", "1", "--sheet=One", book}),
        (Files{{"Three_1.txt", "one\r\n"}, {"Three_2.txt", "three\r\n"}}));
    EXPECT_EQ(filesWritten({"-o", out.string(), "--sheet", "2", book}),
              (Files{{"Three_1.txt", "two\r\n"}}));

    const Outcome missing = run({"-o", out.string(), "--sheet", "Four", "--sheet", "One", book});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.errors,
              "sheetfray-split: " + book + ": the workbook has no sheet \"Four\"\n");
    EXPECT_EQ(run({"-o", out.string(), "--sheet", "4", book}).status, 1);
}

TEST_F(SplitCommand, SkipHiddenPassesOverHiddenSheetsInEveryFormat)
{
    for (const char* extension : {".xlsx", ".xls", ".ods"}) {
        SCOPED_TRACE(extension);
        const std::string book = threeSheets(extension);
        EXPECT_EQ(filesWritten({"-o", out.string(), "--skip-hidden", book}),
                  (Files{{"Three_1.txt", "one\r\n"}, {"Three_2.txt", "three\r\n"}}));
        EXPECT_EQ(filesWritten({"-o", out.string(), book}).size(), 3U);
    }
}

TEST_F(SplitCommand, SkipEmptyLeavesOutLinesWithoutTextButKeepsRealLocations)
{
    const auto book = in / "Gaps.xlsx";
    XlsxBuilder()
        .addSheet("S",
                  R"(<row r="1"><c r="A1" t="inlineStr"><is><t>a</t></is></c></row>)"
                  R"(<row r="2"><c r="B2" t="inlineStr"><is><t> </t></is></c></row>)"
                  R"(<row r="3"><c r="B3" t="inlineStr"><is><t>b</t></is></c></row>)")
        .save(book);
    EXPECT_EQ(filesWritten({"-o", out.string(), "-s", "comma", "--skip-empty", book.string()}),
              (Files{{"Gaps_1.txt", "a,,"}, {"Gaps_2.txt", ",b,"}}));
    EXPECT_EQ(
        filesWritten(
            {"-o", out.string(), "-s", "comma", "-n", "location", "--skip-empty", book.string()}),
        (Files{{"A1.txt", "a,,"}, {"A3.txt", ",b,"}}));
    EXPECT_EQ(
        filesWritten({"-o", out.string(), "-e", "column", "--skip-empty", book.string()}).size(),
        2U);
    EXPECT_EQ(filesWritten({"-o", out.string(), book.string()}).size(), 3U);
}

TEST_F(SplitCommand, PaddedNumbersAndNameTemplates)
{
    const std::string book = book1();
    EXPECT_EQ(filesWritten({"-o", out.string(), "--pad", "4", book}),
              (Files{{"Book1_0001.txt", "Name\r\nQty\r\n"}, {"Book1_0002.txt", "Pen\r\n3\r\n"}}));
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
        {"{book}_{sheet}_{row}", {"Book1_Sheet1_1.txt", "Book1_Sheet1_2.txt"}},
        {"{n}-{cell}-{col}-{value}", {"01-A1-A-Name.txt", "02-A2-A-Pen.txt"}},
        // The template's text is cleaned as a first value is; an unknown placeholder stays.
        {"{book}/{x}:{n}", {"Book1{x}01.txt", "Book1{x}02.txt"}},
        // Names that clash take the clash names.
        {"{book}", {"Book1 (2).txt", "Book1.txt"}},
    };
    for (const auto& [nameTemplate, names] : cases) {
        SCOPED_TRACE(nameTemplate);
        std::vector<std::string> written;
        for (const auto& [name, content] :
             filesWritten({"-o", out.string(), "--pad=2", "--name-template", nameTemplate, book})) {
            written.push_back(name);
        }
        EXPECT_EQ(written, names);
    }
}

TEST_F(SplitCommand, FolderAddsItsWorkbooksInSortedOrderAndPassesOverHiddenFolders)
{
    const std::filesystem::path tree = in / "tree";
    std::filesystem::create_directories(tree / "sub");
    std::filesystem::create_directories(tree / ".hidden");
    writeFile(tree / "b.CSV", "x\n");
    writeFile(tree / "a.tsv", "y\n");
    writeFile(tree / "notes.txt", "z\n");
    writeFile(tree / "sub" / "c.csv", "w\n");
    writeFile(tree / ".hidden" / "d.csv", "v\n");
    const Outcome listed = run({"--dry-run", "-o", out.string(), tree.string()});
    EXPECT_EQ(listed.status, 0) << listed.errors;
    const std::string folder = out.string() + "/";
    EXPECT_EQ(listed.output, folder + "a_1.txt\n" + folder + "b_1.txt\n" + folder + "c_1.txt\n");
    // Named directly, a hidden folder is scanned.
    EXPECT_EQ(filesWritten({"-o", out.string(), (tree / ".hidden").string()}),
              (Files{{"d_1.txt", "v\r\n"}}));
}

TEST_F(SplitCommand, StandardInputIsOneWorkbookOfAnyFormat)
{
    const std::string book = book1();
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    EXPECT_EQ(run({"-o", out.string(), "-s", "comma", "-"}, book).status, 0);
    EXPECT_EQ(filesIn(out), (Files{{"stdin_1.txt", "Name,Qty,"}, {"stdin_2.txt", "Pen,3,"}}));

    const auto text = in / "text";
    writeFile(text, "a,b\n");
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    EXPECT_EQ(run({"-o", out.string(), "--stdin-name", "q3", "-s", "space", "-"}, text).status, 0);
    EXPECT_EQ(filesIn(out), (Files{{"q3_1.txt", "a b "}}));
    writeFile(text, "a\tb\tc,d\n");
    std::filesystem::remove_all(out);
    std::filesystem::create_directories(out);
    EXPECT_EQ(run({"-o", out.string(), "-s", "space", "-"}, text).status, 0);
    EXPECT_EQ(filesIn(out), (Files{{"stdin_1.txt", "a b c,d "}}));

    writeFile(text, std::string(16, '\0'));
    const Outcome bad = run({"-o", out.string(), "-"}, text);
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.errors.rfind("sheetfray-split: stdin: ", 0), 0U) << bad.errors;
}

TEST_F(SplitCommand, DryRunListsWhatARunWritesAndWritesNothing)
{
    const std::string book = book1();
    std::filesystem::create_directories(in / "again");
    std::filesystem::copy_file(book, in / "again" / "Book1.xlsx");
    const std::vector<std::string> arguments{
        "-o", out.string(), "-n", "first-value", book, (in / "again" / "Book1.xlsx").string()};
    std::vector<std::string> dry = arguments;
    dry.insert(dry.begin(), "--dry-run");
    const Outcome preview = run(dry);
    EXPECT_EQ(preview.status, 0) << preview.errors;
    EXPECT_TRUE(filesIn(out).empty());
    const std::string folder = out.string() + "/";
    EXPECT_EQ(preview.output,
              folder + "Name.txt\n" + folder + "Pen.txt\n" + folder + "Name (2).txt\n" + folder
                  + "Pen (2).txt\n");
    std::string listing;
    for (const auto& [name, content] : filesWritten(arguments)) {
        listing += name + "\n";
    }
    EXPECT_EQ(listing, "Name (2).txt\nName.txt\nPen (2).txt\nPen.txt\n");
}

TEST_F(SplitCommand, NoClobberKeepsFilesThatWereThere)
{
    const std::string book = book1();
    writeFile(out / "Book1_1.txt", "old");
    EXPECT_EQ(run({"-o", out.string(), "--no-clobber", book}).status, 0);
    EXPECT_EQ(filesIn(out),
              (Files{{"Book1_1.txt", "old"},
                     {"Book1_1 (2).txt", "Name\r\nQty\r\n"},
                     {"Book1_2.txt", "Pen\r\n3\r\n"}}));
    // Without it the old file is replaced, as before.
    EXPECT_EQ(run({"-o", out.string(), book}).status, 0);
    EXPECT_EQ(readFile(out / "Book1_1.txt"), "Name\r\nQty\r\n");
}

TEST_F(SplitCommand, ParallelRunsWriteWhatASerialRunWrites)
{
    std::vector<std::string> books;
    for (int i = 0; i < 6; ++i) {
        const auto folder = in / std::to_string(i);
        std::filesystem::create_directories(folder);
        // Two workbooks of each name: their files clash in the output folder.
        const auto path = folder / ("B" + std::to_string(i % 3) + ".xlsx");
        XlsxBuilder().addTableSheet("S", {{"w" + std::to_string(i)}, {i}}).save(path);
        books.push_back(path.string());
    }
    for (const char* naming : {"number", "location"}) {
        SCOPED_TRACE(naming);
        std::vector<std::string> arguments{"-o", out.string(), "-n", naming};
        arguments.insert(arguments.end(), books.begin(), books.end());
        const Files serial = filesWritten(arguments);
        arguments.insert(arguments.begin(), "--jobs=3");
        EXPECT_EQ(filesWritten(arguments), serial);
        EXPECT_EQ(serial.size(), 12U);
    }
}

TEST_F(SplitCommand, JsonRowsColumnsAndCellsWithAndWithoutHeader)
{
    const std::string book = awkwardBook();
    EXPECT_EQ(filesWritten({"-k", "json", "--header", "-o", out.string(), book}),
              (Files{{"Stock_1.json",
                      R"({"Name":"Pen, blue","Qty":"3","C":"say \"hi\"","D":"two\nlines"})"
                      "\n"},
                     {"Stock_2.json",
                      "{\"Name\":\"Ink \xE2\x82\xAC\",\"Qty\":\"1\",\"C\":\"\",\"D\":\"\"}\n"}}));
    EXPECT_EQ(
        filesWritten({"-k", "json", "-e", "column", "-n", "location", "-o", out.string(), book}),
        (Files{{"A1.json", "[\"Name\",\"Pen, blue\",\"Ink \xE2\x82\xAC\"]\n"},
               {"B1.json", "[\"Qty\",\"3\",\"1\"]\n"},
               {"C1.json",
                R"(["Name","say \"hi\"",""])"
                "\n"},
               {"D1.json",
                R"(["","two\nlines",""])"
                "\n"}}));
    const Files cells = filesWritten({"-k", "json", "-e", "cell", "-o", out.string(), book});
    EXPECT_EQ(cells.at("Stock_7.json"),
              R"("two\nlines")"
              "\n");
    EXPECT_EQ(cells.size(), 9U);
}

TEST_F(SplitCommand, QuotedCommaSeparatedFilesReadBackAsTheirCells)
{
    const std::string book = awkwardBook();
    const Files files =
        filesWritten({"-s", "comma", "--quote", "--eol", "lf", "-o", out.string(), book});
    EXPECT_EQ(files.at("Stock_2.txt"), "\"Pen, blue\",3,\"say \"\"hi\"\"\",\"two\nlines\",");
    const std::string reader = "import csv, json, sys\n"
                               "with open(sys.argv[1], newline='', encoding='utf-8') as f:\n"
                               "    print(json.dumps(list(csv.reader(f))))";
    EXPECT_EQ(python(reader, out / "Stock_2.txt"),
              R"([["Pen, blue", "3", "say \"hi\"", "two\nlines", ""]])"
              "\n");
    // A cell file is one field: quoted for a quote or a line break, not for a comma.
    const Files cells =
        filesWritten({"-e", "cell", "-s", "comma", "--quote", "-o", out.string(), book});
    EXPECT_EQ(cells.at("Stock_4.txt"), "Pen, blue");
    EXPECT_EQ(cells.at("Stock_5.txt"), "3");
    EXPECT_EQ(cells.at("Stock_6.txt"), "\"say \"\"hi\"\"\"");
}

TEST_F(SplitCommand, EncodingsAndLineEndsOfTextFiles)
{
    const std::string book = book1();
    EXPECT_EQ(filesWritten({"--encoding", "utf-16le", "-o", out.string(), book}).at("Book1_2.txt"),
              std::string("\xFF\xFEP\0e\0n\0\r\0\n\0"
                          "3\0\r\0\n\0",
                          18));
    EXPECT_EQ(filesWritten({"--eol", "lf", "-o", out.string(), book}),
              (Files{{"Book1_1.txt", "Name\nQty\n"}, {"Book1_2.txt", "Pen\n3\n"}}));
    // Only the enter separator takes the line end.
    EXPECT_EQ(
        filesWritten({"--eol", "lf", "-s", "comma", "-o", out.string(), book}).at("Book1_2.txt"),
        "Pen,3,");
    const std::string stock = awkwardBook();
    EXPECT_EQ(filesWritten({"--encoding", "cp1252", "-s", "comma", "-o", out.string(), stock})
                  .at("Stock_3.txt"),
              "Ink \x80,1,,,");
    EXPECT_EQ(filesWritten({"--encoding", "utf-8-bom", "-o", out.string(), book}).at("Book1_2.txt"),
              "\xEF\xBB\xBFPen\r\n3\r\n");
}

TEST_F(SplitCommand, ZipHoldsWhatTheFolderWouldAndAppearsOnlyAfterASuccessfulRun)
{
    const std::string book = book1();
    std::filesystem::create_directories(in / "again");
    std::filesystem::copy_file(book, in / "again" / "Book1.xlsx");
    const std::filesystem::path zips = dir.path() / "zips";
    std::filesystem::create_directories(zips);
    const std::filesystem::path zip = zips / "all.zip";
    const std::vector<std::string> books{book, (in / "again" / "Book1.xlsx").string()};
    const auto withBooks = [&](std::vector<std::string> arguments) {
        arguments.insert(arguments.end(), books.begin(), books.end());
        return arguments;
    };
    const std::string lister = "import json, sys, zipfile\n"
                               "z = zipfile.ZipFile(sys.argv[1])\n"
                               "assert z.testzip() is None\n"
                               "print(json.dumps([[i.filename, i.compress_type, "
                               "z.read(i).decode()] for i in z.infolist()]))";
    const std::string entries = R"([["Name.txt", 8, "Name\r\nQty\r\n"], )"
                                R"(["Pen.txt", 8, "Pen\r\n3\r\n"], )"
                                R"(["Name (2).txt", 8, "Name\r\nQty\r\n"], )"
                                R"(["Pen (2).txt", 8, "Pen\r\n3\r\n"]])"
                                "\n";
    const Outcome listed =
        run(withBooks({"--dry-run", "--zip", zip.string(), "-n", "first-value"}));
    EXPECT_EQ(listed.status, 0) << listed.errors;
    EXPECT_EQ(listed.output, "Name.txt\nPen.txt\nName (2).txt\nPen (2).txt\n");
    EXPECT_TRUE(filesIn(zips).empty());
    for (const char* jobs : {"1", "2"}) {
        const Outcome zipped =
            run(withBooks({"--zip", zip.string(), "-n", "first-value", "--jobs", jobs}));
        EXPECT_EQ(zipped.status, 0) << zipped.errors;
        EXPECT_EQ(python(lister, zip), entries) << jobs;
    }
    EXPECT_TRUE(filesIn(out).empty());

    // A failed run leaves the older archive as it was, and no temporary beside it.
    const std::string before = readFile(zip);
    const auto bad = in / "bad.xlsx";
    writeFile(bad, std::string(16, '\0') + "junk");
    const Outcome failed = run({"--zip", zip.string(), book, bad.string()});
    EXPECT_EQ(failed.status, 1);
    EXPECT_NE(failed.errors.find("\"" + zip.string() + "\" not written"), std::string::npos)
        << failed.errors;
    EXPECT_EQ(filesIn(zips), (Files{{"all.zip", before}}));

    // What cannot be an archive is told before any work.
    const Outcome missing = run({"--zip", (zips / "no" / "a.zip").string(), book});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.errors,
              "sheetfray-split: cannot write \"" + (zips / "no" / "a.zip").string()
                  + "\": No such file or directory\n");
    const std::string workbook = readFile(book);
    const Outcome onWorkbook = run({"--zip", book, book});
    EXPECT_EQ(onWorkbook.status, 2);
    EXPECT_EQ(onWorkbook.errors,
              "sheetfray-split: cannot write \"" + book
                  + "\": it is one of the workbooks being split\n");
    EXPECT_EQ(readFile(book), workbook);
}

TEST_F(SplitCommand, VerboseEndsWithASummaryAndQuietPrintsFailuresOnly)
{
    const std::string book = book1();
    const auto bad = in / "bad.xlsx";
    writeFile(bad, "PK\x03\x04 not a zip archive");
    const Outcome verbose = run({"-v", "-o", out.string(), book, book, bad.string()});
    EXPECT_EQ(verbose.status, 1);
    EXPECT_NE(verbose.errors.find("sheetfray-split: " + bad.string()
                                  + ": the workbook is damaged (it is not a complete zip "
                                    "archive)\ncannot read \"bad.xlsx\""),
              std::string::npos)
        << verbose.errors;
    EXPECT_NE(verbose.errors.find(
                  "sheetfray-split: 3 workbooks, 4 files written, 1 failure, 2 files renamed, "),
              std::string::npos)
        << verbose.errors;

    const Outcome quiet = run({"-q", "-o", out.string(), book, book, bad.string()});
    EXPECT_EQ(quiet.errors,
              "sheetfray-split: " + bad.string()
                  + ": the workbook is damaged (it is not a complete zip archive)\n");
}

TEST_F(SplitCommand, NothingToDoIsAUsageError)
{
    Outcome none = run({"--output", out.string()});
    EXPECT_EQ(none.status, 2);
    EXPECT_EQ(none.errors, "No files added.\n");

    Outcome folder = run({"--output", (dir.path() / "nowhere").string(), book1()});
    EXPECT_EQ(folder.status, 2);
    EXPECT_EQ(folder.errors, "Folder does not exist. Please select another folder.\n");

    Outcome wrong = run({"--each", "page", book1()});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_EQ(wrong.errors,
              "sheetfray-split: invalid argument 'page' for '--each'\n"
              "Try 'sheetfray-split --help' for more information.\n");
    EXPECT_TRUE(filesIn(out).empty());
}

TEST_F(SplitCommand, BadWorkbookIsReportedAndTheRunGoesOn)
{
    const auto bad = in / "notes.xlsx";
    writeFile(bad, std::string(16, '\0') + "binary junk");
    const Outcome outcome =
        run({"--output", out.string(), bad.string(), (in / "gone.xlsx").string(), book1()});
    EXPECT_EQ(outcome.status, 1);
    // One line each, naming the whole path.
    EXPECT_EQ(outcome.errors,
              "sheetfray-split: " + bad.string() + ": it is not a spreadsheet file\n"
                  + "sheetfray-split: " + (in / "gone.xlsx").string()
                  + ": the file does not exist\n");
    EXPECT_EQ(filesIn(out),
              (Files{{"Book1_1.txt", "Name\r\nQty\r\n"}, {"Book1_2.txt", "Pen\r\n3\r\n"}}));
}

TEST_F(SplitCommand, ReportsToAClosedPipeDoNotEndTheRun)
{
    const auto bad = in / "notes.xlsx";
    writeFile(bad, std::string(16, '\0') + "binary junk");
    std::vector<std::string> arguments{SHEETFRAY_SPLIT_PROGRAM,
                                       "--output",
                                       out.string(),
                                       bad.string(),
                                       (in / "gone.xlsx").string(),
                                       book1()};
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);

    // Standard error is a pipe nobody reads any more, as after "2>&1 | head -1".
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGPIPE, SIG_DFL);
        ::dup2(ends[1], 2);
        ::close(ends[1]);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(ends[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(filesIn(out),
              (Files{{"Book1_1.txt", "Name\r\nQty\r\n"}, {"Book1_2.txt", "Pen\r\n3\r\n"}}));
}

TEST_F(SplitCommand, FailuresPastTenOfOneReasonAreCountedInOneLine)
{
    std::vector<std::vector<TableCell>> rows;
    for (int i = 1; i <= 13; ++i) {
        rows.push_back({i});
    }
    const auto book = in / "Many.xlsx";
    XlsxBuilder().addTableSheet("Sheet1", rows).save(book);
    // No file can be written in /proc, whoever runs the test.
    const Outcome outcome = run({"--output", "/proc", book.string()});
    EXPECT_EQ(outcome.status, 1);
    std::size_t reports = 0;
    for (std::size_t at = 0;
         (at = outcome.errors.find(": cannot write \"/proc/Many_", at)) != std::string::npos;
         ++at) {
        ++reports;
    }
    EXPECT_EQ(reports, 10u);
    EXPECT_NE(outcome.errors.find("\nsheetfray-split: and 3 more files of \"Many.xlsx\" failed: "),
              std::string::npos)
        << outcome.errors;
}

TEST_F(SplitCommand, SameWorkbookInEveryFormatGivesTheSameFiles)
{
    // One workbook saved by an office suite as .xlsx, .xls and .ods.
    const std::filesystem::path data = SHEETFRAY_TEST_DATA;
    for (const char* mode : {"row", "column", "cell"}) {
        std::map<std::string, Files> byFormat;
        for (const char* extension : {".xlsx", ".xls", ".ods"}) {
            const auto target = out / (std::string(mode) + extension);
            std::filesystem::create_directories(target);
            const auto book = data / (std::string("contract") + extension);
            ASSERT_EQ(run({"--each",
                           mode,
                           "--name",
                           "location",
                           "--output",
                           target.string(),
                           book.string()})
                          .status,
                      0);
            byFormat[extension] = filesIn(target);
        }
        SCOPED_TRACE(mode);
        EXPECT_FALSE(byFormat[".xlsx"].empty());
        EXPECT_EQ(byFormat[".xls"], byFormat[".xlsx"]);
        EXPECT_EQ(byFormat[".ods"], byFormat[".xlsx"]);
    }
}

TEST_F(SplitCommand, EverySharedOfficeOpenXmlWorkbookSplitsOrNamesItsProblem)
{
    const std::filesystem::path shared =
        std::filesystem::path(SHEETFRAY_SHARED_TESTDATA) / "workbooks";
    if (!std::filesystem::exists(shared)) {
        GTEST_SKIP() << "no shared workbooks at " << shared;
    }
    int books = 0;
    for (const auto& entry : std::filesystem::directory_iterator(shared)) {
        const std::string extension = entry.path().extension().string();
        if (extension != ".xlsx" && extension != ".xlsm" && extension != ".xltx"
            && extension != ".xltm") {
            continue;
        }
        ++books;
        const auto target = out / entry.path().stem();
        std::filesystem::create_directories(target);
        for (const char* mode : {"row", "column", "cell"}) {
            const Outcome outcome =
                run({"--each", mode, "--output", target.string(), entry.path().string()});
            SCOPED_TRACE(entry.path().filename().string() + " " + mode);
            ASSERT_TRUE(outcome.status == 0 || outcome.status == 1) << outcome.errors;
            if (outcome.status == 1) {
                EXPECT_NE(outcome.errors.find(entry.path().filename().string()), std::string::npos)
                    << outcome.errors;
            }
        }
    }
    EXPECT_GE(books, 30);
}

} // namespace
} // namespace sheetfray::testing
