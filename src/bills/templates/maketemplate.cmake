# Packs a bill template: fills the parts of SOURCE into STAGE and zips them into OUTPUT.
# DUPLICATE=ON makes the old-bill copy, with a styled cell I1 for the word "Duplicate".
#   cmake -DSOURCE=dir -DSTAGE=dir -DOUTPUT=file -DDUPLICATE=ON|OFF -P maketemplate.cmake
if(DUPLICATE)
    set(TITLE "Duplicate bill")
    set(MARK_CELL "<c r=\"I1\" s=\"5\"/>")
else()
    set(TITLE "Bill")
    set(MARK_CELL "")
endif()
# the content types first, as spreadsheet programs write them
set(parts
    "[Content_Types].xml" "_rels/.rels" "docProps/core.xml" "docProps/app.xml" "xl/workbook.xml"
    "xl/_rels/workbook.xml.rels" "xl/styles.xml" "xl/sharedStrings.xml" "xl/worksheets/sheet1.xml")
file(REMOVE_RECURSE "${STAGE}")
foreach(part IN LISTS parts)
    configure_file("${SOURCE}/${part}" "${STAGE}/${part}" @ONLY)
endforeach()
execute_process(
    COMMAND ${CMAKE_COMMAND} -E tar cf "${OUTPUT}.part" --format=zip "--mtime=2024-01-01 00:00:00 UTC" -- ${parts}
    WORKING_DIRECTORY "${STAGE}"
    RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "cannot pack ${OUTPUT}")
endif()
file(RENAME "${OUTPUT}.part" "${OUTPUT}")
