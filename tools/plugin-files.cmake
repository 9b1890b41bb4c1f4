# The one writer into folders a user names: the package folder the build
# puts the player's package in, and a game's folder the plugin is installed
# into. Run by `cmake -P`, so it needs CMake and nothing else: the same file
# runs on Linux, macOS and Windows.
#
#   cmake -P tools/plugin-files.cmake -- install GAME_DIR
#   cmake -P tools/plugin-files.cmake -- uninstall GAME_DIR
#   cmake -P tools/plugin-files.cmake -- publish STAGE DIST   (the build's; see package/stage.cmake)
#   cmake -P tools/plugin-files.cmake -- report LOG           (make's)
#
# The `--` matters: without it, CMake itself reads what follows as its own
# options, so a folder named `--help` or `-P` would not reach this script.
#
# What every command keeps to:
# - A name is checked before it is used: one holding a character that
#   Windows reads as a separator or wildcard (\ * ? " < > | :), a control
#   character or CMake's list separator (;) is refused, naming the character.
# - Names match as Windows matches them: ASCII A-Z with a-z and nothing else,
#   whatever the locale; two entries that differ only so are refused.
# - A file is written under a temporary name beside its target and renamed
#   over it, so a link of either kind is replaced, never written through, and
#   an interruption at any moment leaves every file whole, the old or the new
#   one. A temporary name never ends in .asi (the game would load it), and
#   the next run removes any that an interruption left.
# - A refusal is one line, "COMMAND: what and why", on standard error, and
#   touches nothing. Through make, that line alone reaches the user; CMake
#   before 3.29 cannot end a script with a status of its own, so a direct
#   `cmake -P` adds CMake's two-line note that the script stopped.
#
# The installed build is $QUILLMERE_BUILD, or build/package beside this
# script: its package-folder file names where its package is, and its
# shipped-settings.sha256 the checksum of the settings file it ships.
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_minimum_required(VERSION 3.25)
endif()

# The player's files, under the names the game's folder holds them by, in
# the order they are written: the .asi first, since a running game holds it
# and a refusal is best met before anything changed.
set(PLUGIN_FILES Quillmere.asi Quillmere.txt Quillmere.ini)
set(PLUGIN_SETTINGS Quillmere.ini)
set(SCRIPT_HOST ScriptHookV.dll)
# The zip is ZIP_STEM, the version and .zip; SUMS lists every file's SHA-256.
set(ZIP_STEM Quillmere-)
set(SUMS SHA256SUMS)
# What this script adds to a name for a file or folder of its own that is
# not in place yet (NEW) or is on its way out (OLD).
set(NEW_SUFFIX .quillmere-new)
set(OLD_SUFFIX .quillmere-old)

set(STOPPED "stopped: the line above says why")
set(_SCRIPT_DIR "${CMAKE_CURRENT_LIST_DIR}")
set(_UPPER A B C D E F G H I J K L M N O P Q R S T U V W X Y Z)
set(_LOWER a b c d e f g h i j k l m n o p q r s t u v w x y z)
set(_CONTROLS "")
foreach(_code RANGE 1 31)
  string(ASCII ${_code} _character)
  string(APPEND _CONTROLS "${_character}")
endforeach()
string(ASCII 127 _character)
string(APPEND _CONTROLS "${_character}")

# --- Stopping.

# Prints "VERB: WHY" as the one line of a refusal and stops the script with
# a failing status. (Functions throughout, never macros: a macro would
# expand a ${...} in a user's folder name as a variable.)
function(refuse why)
  string(REGEX REPLACE "[${_CONTROLS}]" "?" why "${why}")  # one line, whatever a name holds
  message(NOTICE "${VERB}: ${why}")
  if(CMAKE_VERSION VERSION_GREATER_EQUAL 3.29)
    cmake_language(EXIT 2)
  endif()
  message(FATAL_ERROR "${STOPPED}")
endfunction()

# --- Names.

# TEXT in lower case as Windows folds names: A-Z only.
function(ascii_lower out text)
  foreach(upper lower IN ZIP_LISTS _UPPER _LOWER)
    string(REPLACE "${upper}" "${lower}" text "${text}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Sets OUT to why PATH cannot be used as a name, or to nothing.
function(name_problem out path)
  set(problem "")
  string(REGEX MATCH "[${_CONTROLS}]" control "${path}")
  string(FIND "${path}" "\\" backslash)
  string(REGEX MATCH "[*?\"<>|]" wild "${path}")
  string(FIND "${path}" ";" semicolon)
  string(REGEX REPLACE "^[A-Za-z]:" "" after_drive "${path}")
  if(path STREQUAL "")
    set(problem "is empty")
  elseif(NOT control STREQUAL "")
    if(control STREQUAL "\n")
      set(problem "holds a line break")
    else()
      string(HEX "${control}" code)
      set(problem "holds a control character (0x${code})")
    endif()
  elseif(semicolon GREATER_EQUAL 0)
    set(problem "holds ';', which CMake reads as a list separator")
  elseif(NOT wild STREQUAL "")
    set(problem "holds '${wild}', which Windows does not allow in a name")
  elseif(backslash GREATER_EQUAL 0 AND NOT CMAKE_HOST_WIN32)
    set(problem "holds '\\', which Windows reads as a folder separator")
  elseif(CMAKE_HOST_WIN32 AND after_drive MATCHES ":")
    set(problem "holds ':' after its drive, which Windows reads as a stream")
  elseif(NOT CMAKE_HOST_WIN32 AND path MATCHES ":")
    set(problem "holds ':', which Windows reads as a drive or stream")
  endif()
  set(${out} "${problem}" PARENT_SCOPE)
endfunction()

# Sets OUT to PATH as an absolute path, refusing a name that is not safe.
function(checked_path out what path)
  name_problem(problem "${path}")
  if(NOT problem STREQUAL "")
    if(path STREQUAL "")
      refuse("say which ${what}")
    endif()
    refuse("the ${what} '${path}' ${problem}: choose another")
  endif()
  file(TO_CMAKE_PATH "${path}" path)
  cmake_path(ABSOLUTE_PATH path BASE_DIRECTORY "${CMAKE_CURRENT_BINARY_DIR}" OUTPUT_VARIABLE path)
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

# Sets OUT to the real path of the existing folder PATH (a link to a folder
# is that folder), or refuses.
function(existing_folder out path)
  if(IS_SYMLINK "${path}" AND NOT EXISTS "${path}")
    refuse("${path} is a link to nothing")
  elseif(NOT EXISTS "${path}")
    refuse("${path} does not exist")
  elseif(NOT IS_DIRECTORY "${path}")
    refuse("${path} is not a folder")
  endif()
  file(REAL_PATH "${path}" real)
  name_problem(problem "${real}")
  if(NOT problem STREQUAL "")
    refuse("${path} leads to '${real}', which ${problem}: choose another")
  endif()
  set(${out} "${real}" PARENT_SCOPE)
endfunction()

# Sets OUT to TEXT as a glob pattern that matches it and nothing else: glob's
# own characters in it stand for themselves.
function(glob_literal out text)
  string(REGEX REPLACE "([][*?])" "[\\1]" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Sets OUT to the names in FOLDER (hidden ones too), every one it holds,
# whether this user may read it or not. Glob's own characters in the
# folder's name are matched as themselves. A CMake list cannot carry every
# name as it is: it joins the names after an unmatched '[' or ']', or after
# a '\', into one, and splits a name at ';'. So a '\', '[' and ']' stand in
# the list as '\b', '\o' and '\c' (see shown_name), which none of our names
# holds; and where a name holds ';', the pieces that are no name are
# dropped and one entry, "(a name holding ';')", stands for them, so that
# no folder ever looks emptier than it is.
function(entries out folder)
  glob_literal(pattern "${folder}")
  file(GLOB found LIST_DIRECTORIES true RELATIVE "${folder}" "${pattern}/*")
  string(REPLACE "\\" "\\b" found "${found}")
  string(REPLACE "[" "\\o" found "${found}")
  string(REPLACE "]" "\\c" found "${found}")
  file(GLOB split LIST_DIRECTORIES true "${pattern}/*;*")
  if(split STREQUAL "")
    set(names "${found}")
  else()
    set(names "")
    foreach(name IN LISTS found)
      shown_name(whole "${name}")
      glob_literal(whole "${whole}")
      set(one "")
      if(NOT whole STREQUAL "")
        file(GLOB one LIST_DIRECTORIES true "${pattern}/${whole}")
      endif()
      if(NOT one STREQUAL "")
        list(APPEND names "${name}")
      endif()
    endforeach()
    list(APPEND names "(a name holding ';')")
  endif()
  set(${out} "${names}" PARENT_SCOPE)
endfunction()

# Sets OUT to the name NAME of a list that entries made stands for.
function(shown_name out name)
  string(REPLACE "\\o" "[" name "${name}")
  string(REPLACE "\\c" "]" name "${name}")
  string(REPLACE "\\b" "\\" name "${name}")
  set(${out} "${name}" PARENT_SCOPE)
endfunction()

# Sets OUT to whether FOLDER holds nothing at all, by the glob's own answer.
function(nothing_in out folder)
  glob_literal(pattern "${folder}")
  file(GLOB found LIST_DIRECTORIES true "${pattern}/*")
  if(found STREQUAL "")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Sets OUT to the entry of FOLDER that Windows opens as NAME (in any ASCII
# letter case), or to nothing; refuses two of them.
function(entry_named out folder name)
  ascii_lower(wanted "${name}")
  string(LENGTH "${name}" length)
  entries(names "${folder}")
  set(found "")
  foreach(entry IN LISTS names)
    string(LENGTH "${entry}" entry_length)
    if(entry_length EQUAL length)
      ascii_lower(folded "${entry}")
      if(folded STREQUAL wanted)
        if(NOT found STREQUAL "")
          refuse("${folder} holds both ${found} and ${entry}, which Windows takes for one file: remove one of them first")
        endif()
        set(found "${entry}")
      endif()
    endif()
  endforeach()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# The same for one of the plugin's files, refusing one that is a link or a
# folder, since it is never written or removed through.
function(plugin_entry out folder name)
  entry_named(found "${folder}" "${name}")
  if(NOT found STREQUAL "")
    if(IS_SYMLINK "${folder}/${found}")
      refuse("${folder}/${found} is a link: it is left alone, not written or removed through; replace it with a plain file or remove it first")
    elseif(IS_DIRECTORY "${folder}/${found}")
      refuse("${folder}/${found} is a folder, not the plugin's file: move it away first")
    endif()
  endif()
  set(${out} "${found}" PARENT_SCOPE)
endfunction()

# --- Steps: every change to a user's folder is one of these. A test may
# name a CMake file as -D QUILLMERE_TEST_HOOK=...: it is included before each
# step, with STEP saying which, and may stop the script there or set
# STEP_FAILS to make the step fail as a full disk or a locked file would.

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
  set(why "")
  if(STEP_FAILS)
    set(why "the test made it fail")
  else()
    file(${operation} "${from}" "${to}" RESULT result)
    if(NOT result STREQUAL "0")
      set(why "${result}")
    endif()
  endif()
  set(${out} "${why}" PARENT_SCOPE)
endfunction()

# Removes the file (or link) PATH; sets OUT to why it is still there, or to
# nothing. (CMake's own removal says nothing when it fails.)
function(remove_file out path)
  step("remove ${path}")
  set(why "")
  if(STEP_FAILS)
    set(why "the test made it fail")
  else()
    file(REMOVE "${path}")
    if(EXISTS "${path}" OR IS_SYMLINK "${path}")
      set(why "it is in use, or the folder is read-only")
    endif()
  endif()
  set(${out} "${why}" PARENT_SCOPE)
endfunction()

# Removes what a run of ours left beside NAME in FOLDER, when it was stopped
# or failed; sets OUT to why one is still there, or to nothing.
function(remove_leftovers out folder name)
  set(why "")
  foreach(suffix IN ITEMS "${NEW_SUFFIX}" "${OLD_SUFFIX}")
    set(path "${folder}/${name}${suffix}")
    if(why STREQUAL "" AND (EXISTS "${path}" OR IS_SYMLINK "${path}"))
      remove_file(why "${path}")
      if(NOT why STREQUAL "")
        set(why "cannot remove ${path}: ${why}")
      endif()
    endif()
  endforeach()
  set(${out} "${why}" PARENT_SCOPE)
endfunction()

# --- The package: SUMS and the files it vouches for.

# Sets OUT to the "checksum  name" lines of FOLDER's files NAMES, in order.
function(sums_of out folder)
  set(text "")
  foreach(name IN LISTS ARGN)
    file(SHA256 "${folder}/${name}" sum)
    string(APPEND text "${sum}  ${name}\n")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Is NAME one of the package's own names, in this version or another?
function(package_name out name)
  list(FIND PLUGIN_FILES "${name}" index)
  if(index GREATER_EQUAL 0 OR name STREQUAL "${SUMS}" OR name MATCHES "^${ZIP_STEM}[0-9][^/]*\\.zip$")
    set(${out} TRUE PARENT_SCOPE)
  else()
    set(${out} FALSE PARENT_SCOPE)
  endif()
endfunction()

# Sets OUT to why FOLDER is not a whole package of ours (every entry one of
# the package's names, a plain file that SUMS lists with its checksum as it
# is now, and SUMS listing nothing else), or to nothing. An empty folder is a
# package of none.
function(package_problem out folder)
  set(problem "")
  glob_literal(pattern "${folder}")
  file(GLOB split LIST_DIRECTORIES true "${pattern}/*;*")
  entries(names "${folder}")
  if(NOT split STREQUAL "")
    set(problem "holds a name with ';' in it, which is not one of the package's")
  endif()
  foreach(name IN LISTS names)
    package_name(ours "${name}")
    shown_name(shown "${name}")
    if(NOT problem STREQUAL "")
      break()
    elseif(NOT ours)
      set(problem "holds ${shown}, which is not one of the package's files")
    elseif(IS_SYMLINK "${folder}/${name}" OR IS_DIRECTORY "${folder}/${name}")
      set(problem "holds ${name}, a link or a folder where a file of the package's goes")
    endif()
  endforeach()
  list(REMOVE_ITEM names "${SUMS}")
  if(problem STREQUAL "" AND NOT names STREQUAL "")
    set(sums_size 0)
    if(EXISTS "${folder}/${SUMS}")
      file(SIZE "${folder}/${SUMS}" sums_size)
    endif()
    if(NOT EXISTS "${folder}/${SUMS}")
      set(problem "holds no ${SUMS} to vouch for its files")
    elseif(sums_size EQUAL 0 OR sums_size GREATER 65536)
      # Never read a SUMS that cannot be ours: a pipe or a device (size 0),
      # whose reading might never end, or one of another size altogether.
      set(problem "has a ${SUMS} that is not the package's")
    else()
      file(STRINGS "${folder}/${SUMS}" lines)
      set(listed "")
      foreach(line IN LISTS lines)
        if(NOT line MATCHES "^([0-9a-f]+)  (.+)$")
          set(problem "has a ${SUMS} that is not the package's")
          break()
        endif()
        set(sum "${CMAKE_MATCH_1}")
        set(name "${CMAKE_MATCH_2}")
        list(FIND names "${name}" index)
        if(index LESS 0)
          set(problem "has a ${SUMS} that lists ${name}, which it does not hold")
          break()
        endif()
        if(NOT EXISTS "${folder}/${name}")  # there, as entries found, but not readable
          set(problem "holds ${name}, which cannot be read")
          break()
        endif()
        # Never read what cannot be the package's: an empty file, or a
        # device or a pipe, whose reading might never end.
        file(SIZE "${folder}/${name}" size)
        set(actual "")
        if(size GREATER 0)
          file(SHA256 "${folder}/${name}" actual)
        endif()
        if(NOT actual STREQUAL sum)
          set(problem "holds ${name}, which has changed since the build made it")
          break()
        endif()
        list(APPEND listed "${name}")
      endforeach()
      if(problem STREQUAL "")
        list(REMOVE_ITEM names ${listed})
        if(NOT names STREQUAL "")
          list(GET names 0 name)
          set(problem "holds ${name}, which its ${SUMS} does not list")
        endif()
      endif()
    endif()
  endif()
  set(${out} "${problem}" PARENT_SCOPE)
endfunction()

# Removes FOLDER, a package of ours: its files one by one, then the folder
# once nothing else is in it; sets OUT to why it is still there, or to
# nothing.
function(remove_package out folder)
  entries(names "${folder}")
  set(why "")
  foreach(name IN LISTS names)
    package_name(ours "${name}")
    if(ours AND why STREQUAL "")
      remove_file(why "${folder}/${name}")
    endif()
  endforeach()
  nothing_in(empty "${folder}")
  if(why STREQUAL "" AND empty)
    step("remove ${folder}")
    if(STEP_FAILS)
      set(why "the test made it fail")
    else()
      file(REMOVE_RECURSE "${folder}")
    endif()
  endif()
  if(why STREQUAL "" AND EXISTS "${folder}")
    set(why "something else is in it")
  endif()
  set(${out} "${why}" PARENT_SCOPE)
endfunction()

# Refuses FOLDER, beside the package folder under a name of ours, unless it
# holds nothing but files of the package's names: what an interrupted build
# left there.
function(check_leftover folder)
  entries(names "${folder}")
  foreach(name IN LISTS names)
    package_name(ours "${name}")
    if(NOT ours OR IS_SYMLINK "${folder}/${name}" OR IS_DIRECTORY "${folder}/${name}")
      shown_name(shown "${name}")
      refuse("${folder} holds ${shown}: it is in the way of the package's folder; move it away")
    endif()
  endforeach()
endfunction()

# --- publish STAGE DIST: puts the staged package in DIST, the build's own
# package folder. DIST holds the package and nothing else: a folder holding
# anything but an earlier package of ours is refused. The new package is
# made beside DIST and put in its place, so an interruption leaves DIST the
# earlier package or the new one, each whole with checksums that hold; only
# between its two renames is DIST away, the earlier package waiting beside
# it whole, where the next build takes it up again.
function(publish_package)
  set(VERB package)
  if(NOT ARGC EQUAL 2)
    refuse("usage: publish STAGE DIST")
  endif()
  set(stage "${ARGV0}")
  set(given "${ARGV1}")
  checked_path(dist "package folder" "${given}")
  string(REGEX REPLACE "(.)/+$" "\\1" dist "${dist}")
  if(IS_SYMLINK "${dist}" AND NOT EXISTS "${dist}")
    refuse("${dist} is a link to nothing")
  elseif(EXISTS "${dist}" AND NOT IS_DIRECTORY "${dist}")
    refuse("${dist} is not a folder")
  elseif(EXISTS "${dist}")
    file(REAL_PATH "${dist}" dist)
  endif()
  set(new "${dist}${NEW_SUFFIX}")
  set(old "${dist}${OLD_SUFFIX}")
  foreach(folder IN ITEMS "${new}" "${old}")
    if(IS_SYMLINK "${folder}" OR (EXISTS "${folder}" AND NOT IS_DIRECTORY "${folder}"))
      refuse("${folder} is in the way of the package's folder: move it away")
    endif()
    check_leftover("${folder}")
  endforeach()
  package_problem(problem "${dist}")
  if(NOT problem STREQUAL "")
    refuse("${dist} ${problem}: the package folder holds the package alone, so that building replaces nothing else; choose an empty folder")
  endif()
  package_problem(problem "${stage}")
  if(NOT problem STREQUAL "" OR NOT EXISTS "${stage}/${SUMS}")
    refuse("the package made in ${stage} is not whole: build again")
  endif()

  # What a stopped or failed build left: the earlier package on its way out
  # comes back if DIST is away; then both go.
  package_problem(problem "${old}")
  if(NOT EXISTS "${dist}" AND EXISTS "${old}/${SUMS}" AND problem STREQUAL "")
    file_step(why RENAME "${old}" "${dist}")
    if(NOT why STREQUAL "")
      refuse("cannot put the earlier package in ${old} back in its place: ${why}")
    endif()
  endif()
  foreach(folder IN ITEMS "${new}" "${old}")
    if(EXISTS "${folder}")
      remove_package(why "${folder}")
      if(NOT why STREQUAL "")
        refuse("cannot remove ${folder}, which a stopped build left: ${why}")
      endif()
    endif()
  endforeach()

  # Nothing to do when DIST holds the staged package already (it has just
  # been found whole: equal checksums and as many files are equal files).
  file(READ "${stage}/${SUMS}" staged)
  entries(staged_names "${stage}")
  entries(names "${dist}")
  list(LENGTH staged_names staged_count)
  list(LENGTH names count)
  if(EXISTS "${dist}/${SUMS}" AND count EQUAL staged_count)
    file(READ "${dist}/${SUMS}" published)
    if(published STREQUAL staged)
      return()
    endif()
  endif()

  # The new package beside DIST, SUMS last.
  step("make ${new}")
  set(made 1)
  if(NOT STEP_FAILS)
    # Not file(MAKE_DIRECTORY), which stops the script with CMake's own
    # error where it cannot.
    execute_process(COMMAND "${CMAKE_COMMAND}" -E make_directory "${new}" RESULT_VARIABLE made
                    OUTPUT_QUIET ERROR_QUIET)
  endif()
  if(NOT made EQUAL 0 OR NOT IS_DIRECTORY "${new}")
    refuse("cannot make ${new} beside the package folder (its folder may be read-only); ${dist} is as it was")
  endif()
  file(STRINGS "${stage}/${SUMS}" lines)
  set(names "")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[0-9a-f]+  " "" name "${line}")
    list(APPEND names "${name}")
  endforeach()
  foreach(name IN LISTS names ITEMS "${SUMS}")
    file_step(why COPY_FILE "${stage}/${name}" "${new}/${name}")
    if(NOT why STREQUAL "")
      remove_package(ignored "${new}")
      refuse("cannot write ${new}/${name}: ${why}; ${dist} is as it was")
    endif()
  endforeach()
  package_problem(problem "${new}")
  if(NOT problem STREQUAL "")
    remove_package(ignored "${new}")
    refuse("the copy in ${new} ${problem}; ${dist} is as it was")
  endif()

  # Then in DIST's place.
  if(EXISTS "${dist}")
    file_step(why RENAME "${dist}" "${old}")
    if(NOT why STREQUAL "")
      remove_package(ignored "${new}")
      refuse("cannot replace ${dist}: ${why} (a program may have it or a file in it open: close it and build again); it is as it was")
    endif()
  endif()
  file_step(why RENAME "${new}" "${dist}")
  if(NOT why STREQUAL "")
    if(EXISTS "${old}")
      file_step(ignored RENAME "${old}" "${dist}")
    endif()
    remove_package(ignored "${new}")
    refuse("cannot put the package in ${dist}: ${why}; the earlier package is as it was")
  endif()
  if(EXISTS "${old}")
    remove_package(why "${old}")
    if(NOT why STREQUAL "")
      refuse("the package is in ${dist}, but the earlier one in ${old} could not be removed: ${why}; the next build removes it")
    endif()
  endif()
endfunction()

# --- install and uninstall: the plugin in a game's folder.

# Sets, in the caller: GAME (the game's folder, its real path), GAME_BASE
# (what a name in it follows, so that / gives /NAME), BUILD, and for each of
# the plugin's files, TARGET_<name>: the path Windows opens for it in GAME
# (the entry there in any letter case, or the name itself) and HAS_<name>:
# whether it is there.
function(game_folder_and_build given)
  if(given STREQUAL "")
    refuse("say which folder: make ${VERB} GAME_DIR=path/to/the/game")
  endif()
  checked_path(game "game folder" "${given}")
  existing_folder(game "${game}")
  string(REGEX REPLACE "/$" "" base "${game}")
  set(GAME "${game}" PARENT_SCOPE)
  set(GAME_BASE "${base}" PARENT_SCOPE)
  if(NOT "$ENV{QUILLMERE_BUILD}" STREQUAL "")
    set(build "$ENV{QUILLMERE_BUILD}")
  else()
    cmake_path(GET _SCRIPT_DIR PARENT_PATH root)
    set(build "${root}/build/package")
  endif()
  set(BUILD "${build}" PARENT_SCOPE)
  # Never a folder of the build's own: the package folder, which uninstall
  # would leave a package the next build refuses, nor one in the build's
  # folder, such as the stage the package is made in.
  if(EXISTS "${build}/package-folder")
    file(READ "${build}/package-folder" dist)
    if(IS_DIRECTORY "${dist}")
      file(REAL_PATH "${dist}" dist)
      if(game STREQUAL dist)
        refuse("${game} is the folder the build puts the package in, not a game's folder")
      endif()
    endif()
  endif()
  if(IS_DIRECTORY "${build}")
    file(REAL_PATH "${build}" build)
    cmake_path(IS_PREFIX build "${game}" NORMALIZE inside)
    if(inside)
      refuse("${game} is in the build's folder ${build}, not a game's folder")
    endif()
  endif()
  foreach(name IN LISTS PLUGIN_FILES)
    plugin_entry(found "${game}" "${name}")
    if(found STREQUAL "")
      set(HAS_${name} FALSE PARENT_SCOPE)
      set(TARGET_${name} "${base}/${name}" PARENT_SCOPE)
    else()
      set(HAS_${name} TRUE PARENT_SCOPE)
      set(TARGET_${name} "${base}/${found}" PARENT_SCOPE)
    endif()
    foreach(suffix IN ITEMS "${NEW_SUFFIX}" "${OLD_SUFFIX}")
      if(IS_DIRECTORY "${base}/${name}${suffix}" AND NOT IS_SYMLINK "${base}/${name}${suffix}")
        refuse("${base}/${name}${suffix} is a folder, in the way of this script's own temporary file: move it away first")
      endif()
    endforeach()
  endforeach()
endfunction()

# Sets OUT to BUILD's record NAME (package-folder or shipped-settings.sha256),
# read exactly, or refuses.
function(build_record out name)
  if(NOT EXISTS "${BUILD}/${name}")
    refuse("${BUILD} holds no package: build it first (make, or cmake --build --preset package)")
  endif()
  file(READ "${BUILD}/${name}" text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Removes what this script put beside the plugin's files NAMES in the game's
# folder: the new files not yet in place, and what was kept of the old ones.
# Sets OUT to why one is still there, or to nothing.
function(remove_written out)
  set(why "")
  foreach(name IN LISTS ARGN)
    if(why STREQUAL "")
      remove_leftovers(why "${GAME_BASE}" "${name}")
    endif()
  endforeach()
  set(${out} "${why}" PARENT_SCOPE)
endfunction()

function(install_plugin)
  set(VERB install)
  if(NOT ARGC EQUAL 1)
    refuse("usage: cmake -P tools/plugin-files.cmake -- install GAME_DIR")
  endif()
  set(given "${ARGV0}")
  game_folder_and_build("${given}")
  entry_named(host "${GAME}" "${SCRIPT_HOST}")
  if(host STREQUAL "" OR IS_DIRECTORY "${GAME_BASE}/${host}")
    refuse("${GAME} holds no ${SCRIPT_HOST}: install the script host there first")
  endif()
  build_record(dist package-folder)
  package_problem(problem "${dist}")
  foreach(name IN LISTS PLUGIN_FILES)
    if(problem STREQUAL "" AND NOT EXISTS "${dist}/${name}")
      set(problem "lacks ${name}")
    endif()
  endforeach()
  if(NOT problem STREQUAL "")
    refuse("the package in ${dist} ${problem}: build it again (make, or cmake --build --preset package)")
  endif()
  remove_written(why ${PLUGIN_FILES})
  if(NOT why STREQUAL "")
    refuse("${why}; ${GAME} is as it was")
  endif()

  # Each new file beside its target; each old one kept beside it (a hard
  # link where the folder takes one); then the renames, the .asi first. A
  # step that fails puts back what the ones before it replaced.
  set(copies Quillmere.asi Quillmere.txt)
  if(NOT HAS_${PLUGIN_SETTINGS})
    list(APPEND copies "${PLUGIN_SETTINGS}")
  endif()
  foreach(name IN LISTS copies)
    file_step(why COPY_FILE "${dist}/${name}" "${GAME_BASE}/${name}${NEW_SUFFIX}")
    if(NOT why STREQUAL "")
      remove_written(ignored ${copies})
      refuse("cannot write ${GAME_BASE}/${name}${NEW_SUFFIX}: ${why}; ${GAME} is as it was")
    endif()
  endforeach()
  foreach(name IN LISTS copies)
    if(HAS_${name})
      step("keep ${TARGET_${name}}")
      set(result "the test made it fail")
      if(NOT STEP_FAILS)
        file(CREATE_LINK "${TARGET_${name}}" "${GAME_BASE}/${name}${OLD_SUFFIX}" RESULT result COPY_ON_ERROR)
      endif()
      if(NOT result STREQUAL "0")
        remove_written(ignored ${copies})
        refuse("cannot keep a copy of ${TARGET_${name}} while it is replaced: ${result}; ${GAME} is as it was")
      endif()
    endif()
  endforeach()
  set(renamed "")
  foreach(name IN LISTS copies)
    file_step(why RENAME "${GAME_BASE}/${name}${NEW_SUFFIX}" "${TARGET_${name}}")
    if(NOT why STREQUAL "")
      set(lost "")
      foreach(done IN LISTS renamed)
        if(HAS_${done})
          file_step(back RENAME "${GAME_BASE}/${done}${OLD_SUFFIX}" "${TARGET_${done}}")
        else()
          remove_file(back "${TARGET_${done}}")
        endif()
        if(NOT back STREQUAL "")
          string(APPEND lost " ${TARGET_${done}}")
        endif()
      endforeach()
      remove_written(ignored ${copies})
      set(hint "")
      if(name STREQUAL "Quillmere.asi")
        set(hint " (if the game is running, quit the game first: Windows keeps a loaded plugin from being replaced)")
      endif()
      if(lost STREQUAL "")
        refuse("cannot replace ${TARGET_${name}}: ${why}${hint}; ${GAME} is as it was")
      endif()
      refuse("cannot replace ${TARGET_${name}}: ${why}${hint}; these could not be put back as they were:${lost}")
    endif()
    list(APPEND renamed "${name}")
  endforeach()

  set(said "")
  foreach(name IN LISTS copies)
    string(APPEND said "installed ${TARGET_${name}} (from ${dist})\n")
  endforeach()
  if(HAS_${PLUGIN_SETTINGS})
    string(APPEND said "kept ${TARGET_${PLUGIN_SETTINGS}}: the settings already there stay as they are\n")
  endif()
  remove_written(why ${copies})
  if(NOT why STREQUAL "")
    say("${said}")
    refuse("installed, but ${why}; the next install or uninstall removes it")
  endif()
  say("${said}")
endfunction()

function(uninstall_plugin)
  set(VERB uninstall)
  if(NOT ARGC EQUAL 1)
    refuse("usage: cmake -P tools/plugin-files.cmake -- uninstall GAME_DIR")
  endif()
  set(given "${ARGV0}")
  game_folder_and_build("${given}")
  # The settings file goes only when it is byte for byte the one the build
  # ships, by the checksum the build recorded from the source.
  build_record(shipped shipped-settings.sha256)
  string(STRIP "${shipped}" shipped)
  if(NOT shipped MATCHES "^[0-9a-f]+$")  # an empty one would match an empty file
    refuse("${BUILD}/shipped-settings.sha256 holds no checksum: build it again (make, or cmake --build --preset package)")
  endif()
  remove_written(why ${PLUGIN_FILES})
  if(NOT why STREQUAL "")
    refuse("${why}; ${GAME} is as it was")
  endif()
  set(said "")
  foreach(name IN ITEMS Quillmere.asi Quillmere.txt)
    if(HAS_${name})
      remove_file(why "${TARGET_${name}}")
      if(NOT why STREQUAL "")
        set(hint "")
        if(name STREQUAL "Quillmere.asi")
          set(hint " (if the game is running, quit the game first: Windows keeps a loaded plugin in place)")
        endif()
        say("${said}")
        refuse("cannot remove ${TARGET_${name}}: ${why}${hint}")
      endif()
      string(APPEND said "removed ${TARGET_${name}}\n")
    endif()
  endforeach()
  set(settings "${TARGET_${PLUGIN_SETTINGS}}")
  if(HAS_${PLUGIN_SETTINGS} AND NOT EXISTS "${settings}")  # there, but not readable
    string(APPEND said "kept ${settings}: it cannot be read, so it may hold settings of your own\n")
  elseif(HAS_${PLUGIN_SETTINGS})
    file(SIZE "${settings}" size)
    set(sum "")
    if(size GREATER 0)
      file(SHA256 "${settings}" sum)
    endif()
    if(sum STREQUAL shipped)
      remove_file(why "${settings}")
      if(NOT why STREQUAL "")
        say("${said}")
        refuse("cannot remove ${settings}: ${why}")
      endif()
      string(APPEND said "removed ${settings} (the default settings, as shipped)\n")
    else()
      string(APPEND said "kept ${settings}: it holds settings of your own (delete it by hand if you no longer want them)\n")
    endif()
  elseif(said STREQUAL "")
    set(said "nothing to remove: ${GAME} holds none of the plugin's files\n")
  endif()
  say("${said}")
endfunction()

# Prints TEXT, lines ending in a newline, on standard output as it is.
function(say text)
  string(REGEX REPLACE "\n$" "" text "${text}")
  if(NOT text STREQUAL "")
    execute_process(COMMAND "${CMAKE_COMMAND}" -E echo "${text}")
  endif()
endfunction()

# --- report LOG: what a failed run wrote on standard error, as the user
# should see it: our lines, without CMake's note that the script stopped.
function(report_log)
  set(VERB report)
  if(NOT ARGC EQUAL 1 OR NOT EXISTS "${ARGV0}")
    refuse("usage: report LOG")
  endif()
  file(READ "${ARGV0}" text)
  # CMake's note starts a line; ours never hold a line break (see refuse),
  # whatever a folder's name holds.
  string(FIND "${text}" "\nCMake Error at " frame)
  if(frame GREATER_EQUAL 0)
    string(SUBSTRING "${text}" 0 ${frame} text)
  endif()
  string(REGEX REPLACE "\n+$" "" text "${text}")
  message(NOTICE "${text}")
endfunction()

# --- The commands: a row each, its name, then the function that takes its
# arguments and does it.
set(COMMANDS
  "install|install_plugin"
  "uninstall|uninstall_plugin"
  "publish|publish_package"
  "report|report_log")

# Sets, in the caller, FIRST to the index of the first of cmake's arguments
# after `--` (-1 when there is none) and LAST to the index of the last.
function(script_arguments)
  set(first -1)
  foreach(i RANGE ${CMAKE_ARGC})
    if("${CMAKE_ARGV${i}}" STREQUAL "--")
      math(EXPR first "${i} + 1")
      break()
    endif()
  endforeach()
  math(EXPR last "${CMAKE_ARGC} - 1")
  set(FIRST ${first} PARENT_SCOPE)
  set(LAST ${last} PARENT_SCOPE)
endfunction()

# Calls FUNCTION with cmake's arguments from index FROM to LAST, each passed
# whole, by reference: a list would split a name at ';', and pasting its
# text into the call would expand a ${...} in it.
function(call_with_arguments function from last)
  set(call "${function}(")
  if(from LESS_EQUAL last)
    foreach(i RANGE ${from} ${last})
      string(APPEND call " \"\${CMAKE_ARGV${i}}\"")
    endforeach()
  endif()
  cmake_language(EVAL CODE "${call})")
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  set(VERB plugin-files)
  set(usage "usage: cmake -P tools/plugin-files.cmake -- install|uninstall GAME_DIR")
  script_arguments()
  if(FIRST LESS 0 OR FIRST GREATER LAST)
    refuse("${usage}")
  endif()
  set(action "")
  foreach(row IN LISTS COMMANDS)
    string(REPLACE "|" ";" row "${row}")
    list(GET row 0 name)
    if(name STREQUAL "${CMAKE_ARGV${FIRST}}")
      list(GET row 1 action)
    endif()
  endforeach()
  if(action STREQUAL "")
    refuse("${usage}")
  endif()
  math(EXPR from "${FIRST} + 1")
  call_with_arguments(${action} ${from} ${LAST})
endif()
