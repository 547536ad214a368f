#include "tests/builders/ZipPackage.h"

#include <zip.h>

#include <memory>
#include <stdexcept>

namespace sheetfray::testing {

namespace {

struct ZipDiscard
{
    void operator()(zip_t* archive) const { zip_discard(archive); }
};

} // namespace

void writeZipPackage(const std::filesystem::path& path,
                     const PackageParts& parts,
                     const std::string& storedName)
{
    int error = 0;
    std::unique_ptr<zip_t, ZipDiscard> archive(
        zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error));
    if (!archive) {
        throw std::runtime_error("cannot create " + path.string());
    }
    for (const auto& [name, content] : parts) {
        // The buffers live in `parts` until zip_close has written them.
        zip_source_t* source = zip_source_buffer(archive.get(), content.data(), content.size(), 0);
        if (!source) {
            throw std::runtime_error("cannot add " + name + " to " + path.string());
        }
        const zip_int64_t index =
            zip_file_add(archive.get(), name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (index < 0) {
            zip_source_free(source);
            throw std::runtime_error("cannot add " + name + " to " + path.string());
        }
        if (!storedName.empty() && name == storedName) {
            zip_set_file_compression(
                archive.get(), static_cast<zip_uint64_t>(index), ZIP_CM_STORE, 0);
        }
    }
    if (zip_close(archive.get()) != 0) {
        throw std::runtime_error("cannot write " + path.string() + ": "
                                 + zip_strerror(archive.get()));
    }
    (void)archive.release();
}

} // namespace sheetfray::testing
