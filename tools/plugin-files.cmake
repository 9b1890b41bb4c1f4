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
set(SCRIPT_HOST ScriptHookV.dll)
set(SUMS SHA256SUMS)
set(ZIP_STEM Quillmere-)
set(NEW .quillmere-new)
set(OLD .quillmere-old)
cmake_path(GET CMAKE_CURRENT_LIST_DIR PARENT_PATH _ROOT)
set(PACKAGE "${_ROOT}/build/package/dist")
set(PACKAGE_CACHE "${_ROOT}/build/package/CMakeCache.txt")
set(_UPPER A B C D E F G H I J K L M N O P Q R S T U V W X Y Z)
set(_LOWER a b c d e f g h i j k l m n o p q r s t u v w x y z)
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
  if(NOT text STREQUAL "")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${text}" ENCODING UTF-8)
  endif()
endfunction()

# Sets OUT to what in PATH keeps it from being used as a name, or to
# nothing: a character that Windows reads as a separator, a wildcard, a
# drive or a stream, a control character, or CMake's list separator. (On
# Windows, a backslash is a separator and a drive's colon a drive's.)
function(name_problem out path)
  set(odd "[${_CONTROLS};*?\"<>|:\\]")
  if(CMAKE_HOST_WIN32)
    string(REGEX REPLACE "^[A-Za-z]:" "" path "${path}")
    set(odd "[${_CONTROLS};*?\"<>|:]")
  endif()
  string(REGEX MATCH "${odd}" odd "${path}")
  if(odd MATCHES "[${_CONTROLS}]")
    string(HEX "${odd}" odd)
    set(odd "a control character (0x${odd})")
  elseif(NOT odd STREQUAL "")
    set(odd "'${odd}', which Windows or CMake reads otherwise")
  endif()
  set(${out} "${odd}" PARENT_SCOPE)
endfunction()

# Sets OUT to a glob pattern matching TEXT alone: glob's own characters stand
# for themselves. With ANY_CASE (for names of our own, which hold none of
# them), each ASCII letter matches itself in either case, as Windows matches.
function(pattern_of out text)
  string(REGEX REPLACE "([][*?])" "[\\1]" pattern "${text}")
  foreach(upper lower IN ZIP_LISTS _UPPER _LOWER)
    if(ARGN STREQUAL "ANY_CASE")
      string(REGEX REPLACE "[${upper}${lower}]" "[${upper}${lower}]" pattern "${pattern}")
    endif()
  endforeach()
  set(${out} "${pattern}" PARENT_SCOPE)
endfunction()

function(names_matching out folder pattern)  # those PATTERN matches
  pattern_of(folder_pattern "${folder}")
  file(GLOB found LIST_DIRECTORIES true RELATIVE "${folder}" "${folder_pattern}/${pattern}")
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# Sets OUT to the entry of FOLDER that Windows opens as NAME, or to nothing;
# refuses two of them.
function(entry_named out folder name)
  pattern_of(pattern "${name}" ANY_CASE)
  names_matching(found "${folder}" "${pattern}")
  list(LENGTH found count)
  if(count GREATER 1)
    string(REPLACE ";" " and " found "${found}")
    refuse("${folder} holds ${found}, which Windows takes for one file: remove all but one first")
  endif()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# --- Steps: the changes, each of which a test may stop, hold or fail.

function(step what)
  set(STEP_FAILS FALSE)
  if(DEFINED QUILLMERE_TEST_HOOK)
    set(STEP "${what}")
    include("${QUILLMERE_TEST_HOOK}")
  endif()
  set(STEP_FAILS "${STEP_FAILS}" PARENT_SCOPE)
endfunction()

# Does OPERATION (COPY_FILE: FROM to a new file TO; RENAME: FROM over TO in
# one step); sets OUT to why it failed, or to nothing.
function(file_step out operation from to)
  step("${operation} ${to}")
  set(result "the test made it fail")
  if(NOT STEP_FAILS)
    file(${operation} "${from}" "${to}" RESULT result)
  endif()
  string(STRIP "${result}" result)  # Windows ends its reasons with a line end
  string(REGEX REPLACE "^0$" "" result "${result}")
  set(${out} "${result}" PARENT_SCOPE)
endfunction()

# Removes the file PATH; sets OUT to nothing once it is gone by the folder's
# own list, which also holds a file this user may not read.
function(remove_file out path)
  step("remove ${path}")
  if(NOT STEP_FAILS)
    file(REMOVE "${path}")
  endif()
  cmake_path(GET path PARENT_PATH folder)
  cmake_path(GET path FILENAME name)
  pattern_of(pattern "${name}")
  names_matching(still "${folder}" "${pattern}")
  string(REGEX REPLACE ".+" "it is still there" still "${still}")
  set(${out} "${still}" PARENT_SCOPE)
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

# Holds the lock PATH, a file in a build tree of this checkout's, until this
# run ends, waiting up to SECONDS for another run to let it go; or refuses,
# saying WHO holds it.
function(lock path seconds who)
  execute_process(COMMAND "${CMAKE_COMMAND}" -E touch "${path}" RESULT_VARIABLE touched
                  OUTPUT_QUIET ERROR_QUIET)
  if(NOT touched EQUAL 0)
    refuse("cannot open ${path}: it is another user's (left by a run with sudo?), or you may not write its folder; delete it, then run this again")
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
      entry_named(found "${GAME}" "${name}${suffix}")
      if(IS_DIRECTORY "${BASE}/${found}" AND NOT found STREQUAL "")
        refuse("${BASE}/${found} is a folder, in the way of this script's own file: move it away first")
      elseif(NOT found STREQUAL "")
        remove_file(why "${BASE}/${found}")
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

# Sets OUT to the folder the build tree TREE was configured for, where that
# is not this checkout (it was copied or moved), or to nothing; each folder
# as the filesystem resolves it, so that two spellings of one are one and
# two folders are two, whatever their letter case. (On Windows, a Linux path
# a tree names is read as on this drive: a tree Linux CMake configured is
# this one under Wine's Z:. CMake keeps a path ending in a blank in quotes.)
function(configured_elsewhere out tree)
  set(built "")
  if(EXISTS "${tree}/CMakeCache.txt")
    file(READ "${tree}/CMakeCache.txt" built)
    string(REGEX MATCH "\nCMAKE_HOME_DIRECTORY:INTERNAL=([^\n]*)" built "\n${built}")
    string(REGEX REPLACE "^'(.*)'$" "\\1" built "${CMAKE_MATCH_1}")
    set(real "")
    if(IS_DIRECTORY "${built}")
      file(REAL_PATH "${built}" real BASE_DIRECTORY "${_ROOT}")
    endif()
    file(REAL_PATH "${_ROOT}" here)
    if(real STREQUAL here)
      set(built "")
    endif()
  endif()
  set(${out} "${built}" PARENT_SCOPE)
endfunction()

# Sets, in the caller: GAME (the folder's real path), BASE (what a name in it
# follows, so that / gives /NAME), SUM_<name> (each checksum the package's
# SHA256SUMS gives) and, for each of the plugin's files, TARGET_<name> (the
# path Windows opens for it) and HAS_<name> (whether it is there). Refuses a
# name or a folder it cannot use; then keeps other runs out of the folder
# until this one ends, and removes what a stopped run left there.
function(game_folder given)
  name_problem(problem "${given}")
  if(given STREQUAL "")
    refuse("say which game folder: GAME_DIR=path/to/the/game")
  elseif(NOT problem STREQUAL "")
    refuse("the game folder '${given}' holds ${problem}: choose another")
  endif()
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
  file(REAL_PATH "${path}" game)
  name_problem(problem "${game}")
  if(NOT problem STREQUAL "")
    refuse("${path} leads to '${game}', which holds ${problem}: choose another")
  endif()
  string(REGEX REPLACE "/$" "" base "${game}")
  set(GAME "${game}")
  set(BASE "${base}")
  # A folder holding nothing but the player's package (whole, or on its way,
  # and hidden files) is where a build puts it, known by what it holds.
  pattern_of(folder "${game}")
  pattern_of(ours "Quillmere" ANY_CASE)
  pattern_of(sums "${SUMS}" ANY_CASE)
  file(GLOB all LIST_DIRECTORIES true RELATIVE "${game}" "${folder}/*")
  set(others "${all}")
  list(FILTER others EXCLUDE REGEX "^([.]|${ours}[.-]|${sums})")  # and hidden ones
  if(others STREQUAL "" AND NOT all STREQUAL "")
    refuse("${game} holds the player's package and nothing else: it is where a build puts it, not a game's folder")
  endif()
  entry_named(host "${game}" "${SCRIPT_HOST}")
  if(VERB STREQUAL "install" AND (host STREQUAL "" OR IS_DIRECTORY "${base}/${host}"))
    refuse("${game} holds no ${SCRIPT_HOST}: install the script host there first")
  endif()
  set(lines "")
  if(EXISTS "${PACKAGE}/${SUMS}")
    file(STRINGS "${PACKAGE}/${SUMS}" lines)
  endif()
  foreach(name IN LISTS PLUGIN_FILES)
    checksum(sum "${PACKAGE}/${name}")
    if(NOT "${sum}  ${name}" IN_LIST lines OR NOT EXISTS "${PACKAGE_CACHE}")
      refuse("${PACKAGE} holds no whole package: make it first (cmake --preset package, then cmake --build --preset package)")
    endif()
    set(SUM_${name} "${sum}" PARENT_SCOPE)
  endforeach()
  # A build tree copied with the checkout from another folder holds that
  # folder's package, not this one's.
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
  foreach(name IN LISTS PLUGIN_FILES)
    entry_named(found "${game}" "${name}")
    set(TARGET_${name} "${base}/${name}" PARENT_SCOPE)
    set(HAS_${name} FALSE PARENT_SCOPE)
    if(NOT found STREQUAL "")
      set(path "${base}/${found}")
      set(size 1)
      if(EXISTS "${path}" AND NOT IS_DIRECTORY "${path}" AND NOT name STREQUAL SETTINGS)
        file(SIZE "${path}" size)  # a pipe's or a device's is 0: never read them
      endif()
      if(IS_SYMLINK "${path}" OR IS_DIRECTORY "${path}" OR size EQUAL 0)
        refuse("${path} is a link, a folder or empty (a pipe, a device): move it away first")
      endif()
      set(TARGET_${name} "${path}" PARENT_SCOPE)
      set(HAS_${name} TRUE PARENT_SCOPE)
    endif()
  endforeach()
  set(GAME "${game}" PARENT_SCOPE)
  set(BASE "${base}" PARENT_SCOPE)
endfunction()

# --- The commands: install puts the package's plugin files in the game's
# folder GIVEN, keeping a Quillmere.ini there; uninstall takes them out,
# keeping a Quillmere.ini that is not the one shipped.
function(change_folder given)
  game_folder("${given}")
  set(settings "${TARGET_${SETTINGS}}")
  checksum(sum "${settings}")
  set(names Quillmere.asi Quillmere.txt)
  if((VERB STREQUAL "install" AND NOT HAS_${SETTINGS}) OR (VERB STREQUAL "uninstall" AND sum STREQUAL SUM_${SETTINGS}))
    list(APPEND names "${SETTINGS}")  # last: no step after it to undo it for
  endif()

  # A copy of each file it replaces or removes, and each new file, beside
  # its target; then the renames or removals, the .asi first. A step that
  # fails puts back what the steps before it changed, trying every one, and
  # removes what this run made.
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
  foreach(name IN LISTS names)
    if(VERB STREQUAL "install" AND why STREQUAL "")
      set(failed "cannot replace ${TARGET_${name}}")
      file_step(why RENAME "${BASE}/${name}${NEW}" "${TARGET_${name}}")
      list(APPEND done "${name}")
    elseif(HAS_${name} AND why STREQUAL "")
      set(failed "cannot remove ${TARGET_${name}}")
      remove_file(why "${TARGET_${name}}")
      list(APPEND done "${name}")
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
        remove_file(undone "${TARGET_${name}}")
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

  set(said "")
  foreach(name IN LISTS names)
    if(VERB STREQUAL "install")
      string(APPEND said "installed ${TARGET_${name}} (from ${PACKAGE})\n")
    elseif(HAS_${name})
      string(APPEND said "removed ${TARGET_${name}}\n")
    endif()
  endforeach()
  if(HAS_${SETTINGS} AND NOT "${SETTINGS}" IN_LIST names)
    string(APPEND said "kept ${settings}: it may hold settings of your own\n")
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
  set(first 0)
  foreach(at RANGE ${CMAKE_ARGC})
    if(first EQUAL 0 AND "${CMAKE_ARGV${at}}" STREQUAL "--")
      math(EXPR first "${at} + 1")
    endif()
  endforeach()
  math(EXPR count "${CMAKE_ARGC} - ${first} - 1")
  set(usage "")
  foreach(row IN LISTS ARGN)
    string(REPLACE "|" ";" row "${row}")
    list(GET row 0 name)
    list(GET row 1 arguments)
    list(GET row 2 function)
    string(APPEND usage " | ${name} ${arguments}")
    string(REGEX MATCHALL "[^ ]+" wanted "${arguments}")
    list(LENGTH wanted wanted)
    if(first GREATER 0 AND "${CMAKE_ARGV${first}}" STREQUAL name AND count EQUAL wanted)
      set(VERB "${name}")
      set(call "${function}(")
      foreach(at RANGE 1 ${count})
        math(EXPR at "${first} + ${at}")
        string(APPEND call " \"\${CMAKE_ARGV${at}}\"")
      endforeach()
      cmake_language(EVAL CODE "${call})")
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
