# `format-check` fails when a source file is not as clang-format would write it; `format`
# rewrites them. Both take the files of the tree as they are when the target runs.
find_program(SHEETFRAY_CLANG_FORMAT NAMES clang-format-14 clang-format)
if(SHEETFRAY_CLANG_FORMAT)
    set(sheetfray_format_list
        "cd '${PROJECT_SOURCE_DIR}' && git ls-files -z --cached --others --exclude-standard -- '*.cpp' '*.h'")
    add_custom_target(format-check
        COMMAND sh -c "${sheetfray_format_list} | xargs -0 '${SHEETFRAY_CLANG_FORMAT}' --dry-run --Werror"
        COMMENT "Checking that every source file is formatted"
        VERBATIM)
    add_custom_target(format
        COMMAND sh -c "${sheetfray_format_list} | xargs -0 '${SHEETFRAY_CLANG_FORMAT}' -i"
        COMMENT "Formatting every source file"
        VERBATIM)
endif()
