#include "platform/SystemLocale.h"

#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstring>

namespace sheetfray::platform {

LocaleInfo adoptSystemLocale()
{
    LocaleInfo info;
    const char* chosen = std::setlocale(LC_ALL, "");
    if (!chosen) {
        // An unknown locale in the environment leaves the C locale in force.
        chosen = std::setlocale(LC_ALL, "C");
    }
    const std::string messages = chosen ? std::setlocale(LC_TIME, nullptr) : "C";
    info.isPosix = messages == "C" || messages == "POSIX" || messages.rfind("C.", 0) == 0;
    info.name = messages;
    info.codeset = nl_langinfo(CODESET);
    info.dateFormat = nl_langinfo(D_FMT);
    info.timeFormat = nl_langinfo(T_FMT);
#ifdef _DATE_FMT
    info.longDateFormat = nl_langinfo(_DATE_FMT);
#endif
    info.thousandsSeparator = nl_langinfo(THOUSEP);
    const std::lconv* conventions = std::localeconv();
    info.decimalPoint = conventions && conventions->decimal_point && *conventions->decimal_point
        ? conventions->decimal_point
        : ".";
    return info;
}

bool isTerminal(int fileDescriptor)
{
    return ::isatty(fileDescriptor) == 1;
}

} // namespace sheetfray::platform
