# The one writer into a game's folder: puts the plugin, its text and its
# settings file there from the package the `package` preset's build made
# (build/package/dist), and takes them out again, with CMake alone:
#   cmake -P tools/plugin-files.cmake -- install|uninstall GAME_DIR
# (without `--`, CMake reads what follows as its own options). It finds the
# plugin's files as Windows does, in any ASCII letter case, by one glob a
# name, never by listing the folder. It writes each as NAME.quillmere-new
# beside its target and renames it over (a link is replaced, never written
# through), after copying the file it replaces or removes to
# NAME.quillmere-old (a file the game holds is never moved), to put back if
# a later step fails; the next run removes what a stopped run left. One run
# at a time; a refusal is one line, "COMMAND: what and why".
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()

# The player's files, in the order they are written: the .asi first, since a
# running game holds it and a refusal is best met before anything changed.
set(PLUGIN_FILES Quillmere.asi Quillmere.txt Quillmere.ini)
set(SETTINGS Quillmere.ini)
set(SUMS SHA256SUMS)
set(ZIP_STEM Quillmere-)
set(NEW .quillmere-new)
set(OLD .quillmere-old)
cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH _ROOT)
set(PACKAGE "${_ROOT}/build/package/dist")
set(ANY_CASE Aa Bb Cc Dd Ee Ff Gg Hh Ii Jj Kk Ll Mm Nn Oo Pp Qq Rr Ss Tt Uu Vv Ww Xx Yy Zz)
string(ASCII 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 127 _CONTROLS)
set(_DENIED "")  # what may have kept Windows from changing a file
if(CMAKE_HOST_WIN32)
  set(_DENIED " (if the game is running, quit it first; a folder under Program Files needs this run as administrator)")
endif()

# Prints "VERB: WHY", the one line of a refusal, and stops with a failing
# status; before 3.29, CMake adds a note, which make leaves out.
# (Functions throughout, never macros: those expand a ${...} in a name.)
function(refuse why)
  string(REGEX REPLACE "[${_CONTROLS}]" "?" why "${why}")
  message(NOTICE "${VERB}: ${why}")
  if(CMAKE_VERSION VERSION_GREATER_EQUAL 3.29)
    cmake_language(EXIT 2)
  endif()
  message(FATAL_ERROR "stopped: the line above says why")
endfunction()

# Prints TEXT's lines on standard output, in UTF-8 on every system.
function(say text)
  string(REGEX REPLACE "\n$" "" text "${text}")
  execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${text}" ENCODING UTF-8)
endfunction()

# Refuses PATH, which WHAT names, where it holds what keeps it from being
# used as a name: a character that Windows reads as a separator, a wildcard,
# a drive or a stream, a control character, or CMake's list separator.
function(refuse_odd_name what path)
  if(CMAKE_HOST_WIN32)  # there a backslash is a separator, and a drive's colon a drive's
    string(REGEX REPLACE "^[A-Za-z]:" "" path "${path}")
    string(REPLACE "\\" "" path "${path}")
  endif()
  string(REGEX MATCH "[${_CONTROLS};*?\"<>|:\\]" odd "${path}")
  if(odd MATCHES "[${_CONTROLS}]")
    string(HEX "${odd}" odd)
    refuse("${what} holds a control character (0x${odd}): choose another")
  elseif(NOT odd STREQUAL "")
    refuse("${what} holds '${odd}', which Windows or CMake reads otherwise: choose another")
  endif()
endfunction()

# Sets OUT to a glob pattern matching TEXT alone: glob's own characters stand
# for themselves. With ANY_CASE (for names of our own, which hold none of
# them), each ASCII letter matches itself in either case, as Windows matches.
function(pattern_of out text)
  string(REGEX REPLACE "([][*?])" "[\\1]" pattern "${text}")
  foreach(letter IN LISTS ${ARGN})  # with ANY_CASE, each letter's two cases
    string(REGEX REPLACE "[${letter}]" "[${letter}]" pattern "${pattern}")
  endforeach()
  set(${out} "${pattern}" PARENT_SCOPE)
endfunction()

# Sets OUT to the entry of the game's folder Windows opens as NAME, or to nothing; refuses two.
function(entry_named out name)
  pattern_of(pattern "${name}" ANY_CASE)
  file(GLOB found LIST_DIRECTORIES true RELATIVE "${GAME}" "${FOLDER}/${pattern}")
  if(found MATCHES ";")  # two or more: no name of ours holds a ';'
    string(REPLACE ";" " and " found "${found}")
    refuse("${GAME} holds ${found}, which Windows takes for one file: remove all but one first")
  endif()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Does OPERATION to the file PATH (COPY_FILE PATH TO; RENAME PATH TO, in one
# step; remove PATH), a change a test may stop, hold or fail, known by the file
# it makes or removes; sets OUT to why it failed, or to nothing. A file removed
# is gone once the folder's own list (which also holds a file this user may
# not read) no longer holds it.
function(file_step out operation path)
  if(DEFINED QUILLMERE_TEST_HOOK)
    string(REGEX REPLACE "^remove $" "remove ${path}" STEP "${operation} ${ARGN}")
    include("${QUILLMERE_TEST_HOOK}")
  endif()
  set(result "the test made it fail")
  if(operation STREQUAL "remove")
    if(NOT STEP_FAILS)
      file(REMOVE "${path}")
    endif()
    pattern_of(pattern "${path}")
    file(GLOB result LIST_DIRECTORIES true "${pattern}")
    string(REGEX REPLACE ".+" "it is still there" result "${result}")
  elseif(NOT STEP_FAILS)
    file(${operation} "${path}" "${ARGN}" RESULT result)
  endif()
  string(STRIP "${result}" result)  # Windows ends its reasons with a line end
  string(REGEX REPLACE "^0$" "" result "${result}")
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Sets OUT to the checksum of PATH, a plain file with something in it, or to
# nothing: a link, a folder, one this user may not read, or an empty one (a
# pipe or a device reads so, and their reading may never end) is not read.
function(checksum out path)
  set(sum "")
  if(EXISTS "${path}" AND NOT IS_SYMLINK "${path}" AND NOT IS_DIRECTORY "${path}")
    file(SIZE "${path}" size)
    if(size GREATER 0)
      file(SHA256 "${path}" sum)
    endif()
  endif()
  set(${out} "${sum}" PARENT_SCOPE)
endfunction()

# Holds the lock PATH, a file in a build tree of this checkout's, until this run
# ends, waiting up to SECONDS for another run to let it go; or refuses, saying WHO.
function(lock path seconds who)
  if(NOT IS_SYMLINK "${path}")  # a link is never followed: it may lead anywhere
    execute_process(COMMAND "${CMAKE_COMMAND}" -E touch "${path}" RESULT_VARIABLE touched
                    OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(NOT touched EQUAL 0)
    refuse("cannot open the lock ${path}: it is a link, not yours to write, or missing where you may not make it")
  endif()
  file(LOCK "${path}" GUARD PROCESS TIMEOUT ${seconds} RESULT_VARIABLE locked)
  if(NOT locked STREQUAL "0")
    refuse("${who} (${locked}): wait for it to end, then run this again")
  endif()
endfunction()

# Removes this script's own names beside the plugin's files ARGN, trying
# every one, and sets OUT to those still there (each after a blank). With
# SAY among ARGN, says each it removed: a stopped run left it.
function(remove_ours out)
  set(left "")
  foreach(name IN LISTS ARGN)
    foreach(suffix IN ITEMS "${NEW}" "${OLD}")
      if(name STREQUAL "SAY" OR "${name}${suffix}" STREQUAL "${SETTINGS}${OLD}")  # never made
        continue()
      endif()
      entry_named(found "${name}${suffix}")
      if(IS_DIRECTORY "${BASE}/${found}" AND NOT found STREQUAL "")
        refuse("${BASE}/${found} is a folder, in the way of this script's own file: move it away first")
      elseif(NOT found STREQUAL "")
        file_step(why remove "${BASE}/${found}")
        if(NOT why STREQUAL "")
          string(APPEND left " ${BASE}/${found}")
        elseif("SAY" IN_LIST ARGN)
          say("removed ${BASE}/${found}, which a stopped run left")
        endif()
      endif()
    endforeach()
  endforeach()
  set(${out} "${left}" PARENT_SCOPE)
endfunction()

# Sets OUT to the folder the build tree TREE was configured for, where that is
# not this checkout (it was copied or moved), or to nothing; each folder as the
# filesystem resolves it (links, and on Windows and macOS letter case), never
# by a lowered spelling: two folders whose names differ in case alone are two.
# (On Windows, a Linux path a tree names is read as on this drive: a tree Linux
# CMake configured is this one under Wine's Z:.)
function(configured_elsewhere out tree)
  set(built "")
  if(EXISTS "${tree}/CMakeCache.txt")
    file(READ "${tree}/CMakeCache.txt" built)
    string(REGEX MATCH "\nCMAKE_HOME_DIRECTORY:INTERNAL=([^\n]*)" built "\n${built}")
    string(REGEX REPLACE "^'(.*)'$" "\\1" built "${CMAKE_MATCH_1}")  # quoted if it ends in a blank
    if(IS_DIRECTORY "${built}")
      file(REAL_PATH "${built}" real BASE_DIRECTORY "${_ROOT}")
      file(REAL_PATH "${_ROOT}" here)
      if(real STREQUAL here)
        set(built "")
      endif()
    endif()
  endif()
  set(${out} "${built}" PARENT_SCOPE)
endfunction()

# --- The commands: install puts the package's plugin files in the game's
# folder GIVEN, keeping a Quillmere.ini there; uninstall takes them out,
# keeping a Quillmere.ini that is not the one shipped.
function(change_folder given)
  if(given STREQUAL "")
    refuse("say which game folder: GAME_DIR=path/to/the/game")
  endif()
  refuse_odd_name("the game folder '${given}'" "${given}")
  file(TO_CMAKE_PATH "${given}" path)
  cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}")
  if(IS_DIRECTORY "${path}" AND NOT EXISTS "${path}")
    refuse("${path} cannot be listed: you may not read that folder")
  elseif(IS_SYMLINK "${path}" AND NOT EXISTS "${path}")
    refuse("${path} is a link to nothing")
  elseif(NOT IS_DIRECTORY "${path}" AND EXISTS "${path}")
    refuse("${path} is not a folder")
  elseif(NOT IS_DIRECTORY "${path}")  # or a folder on the way is closed to this user
    refuse("${path} does not exist, or you may not reach it")
  endif()
  file(REAL_PATH "${path}" GAME)
  refuse_odd_name("${path} leads to '${GAME}', which" "${GAME}")
  string(REGEX REPLACE "/$" "" BASE "${GAME}")  # what a name in it follows: / gives /NAME
  # A folder holding nothing but the player's package (whole, or on its way,
  # and hidden files) is where a build puts it, known by what it holds.
  pattern_of(FOLDER "${GAME}")  # for every glob in it
  pattern_of(ours "Quillmere\\.|Quillmere-|${SUMS}" ANY_CASE)  # a regular expression too
  file(GLOB all LIST_DIRECTORIES true RELATIVE "${GAME}" "${FOLDER}/*")
  set(others "${all}")
  list(FILTER others EXCLUDE REGEX "^([.]|${ours})")  # and hidden ones
  if(others STREQUAL "" AND NOT all STREQUAL "")
    refuse("${GAME} holds the player's package and nothing else: it is where a build puts it, not a game's folder")
  endif()
  entry_named(host ScriptHookV.dll)
  if(VERB STREQUAL "install" AND (host STREQUAL "" OR IS_DIRECTORY "${BASE}/${host}"))
    refuse("${GAME} holds no ScriptHookV.dll: install the script host there first")
  endif()
  set(lines "")
  if(EXISTS "${PACKAGE}/${SUMS}" AND EXISTS "${_ROOT}/build/package/CMakeCache.txt")
    file(STRINGS "${PACKAGE}/${SUMS}" lines)
  endif()
  foreach(name IN LISTS PLUGIN_FILES)
    checksum(SUM_${name} "${PACKAGE}/${name}")
    if(NOT "${SUM_${name}}  ${name}" IN_LIST lines)
      refuse("${PACKAGE} holds no whole package: make it first (cmake --preset package, then cmake --build --preset package)")
    endif()
  endforeach()
  # A build tree copied along from another folder holds that folder's package, not this one's.
  configured_elsewhere(built "${_ROOT}/build/package")
  if(NOT built STREQUAL "")
    refuse("${PACKAGE} was built for ${built}, not for this checkout (a copy, or moved): build it here first (cmake --preset package --fresh, then cmake --build --preset package)")
  endif()

  # One run at a time from this checkout, by a lock its build made. (Runs
  # from two checkouts into one folder are not kept apart: docs/package.md.)
  lock("${_ROOT}/build/package/install.lock" 3 "another install or uninstall from this checkout is running")
  remove_ours(left SAY ${PLUGIN_FILES})
  if(NOT left STREQUAL "")
    refuse("cannot remove${left}, which a stopped run left${_DENIED}")
  endif()
  # TARGET_<name>: the path Windows opens for each of the plugin's files; HAS_<name>: is it there
  foreach(name IN LISTS PLUGIN_FILES)
    entry_named(found "${name}")
    string(COMPARE NOTEQUAL "${found}" "" HAS_${name})
    set(path "${BASE}/${found}")
    set(size 1)
    if(EXISTS "${path}" AND NOT IS_DIRECTORY "${path}" AND NOT name STREQUAL SETTINGS)
      file(SIZE "${path}" size)  # a pipe's or a device's is 0: never read them
    endif()
    if(HAS_${name} AND (IS_SYMLINK "${path}" OR IS_DIRECTORY "${path}" OR size EQUAL 0))
      refuse("${path} is a link, a folder or empty (a pipe, a device): move it away first")
    endif()
    string(REGEX REPLACE "/$" "/${name}" TARGET_${name} "${path}")  # none there: ours
  endforeach()
  checksum(sum "${TARGET_${SETTINGS}}")
  set(names Quillmere.asi Quillmere.txt)
  if((VERB STREQUAL "install" AND NOT HAS_${SETTINGS}) OR (VERB STREQUAL "uninstall" AND sum STREQUAL SUM_${SETTINGS}))
    list(APPEND names "${SETTINGS}")  # last: no step after it to undo it for
  endif()

  # A copy of each file it replaces or removes, and each new file, beside its
  # target; then the renames or removals, the .asi first. A step that fails puts
  # back what the steps before it changed, trying every one, and removes what this run made.
  set(why "")
  foreach(name IN LISTS names)
    if(HAS_${name} AND NOT name STREQUAL SETTINGS AND why STREQUAL "")
      set(failed "cannot keep a copy of ${TARGET_${name}}")
      file_step(why COPY_FILE "${TARGET_${name}}" "${BASE}/${name}${OLD}")
    endif()
    if(VERB STREQUAL "install" AND why STREQUAL "")
      set(failed "cannot write ${BASE}/${name}${NEW}")
      file_step(why COPY_FILE "${PACKAGE}/${name}" "${BASE}/${name}${NEW}")
    endif()
    if(VERB STREQUAL "install" AND why STREQUAL "")  # unless a build rewrote it meanwhile
      file(SHA256 "${BASE}/${name}${NEW}" sum)
      string(REPLACE "${SUM_${name}}" "" why "${sum}")
      string(REGEX REPLACE ".+" "the package changed as it was copied; make it again" why "${why}")
    endif()
  endforeach()
  set(done "")
  set(said "")  # what to say once every step is done
  foreach(name IN LISTS names)
    if(VERB STREQUAL "install" AND why STREQUAL "")
      set(failed "cannot replace ${TARGET_${name}}")
      file_step(why RENAME "${BASE}/${name}${NEW}" "${TARGET_${name}}")
      list(APPEND done "${name}")
      string(APPEND said "installed ${TARGET_${name}} (from ${PACKAGE})\n")
    elseif(HAS_${name} AND why STREQUAL "")
      set(failed "cannot remove ${TARGET_${name}}")
      file_step(why remove "${TARGET_${name}}")
      list(APPEND done "${name}")
      string(APPEND said "removed ${TARGET_${name}}\n")
    endif()
  endforeach()
  set(back "")
  set(lost "")
  if(NOT why STREQUAL "")
    list(POP_BACK done)  # the one that failed
    foreach(name IN LISTS done)
      if(HAS_${name})
        file_step(undone RENAME "${BASE}/${name}${OLD}" "${TARGET_${name}}")
        string(APPEND back " ${TARGET_${name}}")
      else()
        file_step(undone remove "${TARGET_${name}}")
      endif()
      if(NOT undone STREQUAL "")  # its copy stays: it may be the only one
        string(APPEND lost " ${TARGET_${name}} (its copy: ${name}${OLD})")
        list(REMOVE_ITEM names "${name}")
      endif()
    endforeach()
  endif()
  remove_ours(left ${names})
  if(NOT why STREQUAL "" AND NOT "${lost}${left}" STREQUAL "")
    refuse("${failed}: ${why}${_DENIED}; not as they were:${lost}${left}")
  elseif(NOT why STREQUAL "" AND NOT back STREQUAL "")
    refuse("${failed}: ${why}${_DENIED}; ${GAME} holds what it held (put back as copies:${back})")
  elseif(NOT why STREQUAL "")
    refuse("${failed}: ${why}${_DENIED}; ${GAME} is as it was")
  endif()

  if(HAS_${SETTINGS} AND NOT "${SETTINGS}" IN_LIST names)
    string(APPEND said "kept ${TARGET_${SETTINGS}}: it may hold settings of your own\n")
  elseif(said STREQUAL "")
    set(said "nothing to remove: ${GAME} holds none of the plugin's files\n")
  endif()
  say("${said}")
  if(NOT left STREQUAL "")
    refuse("done, but cannot remove${left}; the next install or uninstall removes it")
  endif()
endfunction()

# --- For the build: removes this checkout's build/PRESET where it was
# configured for another folder (the checkout was copied or moved), so that
# it is made afresh: its Wine prefix and links name that folder's files.
function(forget_copied_tree preset)
  if(NOT preset MATCHES "^[a-z0-9-]+$")
    refuse("not a preset's name: '${preset}'")
  endif()
  configured_elsewhere(built "${_ROOT}/build/${preset}")
  if(NOT built STREQUAL "")
    file(REMOVE_RECURSE "${_ROOT}/build/${preset}")
  endif()
endfunction()

# --- Running a command of a table, given as rows "name|arguments|function":
# the row that cmake's arguments after `--` name gets each argument whole, by
# reference (a list would split a name at ';', and pasting its text into the
# call would expand a ${...} in it); any other call gets the usage.
function(run_command script)
  set(first 0)  # the command's name, after `--`
  set(given "")  # each argument after it, by reference
  foreach(at RANGE ${CMAKE_ARGC})
    if(first GREATER 0 AND at GREATER first AND DEFINED CMAKE_ARGV${at})
      string(APPEND given " \"\${CMAKE_ARGV${at}}\"")
    elseif(first EQUAL 0 AND "${CMAKE_ARGV${at}}" STREQUAL "--")
      math(EXPR first "${at} + 1")
    endif()
  endforeach()
  math(EXPR count "${CMAKE_ARGC} - ${first} - 1")
  set(usage "")
  foreach(row IN LISTS ARGN)
    string(REPLACE "|" ";" row "${row}")
    list(POP_FRONT row name arguments function)
    string(APPEND usage " | ${name} ${arguments}")
    string(REGEX MATCHALL "[^ ]+" wanted "${arguments}")
    list(LENGTH wanted wanted)
    if(first GREATER 0 AND "${CMAKE_ARGV${first}}" STREQUAL name AND count EQUAL wanted)
      set(VERB "${name}")
      cmake_language(EVAL CODE "${function}(${given})")
      return()
    endif()
  endforeach()
  cmake_path(GET script STEM VERB)
  string(SUBSTRING "${usage}" 3 -1 usage)
  refuse("usage: cmake -P ${script} -- ${usage}")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  run_command(tools/plugin-files.cmake
    "install|GAME_DIR|change_folder"
    "uninstall|GAME_DIR|change_folder"
    "fresh|PRESET|forget_copied_tree")
endif()
