# Writes the clip list of sylbank-check (CHECKER --clips) to LIST, leaving
# the file untouched when its content is the same, so that the bank is made
# again only when the list itself changes, not whenever the checker is
# relinked.
execute_process(COMMAND ${CHECKER} --clips
                OUTPUT_VARIABLE clips
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${CHECKER} --clips failed: ${result}")
endif()
file(WRITE ${LIST}.new "${clips}")
file(COPY_FILE ${LIST}.new ${LIST} ONLY_IF_DIFFERENT)
file(REMOVE ${LIST}.new)
