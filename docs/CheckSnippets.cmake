# Checks that the C++ code shown in the Markdown pages is code the test run compiles:
#
#   cmake -DSNIPPETS=<docs/snippets> -P CheckSnippets.cmake <page.md>...
#
# Every ```cpp block of a page must follow a line `<!-- snippet: FILE NAME -->` and be,
# character for character, the part of docs/snippets/FILE between its two lines `// [NAME]`
# (the markers Doxygen's @snippet reads too). Each of those files is built and run as a test.
# Fails, naming the page and the block, on a block without a marker, an unknown file or region,
# or a difference. The guides under docs/ include their snippets with @snippet instead, so a
# ```cpp block there is held to the same rule.
cmake_minimum_required(VERSION 3.25)

if(NOT SNIPPETS)
  message(FATAL_ERROR "usage: cmake -DSNIPPETS=<dir> -P CheckSnippets.cmake <page.md>...")
endif()

set(fence "```cpp\n")
set(prefix "<!-- snippet: ")
set(failures 0)
set(blocks 0)

# The text of region `name` in `file` (without its marker lines) into `out`, or "" when the
# file or the region is missing.
function(snippet_region file name out)
  set(${out} "" PARENT_SCOPE)
  if(NOT EXISTS "${SNIPPETS}/${file}")
    return()
  endif()
  file(READ "${SNIPPETS}/${file}" text)
  set(marker "// [${name}]\n")
  string(FIND "${text}" "${marker}" first)
  if(first EQUAL -1)
    return()
  endif()
  string(LENGTH "${marker}" marker_length)
  math(EXPR begin "${first} + ${marker_length}")
  string(SUBSTRING "${text}" ${begin} -1 rest)
  string(FIND "${rest}" "${marker}" second)
  if(second EQUAL -1)
    return()
  endif()
  string(SUBSTRING "${rest}" 0 ${second} region)
  set(${out} "${region}" PARENT_SCOPE)
endfunction()

math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE 1 ${last})
  if(NOT CMAKE_ARGV${i} MATCHES "\\.md$")
    continue()
  endif()
  set(page "${CMAKE_ARGV${i}}")
  file(READ "${page}" text)
  # C++ under another fence name would escape the check.
  string(REGEX MATCH "```(c\\+\\+|C\\+\\+|cxx|hpp)\n" other_fence "${text}")
  if(other_fence)
    message(SEND_ERROR "${page}: C++ is fenced as ${other_fence}; write ```cpp")
    math(EXPR failures "${failures} + 1")
  endif()
  set(offset 0)
  while(TRUE)
    string(SUBSTRING "${text}" ${offset} -1 rest)
    string(FIND "${rest}" "${fence}" at)
    if(at EQUAL -1)
      break()
    endif()
    math(EXPR blocks "${blocks} + 1")
    math(EXPR start "${offset} + ${at}")
    # The line before the fence.
    string(SUBSTRING "${text}" 0 ${start} before)
    string(REGEX MATCH "([^\n]*)\n$" line_before "${before}")
    set(line_before "${CMAKE_MATCH_1}")
    string(REGEX MATCHALL "\n" newlines "${before}")
    list(LENGTH newlines line_number)
    math(EXPR line_number "${line_number} + 1")
    # The block's text, up to the closing fence.
    string(LENGTH "${fence}" fence_length)
    math(EXPR body_start "${start} + ${fence_length}")
    string(SUBSTRING "${text}" ${body_start} -1 after)
    string(FIND "${after}" "```\n" close)
    if(close EQUAL -1)
      message(SEND_ERROR "${page}:${line_number}: a ```cpp block is not closed")
      math(EXPR failures "${failures} + 1")
      break()
    endif()
    string(SUBSTRING "${after}" 0 ${close} block)
    math(EXPR offset "${body_start} + ${close} + 4")

    if(NOT line_before MATCHES "^<!-- snippet: ([^ ]+) ([^ ]+) -->$")
      message(SEND_ERROR "${page}:${line_number}: a ```cpp block without a line "
                         "`<!-- snippet: FILE NAME -->` before it naming the snippet it shows")
      math(EXPR failures "${failures} + 1")
      continue()
    endif()
    set(file "${CMAKE_MATCH_1}")
    set(name "${CMAKE_MATCH_2}")
    snippet_region("${file}" "${name}" region)
    if(region STREQUAL "")
      message(SEND_ERROR "${page}:${line_number}: no region [${name}] in ${SNIPPETS}/${file}")
      math(EXPR failures "${failures} + 1")
    elseif(NOT block STREQUAL region)
      message(SEND_ERROR "${page}:${line_number}: the block differs from [${name}] in "
                         "${file}; the page shows:\n${block}\nthe snippet holds:\n${region}")
      math(EXPR failures "${failures} + 1")
    else()
      message(STATUS "${page}:${line_number}: the block is [${name}] of ${file}")
    endif()
  endwhile()
endforeach()

if(failures GREATER 0)
  message(FATAL_ERROR "${failures} of ${blocks} C++ blocks are not the snippets the tests build")
endif()
message(STATUS "${blocks} C++ blocks, each a snippet the tests build and run")
