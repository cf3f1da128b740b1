# SPDX-License-Identifier: MIT
# Read by cpack before it packs (CPACK_PROJECT_CONFIG_FILE). cpack dates the files of the
# package by SOURCE_DATE_EPOCH; without it they would carry the time of packing, and two
# packages of the same commit would differ. A value the caller set is kept; otherwise the time of
# the commit is used: from the stamp that `git archive` writes into an exported source tree,
# else from git, else (a tree with neither) the date of the release in CHANGELOG.md.
if(DEFINED ENV{SOURCE_DATE_EPOCH})
  return()
endif()

set(epoch "")
file(READ "${CPACK_NARRAVOX_SOURCE_DIR}/packaging/commit-time" stamp)
string(STRIP "${stamp}" stamp)
if(stamp MATCHES "^[0-9]+$")
  set(epoch "${stamp}")
endif()

if(epoch STREQUAL "" AND EXISTS "${CPACK_NARRAVOX_SOURCE_DIR}/.git")
  find_program(GIT_PROGRAM git)
  if(GIT_PROGRAM)
    execute_process(COMMAND "${GIT_PROGRAM}" -C "${CPACK_NARRAVOX_SOURCE_DIR}" log -1 --format=%ct
                    OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE git_result ERROR_QUIET)
    if(git_result EQUAL 0 AND commit_time MATCHES "^[0-9]+$")
      set(epoch "${commit_time}")
    endif()
  endif()
endif()

if(epoch STREQUAL "")
  execute_process(COMMAND date -u -d "${CPACK_NARRAVOX_RELEASE_DATE} 00:00:00 UTC" +%s
                  OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE
                  COMMAND_ERROR_IS_FATAL ANY)
endif()
set(ENV{SOURCE_DATE_EPOCH} "${epoch}")
