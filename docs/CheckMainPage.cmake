# Checks that the manual's main page leads to every guide page:
#
#   cmake -DPAGES=<docs> -P CheckMainPage.cmake
#
# Each page docs/<name>.md other than mainpage.md opens with a heading that carries its label,
# `# Title {#label}`, and mainpage.md must hold `@ref label`. Fails naming each page that has
# no label or is not linked, so that a new page cannot be left out of the manual's front.
cmake_minimum_required(VERSION 3.25)

file(READ "${PAGES}/mainpage.md" main)
file(GLOB pages "${PAGES}/*.md")
set(failures 0)
foreach(page ${pages})
  get_filename_component(name "${page}" NAME)
  if(name STREQUAL "mainpage.md")
    continue()
  endif()
  file(STRINGS "${page}" heading LIMIT_COUNT 1)
  if(NOT heading MATCHES "^# .*\\{#([A-Za-z0-9_-]+)\\}$")
    message(SEND_ERROR "${page}:1: the page does not open with `# Title {#label}`")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  set(label "${CMAKE_MATCH_1}")
  string(FIND "${main}" "@ref ${label}" at)
  if(at EQUAL -1)
    message(SEND_ERROR "${PAGES}/mainpage.md: no `@ref ${label}` to the page ${name}")
    math(EXPR failures "${failures} + 1")
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "the main page does not lead to every guide page")
endif()
