# Makes the player's package, and puts it in the checkout's dist/, in CMake
# alone; the build runs it (package/CMakeLists.txt):
#   (in FOLDER) cmake -P package/stage.cmake -- stage FOLDER ZIP ASI INI TXT
#   cmake -P package/stage.cmake -- publish FOLDER DIST RECORD
# stage makes it in FOLDER, the build's own: the three files, their zip as
# CMake's archive writer makes it (every time in it SOURCE_DATE_EPOCH, set
# by the build), and SHA256SUMS with LF line ends, written last. publish
# fills DIST in place, each file written beside its target and renamed over
# it, SHA256SUMS gone first and back last (a DIST without it is unfinished,
# never lying); it replaces only what a build of this checkout wrote there,
# as RECORD (kept outside DIST) lists it, and stops at anything else.
include(${CMAKE_CURRENT_LIST_DIR}/../tools/plugin-files.cmake)

function(stage_package folder zip asi ini txt)
  pattern_of(pattern "${folder}")
  file(GLOB earlier "${pattern}/${ZIP_STEM}*.zip")
  file(REMOVE "${folder}/${SUMS}" ${earlier})
  foreach(file IN ITEMS "${asi}" "${ini}" "${txt}")
    cmake_path(GET file FILENAME name)
    file(COPY_FILE "${file}" "${folder}/${name}")
  endforeach()
  set(names ${PLUGIN_FILES})
  list(SORT names)
  file(CHMOD ${names} PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  file(ARCHIVE_CREATE OUTPUT "${folder}/${zip}" PATHS ${names} FORMAT zip)
  set(text "")
  foreach(name IN LISTS names ITEMS "${zip}")
    file(SHA256 "${folder}/${name}" sum)
    string(APPEND text "${sum}  ${name}\n")
  endforeach()
  file(CONFIGURE OUTPUT "${folder}/${SUMS}" CONTENT "${text}" @ONLY NEWLINE_STYLE UNIX)
  file(CHMOD "${folder}/${zip}" "${folder}/${SUMS}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
endfunction()

function(publish_package folder dist record)
  set(VERB package)
  set(fix "then build again")
  lock("${record}.lock" 60 "another build is filling ${dist}")
  file(STRINGS "${folder}/${SUMS}" package)
  file(SHA256 "${folder}/${SUMS}" sum)
  list(APPEND package "${sum}  ${SUMS}")
  set(recorded "")
  if(EXISTS "${record}")
    file(STRINGS "${record}" recorded)
  endif()
  if(NOT IS_DIRECTORY "${dist}" AND (EXISTS "${dist}" OR IS_SYMLINK "${dist}"))
    refuse("${dist} is not a folder: move it away, ${fix}")
  endif()
  file(MAKE_DIRECTORY "${dist}")

  # Every file there must be one a build wrote, as it wrote it, or one it
  # was writing when it was stopped ("pending" in the record).
  pattern_of(pattern "${dist}")
  file(GLOB present LIST_DIRECTORIES true RELATIVE "${dist}" "${pattern}/*")
  list(FILTER present EXCLUDE REGEX "^[.]")  # hidden ones are no one's: Finder's .DS_Store
  file(GLOB split "${pattern}/*;*")  # a name CMake's lists would split
  if(NOT split STREQUAL "")
    refuse("${dist} holds a name with ';' in it, which no build wrote: move it out, ${fix}")
  elseif(NOT EXISTS "${record}" AND NOT present STREQUAL "")
    refuse("no record of this checkout's builds lists what ${dist} holds (an earlier build's package, or build/ was deleted): if it holds nothing of yours, delete it once; ${fix}")
  endif()
  set(have "")
  foreach(name IN LISTS present)
    set(path "${dist}/${name}")
    checksum(sum "${path}")
    if("pending  ${name}" IN_LIST recorded AND NOT IS_SYMLINK "${path}" AND NOT IS_DIRECTORY "${path}")
      continue()
    elseif(NOT "${sum}  ${name}" IN_LIST recorded)
      refuse("${path} was not written by a build of this checkout, or has changed since: move it out of ${dist}, ${fix}")
    endif()
    list(APPEND have "${sum}  ${name}")
  endforeach()
  set(sorted ${package})
  list(SORT sorted)
  list(SORT have)
  if(have STREQUAL sorted)
    return()
  endif()

  # What DIST may hold from here on, the earlier files and the new, is
  # recorded first. Then SHA256SUMS goes, the new files come, what else is
  # there goes, and SHA256SUMS comes last.
  # (file(CONFIGURE) writes the record beside it and renames it over.)
  list(TRANSFORM package REPLACE "^[0-9a-f]+  (.*)$" "pending  \\1${NEW}" OUTPUT_VARIABLE pending)
  string(REPLACE ";" "\n" text "${recorded};${package};${pending}\n")
  file(CONFIGURE OUTPUT "${record}" CONTENT "${text}" @ONLY NEWLINE_STYLE UNIX)
  set(cannot "if a build run as another user (sudo) made ${dist}, delete it as that user; ${fix}")
  if(CMAKE_HOST_WIN32)
    set(cannot "close any program that holds it; ${fix}")
  endif()
  list(PREPEND present "${SUMS}")
  list(REMOVE_DUPLICATES present)
  foreach(line IN LISTS package)
    string(SUBSTRING "${line}" 66 -1 name)
    foreach(earlier IN LISTS present)
      if(earlier STREQUAL SUMS OR name STREQUAL SUMS)
        remove_file(why "${dist}/${earlier}")
        list(REMOVE_ITEM present "${earlier}")
        if(NOT why STREQUAL "")
          refuse("cannot remove ${dist}/${earlier}: ${why}: ${cannot}")
        endif()
      endif()
    endforeach()
    list(REMOVE_ITEM present "${name}")
    if(NOT line IN_LIST have OR name STREQUAL SUMS)
      file_step(why COPY_FILE "${folder}/${name}" "${dist}/${name}${NEW}")
      if(why STREQUAL "")
        file_step(why RENAME "${dist}/${name}${NEW}" "${dist}/${name}")
      endif()
      if(NOT why STREQUAL "")
        refuse("cannot write ${dist}/${name}: ${why}: ${cannot}")
      endif()
    endif()
  endforeach()
  string(REPLACE ";" "\n" text "${package}\n")
  file(CONFIGURE OUTPUT "${record}" CONTENT "${text}" @ONLY NEWLINE_STYLE UNIX)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
  run_command(package/stage.cmake
    "stage|FOLDER ZIP ASI INI TXT|stage_package"
    "publish|FOLDER DIST RECORD|publish_package")
endif()
