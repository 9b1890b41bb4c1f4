# Makes the player's package in the build's own folder STAGE, which is the
# current folder: the player's files, a zip of them and SHA256SUMS, which
# comes last, so that a stage without it is one that was interrupted.
# tools/plugin-files.cmake then puts it where the player's package goes.
#
#   (in STAGE) cmake -P package/stage.cmake -- STAGE VERSION DATE ASI INI TXT
#
# Equal files always give an equal package, whoever builds it, wherever and
# whenever: every file has a fixed mode, and the zip's entries are dated DATE
# at midnight UTC whatever the builder's umask, time zone and locale. The
# zip itself is written by CMake's archive writer, which also stores in each
# entry the builder's user and group ids and the times the staged file was
# last read and changed; those bytes are then set to 0 and to DATE.
include(${CMAKE_CURRENT_LIST_DIR}/../tools/plugin-files.cmake)

# --- Bytes, as CMake holds them: a hex string, two digits a byte.

# Sets OUT to the SIZE-byte little-endian number at byte OFFSET of HEX.
function(number_at out hex offset size)
  set(value "")
  math(EXPR last "${size} - 1")
  foreach(i RANGE ${last})
    math(EXPR at "(${offset} + ${i}) * 2")
    string(SUBSTRING "${hex}" ${at} 2 byte)
    set(value "${byte}${value}")
  endforeach()
  math(EXPR value "0x${value}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

# Sets HEX_VAR's bytes from OFFSET on to the hex string BYTES.
function(put_bytes hex_var offset bytes)
  string(LENGTH "${bytes}" length)
  math(EXPR at "(${offset}) * 2")
  math(EXPR after "${at} + ${length}")
  string(SUBSTRING "${${hex_var}}" 0 ${at} before)
  string(SUBSTRING "${${hex_var}}" ${after} -1 rest)
  set(${hex_var} "${before}${bytes}${rest}" PARENT_SCOPE)
endfunction()

# Sets OUT to VALUE as DIGITS octal digits.
function(octal out value digits)
  set(text "")
  foreach(i RANGE 1 ${digits})
    math(EXPR digit "${value} % 8")
    math(EXPR value "${value} / 8")
    set(text "${digit}${text}")
  endforeach()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# Sets OUT to COUNT zero bytes, in hex.
function(zeros out count)
  string(REPEAT "00" ${count} text)
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

# In the zip HEX_VAR, the fields of every entry that say who built it and
# when: the user and group ids ("ux" fields) become 0, and the last-read and
# last-changed times of a local header's "UT" field become its modification
# time, which is DATE. Both are found through the central directory, as any
# zip reader finds them.
function(same_for_everyone hex_var)
  set(hex "${${hex_var}}")
  string(LENGTH "${hex}" length)
  math(EXPR end "${length} / 2 - 22")  # the end record, the zip having no comment
  number_at(signature "${hex}" ${end} 4)
  if(NOT signature EQUAL 0x06054b50)
    refuse("the zip CMake wrote ends unlike a zip")
  endif()
  number_at(entries "${hex}" "${end} + 10" 2)
  number_at(at "${hex}" "${end} + 16" 4)
  foreach(entry RANGE 1 ${entries})
    number_at(name_length "${hex}" "${at} + 28" 2)
    number_at(extra_length "${hex}" "${at} + 30" 2)
    number_at(comment_length "${hex}" "${at} + 32" 2)
    number_at(local "${hex}" "${at} + 42" 4)
    math(EXPR extra "${at} + 46 + ${name_length}")
    same_fields(hex ${extra} ${extra_length})
    math(EXPR at "${extra} + ${extra_length} + ${comment_length}")
    number_at(name_length "${hex}" "${local} + 26" 2)
    number_at(extra_length "${hex}" "${local} + 28" 2)
    math(EXPR extra "${local} + 30 + ${name_length}")
    same_fields(hex ${extra} ${extra_length})
  endforeach()
  set(${hex_var} "${hex}" PARENT_SCOPE)
endfunction()

# The same for the extra fields of one header: LENGTH bytes from AT on.
function(same_fields hex_var at length)
  set(hex "${${hex_var}}")
  math(EXPR end "${at} + ${length}")
  while(at LESS end)
    number_at(id "${hex}" ${at} 2)
    number_at(size "${hex}" "${at} + 2" 2)
    math(EXPR data "${at} + 4")
    if(id EQUAL 0x7875 AND size EQUAL 11)  # version 1, a 4-byte user id, a 4-byte group id
      put_bytes(hex "${data} + 1" "04000000000400000000")
    elseif(id EQUAL 0x5455 AND size EQUAL 13)  # flags, then modified, read, changed
      math(EXPR modified "(${data} + 1) * 2")
      string(SUBSTRING "${hex}" ${modified} 8 time)
      put_bytes(hex "${data} + 5" "${time}${time}")
    endif()
    math(EXPR at "${data} + ${size}")
  endwhile()
  set(${hex_var} "${hex}" PARENT_SCOPE)
endfunction()

# Writes the bytes HEX as the file PATH. CMake writes no zero byte of its
# own, but it reads archives, also base64-encoded ones: so the bytes go in a
# tar archive, the archive in base64, and CMake's extraction writes them.
function(write_bytes path hex)
  cmake_path(GET path FILENAME name)
  string(LENGTH "${hex}" digits)
  math(EXPR size "${digits} / 2")
  # A ustar header: name, mode, owner, group, size, time, checksum (spaces
  # while it is summed), a plain file, the magic.
  string(HEX "${name}" name_hex)
  string(LENGTH "${name_hex}" name_digits)
  math(EXPR name_pad "100 - ${name_digits} / 2")
  zeros(name_zeros ${name_pad})
  octal(size_octal ${size} 11)
  string(HEX "0000644" mode_hex)
  string(HEX "0000000" id_hex)
  string(HEX "${size_octal}" size_hex)
  string(HEX "00000000000" time_hex)
  string(HEX "ustar" magic_hex)
  string(HEX "00" version_hex)
  zeros(link_zeros 100)
  zeros(tail_zeros 247)  # owner's and group's names, devices, prefix, padding
  set(header "${name_hex}${name_zeros}${mode_hex}00${id_hex}00${id_hex}00${size_hex}00${time_hex}00")
  set(header_rest "30${link_zeros}${magic_hex}00${version_hex}${tail_zeros}")
  set(sum 256)  # the checksum field's eight spaces
  foreach(part IN ITEMS "${header}" "${header_rest}")
    string(LENGTH "${part}" part_digits)
    math(EXPR last "${part_digits} - 2")
    foreach(at RANGE 0 ${last} 2)
      string(SUBSTRING "${part}" ${at} 2 byte)
      math(EXPR sum "${sum} + 0x${byte}")
    endforeach()
  endforeach()
  octal(sum_octal ${sum} 6)
  string(HEX "${sum_octal}" sum_hex)
  math(EXPR pad "(512 - ${size} % 512) % 512 + 1024")
  zeros(pad_zeros ${pad})
  set(archive "${header}${sum_hex}0020${header_rest}${hex}${pad_zeros}")

  # Base64, 57 bytes (76 characters) a line, as uuencode writes it.
  set(alphabet "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/")
  set(text "begin-base64 644 ${name}\n")
  string(LENGTH "${archive}" digits)
  math(EXPR last "${digits} - 6")
  set(line "")
  foreach(at RANGE 0 ${last} 6)  # a tar archive is whole blocks: whole groups of 3
    string(SUBSTRING "${archive}" ${at} 6 group)
    math(EXPR bits "0x${group}")
    foreach(shift 18 12 6 0)
      math(EXPR index "(${bits} >> ${shift}) & 63")
      string(SUBSTRING "${alphabet}" ${index} 1 character)
      string(APPEND line "${character}")
    endforeach()
    string(LENGTH "${line}" line_length)
    if(line_length EQUAL 76)
      string(APPEND text "${line}\n")
      set(line "")
    endif()
  endforeach()
  string(APPEND text "${line}\n====\n")
  set(folder "${path}${NEW_SUFFIX}")
  file(REMOVE_RECURSE "${folder}")
  file(WRITE "${folder}.b64" "${text}")
  file(ARCHIVE_EXTRACT INPUT "${folder}.b64" DESTINATION "${folder}")
  file(RENAME "${folder}/${name}" "${path}")
  file(REMOVE_RECURSE "${folder}" "${folder}.b64")
endfunction()

# --- The package.

function(stage_package)
  set(usage "usage: (in STAGE) cmake -P package/stage.cmake -- STAGE VERSION DATE ASI INI TXT")
  if(NOT ARGC EQUAL 6)
    refuse("${usage}")
  endif()
  set(stage "${ARGV0}")
  set(version "${ARGV1}")
  set(date "${ARGV2}")
  file(REAL_PATH "${stage}" real_stage)
  file(REAL_PATH "${CMAKE_CURRENT_BINARY_DIR}" here)
  if(NOT real_stage STREQUAL here)
    refuse("${usage}")
  endif()
  set(zip "${ZIP_STEM}${version}.zip")
  # What an earlier run left goes; anything else means STAGE is not the
  # build's stage, and it is left as it was.
  entries(names "${stage}")
  foreach(name IN LISTS names)
    shown_name(name "${name}")
    package_name(ours "${name}")
    if(NOT ours AND NOT name MATCHES "\\${NEW_SUFFIX}(\\.b64)?$")
      refuse("${stage} holds ${name}, which this script did not make: STAGE is the build's own folder for the package")
    endif()
  endforeach()
  foreach(name IN LISTS names)
    shown_name(name "${name}")
    file(REMOVE_RECURSE "${stage}/${name}")
  endforeach()
  foreach(from IN ITEMS "${ARGV3}" "${ARGV4}" "${ARGV5}")
    cmake_path(GET from FILENAME name)
    file(COPY_FILE "${from}" "${stage}/${name}")
    file(CHMOD "${stage}/${name}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endforeach()
  # The zip stores local times: in UTC, the day is the day.
  set(ENV{TZ} UTC0)
  set(names ${PLUGIN_FILES})
  list(SORT names)
  file(ARCHIVE_CREATE OUTPUT "${stage}/${zip}" PATHS ${names} FORMAT zip MTIME "${date} 00:00:00 UTC")
  file(READ "${stage}/${zip}" bytes HEX)
  same_for_everyone(bytes)
  write_bytes("${stage}/${zip}" "${bytes}")
  file(CHMOD "${stage}/${zip}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  sums_of(text "${stage}" ${names} "${zip}")
  file(WRITE "${stage}/${SUMS}${NEW_SUFFIX}" "${text}")
  file(CHMOD "${stage}/${SUMS}${NEW_SUFFIX}" PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  file(RENAME "${stage}/${SUMS}${NEW_SUFFIX}" "${stage}/${SUMS}")
endfunction()

set(VERB package)
script_arguments()
if(FIRST LESS 0)
  refuse("usage: (in STAGE) cmake -P package/stage.cmake -- STAGE VERSION DATE ASI INI TXT")
endif()
call_with_arguments(stage_package ${FIRST} ${LAST})
