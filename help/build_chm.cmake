# Build step of the help file, run as
#   cmake -DSOURCE_DIR=... -DPICTURES_DIR=... -DSTAGING_DIR=... -DPROJECT_FILE=VexoHelp.hhp
#         -DCHMCMD=... -DOUTPUT=... -P build_chm.cmake
# Stages the pages, style sheet, project and contents files and the pictures (under
# pictures/), runs chmcmd in the staging folder and copies the result to OUTPUT.
# A link from a page to a missing page or style sheet fails the build; a missing picture is
# reported as a warning (the pictures are drawn separately).
cmake_minimum_required(VERSION 3.21)

foreach(var SOURCE_DIR PICTURES_DIR STAGING_DIR PROJECT_FILE CHMCMD OUTPUT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "build_chm.cmake: ${var} is not set")
    endif()
endforeach()

file(REMOVE_RECURSE ${STAGING_DIR})
file(MAKE_DIRECTORY ${STAGING_DIR}/pictures)
file(GLOB sources ${SOURCE_DIR}/*.html ${SOURCE_DIR}/*.css ${SOURCE_DIR}/*.hhp ${SOURCE_DIR}/*.hhc)
file(COPY ${sources} DESTINATION ${STAGING_DIR})
file(GLOB pictures ${PICTURES_DIR}/*.svg)
if(pictures)
    file(COPY ${pictures} DESTINATION ${STAGING_DIR}/pictures)
endif()

get_filename_component(project_name ${PROJECT_FILE} NAME_WE)
set(compiled ${STAGING_DIR}/${project_name}.chm)
execute_process(
    COMMAND ${CHMCMD} --html-scan ${PROJECT_FILE}
    WORKING_DIRECTORY ${STAGING_DIR}
    RESULT_VARIABLE result
    OUTPUT_VARIABLE output
    ERROR_VARIABLE output)

if(NOT result EQUAL 0 OR NOT EXISTS ${compiled})
    message(FATAL_ERROR "chmcmd failed (exit status ${result}) on ${STAGING_DIR}/${PROJECT_FILE}:\n${output}")
endif()
file(SIZE ${compiled} compiled_size)
if(compiled_size EQUAL 0)
    message(FATAL_ERROR "chmcmd wrote an empty ${compiled}:\n${output}")
endif()

# "Warning: Found file X while scanning Y, but couldn't find it on disk"
string(REGEX MATCHALL "Found file [^\n]* while scanning [^\n]*, but couldn't find it on disk"
    missing "${output}")
set(broken "")
foreach(line IN LISTS missing)
    string(REGEX REPLACE "^Found file (.*) while scanning (.*), but couldn't find it on disk$"
        "\\1" target "${line}")
    if(target MATCHES "^pictures/")
        message(WARNING "Help: picture not found in ${PICTURES_DIR}: ${line}")
    else()
        string(APPEND broken "  ${line}\n")
    endif()
endforeach()
if(broken)
    message(FATAL_ERROR "Help: pages refer to files that do not exist:\n${broken}")
endif()
string(REGEX MATCHALL "Warning: File [^\n]* does not exist" absent "${output}")
if(absent)
    message(FATAL_ERROR "Help: files listed in ${PROJECT_FILE} do not exist:\n${absent}")
endif()

get_filename_component(output_dir ${OUTPUT} DIRECTORY)
file(MAKE_DIRECTORY ${output_dir})
file(COPY_FILE ${compiled} ${OUTPUT})
