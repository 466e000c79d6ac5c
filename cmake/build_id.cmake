# Writes the header that names the build: the commit the tree was built
# from, "-dirty" with changes not committed, or BEMVARA_BUILD_ID where the
# tree has no history. Run on every build, it rewrites the header only
# when the name changes, so an unchanged tree builds nothing again.
#   cmake -DSOURCE=DIR -DOUT=FILE -P build_id.cmake
execute_process(COMMAND git -C "${SOURCE}" describe --always --dirty --abbrev=12
                OUTPUT_VARIABLE id OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
if(failed OR id STREQUAL "")
    set(id "$ENV{BEMVARA_BUILD_ID}")
endif()
if(id STREQUAL "")
    set(id "source")
endif()
set(text "// Made by cmake/build_id.cmake.\n#define BEMVARA_BUILD \"${id}\"\n")
if(EXISTS "${OUT}")
    file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
    file(WRITE "${OUT}" "${text}")
endif()
