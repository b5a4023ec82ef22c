# Runs the pinyin table generator's checks: CHECK=regenerate compares the
# committed tables with a fresh generation, CHECK=rules runs the generator's
# own tests. Node and the generator's npm packages are looked for when the
# test runs, not when the build is configured, and their absence fails the
# test rather than skipping it.
set(hint "run `npm ci --prefix tools/pinyin` (Node.js 20 or later with npm is needed)")

if(NOT NODE OR NOT EXISTS "${NODE}")
  message(FATAL_ERROR "node was not found; ${hint}")
endif()
if(NOT IS_DIRECTORY "${SOURCE_DIR}/tools/pinyin/node_modules")
  message(FATAL_ERROR "tools/pinyin/node_modules is missing; ${hint}")
endif()

if(CHECK STREQUAL "regenerate")
  set(command "${NODE}" "${SOURCE_DIR}/tools/pinyin/generate.mjs" --check)
  set(failure "the pinyin tables do not match their generator; run `node tools/pinyin/generate.mjs`")
elseif(CHECK STREQUAL "rules")
  set(command "${NODE}" --test "${SOURCE_DIR}/tools/pinyin/")
  set(failure "the pinyin table generator failed its own tests")
else()
  message(FATAL_ERROR "unknown CHECK '${CHECK}'")
endif()

execute_process(COMMAND ${command} WORKING_DIRECTORY "${SOURCE_DIR}" RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${failure} (exit ${result})")
endif()
