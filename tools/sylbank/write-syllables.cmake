# Writes the syllable list of sylbank-check (CHECKER) to LIST, leaving the
# file untouched when its content is the same, so that what depends on the
# list is made again only when the list itself changes.
execute_process(COMMAND ${CHECKER} --syllables
                OUTPUT_VARIABLE syllables
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${CHECKER} --syllables failed: ${result}")
endif()
file(WRITE ${LIST}.new "${syllables}")
file(COPY_FILE ${LIST}.new ${LIST} ONLY_IF_DIFFERENT)
file(REMOVE ${LIST}.new)
