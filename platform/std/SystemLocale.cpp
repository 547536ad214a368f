#include "platform/SystemLocale.h"

#include <langinfo.h>
#include <unistd.h>

#include <array>
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
    constexpr std::array<nl_item, 12> months = {
        MON_1, MON_2, MON_3, MON_4, MON_5, MON_6, MON_7, MON_8, MON_9, MON_10, MON_11, MON_12};
    constexpr std::array<nl_item, 12> monthAbbreviations = {ABMON_1,
                                                            ABMON_2,
                                                            ABMON_3,
                                                            ABMON_4,
                                                            ABMON_5,
                                                            ABMON_6,
                                                            ABMON_7,
                                                            ABMON_8,
                                                            ABMON_9,
                                                            ABMON_10,
                                                            ABMON_11,
                                                            ABMON_12};
    for (std::size_t i = 0; i < months.size(); ++i) {
        info.months[i] = nl_langinfo(months[i]);
        info.monthAbbreviations[i] = nl_langinfo(monthAbbreviations[i]);
    }
    constexpr std::array<nl_item, 7> days = {DAY_1, DAY_2, DAY_3, DAY_4, DAY_5, DAY_6, DAY_7};
    constexpr std::array<nl_item, 7> dayAbbreviations = {
        ABDAY_1, ABDAY_2, ABDAY_3, ABDAY_4, ABDAY_5, ABDAY_6, ABDAY_7};
    for (std::size_t i = 0; i < days.size(); ++i) {
        info.days[i] = nl_langinfo(days[i]);
        info.dayAbbreviations[i] = nl_langinfo(dayAbbreviations[i]);
    }
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
