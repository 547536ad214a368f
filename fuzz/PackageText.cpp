// sheetfray-fuzz-package-text ZIP: prints every entry of a zip archive as package text (see
// FuzzSupport.h), so the workbooks of the test data seed the zip-based fuzz targets.
#include <zip.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

struct ZipDiscard
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: sheetfray-fuzz-package-text ZIP\n", stderr);
        return 2;
    }
    int code = 0;
    std::unique_ptr<zip_t, ZipDiscard> archive(zip_open(argv[1], ZIP_RDONLY, &code));
    if (!archive) {
        std::fprintf(stderr, "sheetfray-fuzz-package-text: %s is not a zip archive\n", argv[1]);
        return 1;
    }
    std::string text;
    const zip_int64_t count = zip_get_num_entries(archive.get(), 0);
    for (zip_int64_t i = 0; i < count; ++i) {
        const auto index = static_cast<zip_uint64_t>(i);
        const char* name = zip_get_name(archive.get(), index, 0);
        zip_file_t* file = name ? zip_fopen_index(archive.get(), index, 0) : nullptr;
        if (!file) {
            continue;
        }
        text += "@@ ";
        text += name;
        text += '\n';
        char buffer[65536];
        zip_int64_t n = 0;
        while ((n = zip_fread(file, buffer, sizeof buffer)) > 0) {
            text.append(buffer, static_cast<std::size_t>(n));
        }
        zip_fclose(file);
        if (text.back() != '\n') {
            text += '\n';
        }
    }
    std::fwrite(text.data(), 1, text.size(), stdout);
    return 0;
}
