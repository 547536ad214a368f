// Decrypts workbook streams saved with the default read password, "VelvetSweatshop": the
// password spreadsheet programs encrypt with when the user protects only the workbook's
// structure, and open with without asking (MS-XLS 2.2.10, MS-OFFCRYPTO 2.3.5 to 2.3.7).
#pragma once

#include <cstddef>
#include <span>

namespace sheetfray::engine::readers {

struct BiffRecord;

// How the records after FILEPASS are laid out: BIFF8 names the method in the record's first
// field; BIFF2 to BIFF5 know only XOR obfuscation, with the key and hash alone.
enum class FilePassLayout { Biff8, BeforeBiff8 };

// Decrypts in place the record bodies that follow the FILEPASS record in the stream, as the
// documented rules leave them: record headers, BOF, FILEPASS, INTERFACEHDR and a few others
// stay plain, as do the first four bytes (the sheet's position) of BOUNDSHEET. Throws
// ReadError(PasswordProtected) when the file needs another password or uses a method this
// program does not read (AES, for one).
void decryptWithDefaultPassword(std::span<std::byte> stream,
                                const BiffRecord& filePass,
                                FilePassLayout layout);

} // namespace sheetfray::engine::readers
