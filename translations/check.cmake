# Fails when a translation file holds a text without its translation ("unfinished") or a
# text that is no longer in the sources ("vanished", "obsolete").
#   cmake -DTS_FILES="a.ts;b.ts" -P check.cmake
# With -DLUPDATE=<lupdate> -DSOURCES="<folders or files>" the files are first brought up
# to date with the sources (in copies; the files themselves stay untouched), so that a
# text added to the program without a translation fails too.
if(NOT TS_FILES)
  message(FATAL_ERROR "check.cmake: TS_FILES is empty")
endif()

set(checked)
if(LUPDATE)
  if(NOT WORK_DIR)
    message(FATAL_ERROR "check.cmake: LUPDATE needs WORK_DIR")
  endif()
  file(REMOVE_RECURSE ${WORK_DIR})
  file(MAKE_DIRECTORY ${WORK_DIR})
  foreach(ts IN LISTS TS_FILES)
    get_filename_component(name ${ts} NAME)
    file(COPY_FILE ${ts} ${WORK_DIR}/${name})
    execute_process(
      COMMAND ${LUPDATE} -silent -locations none ${SOURCES} -ts ${WORK_DIR}/${name}
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR "lupdate failed on ${name}")
    endif()
    list(APPEND checked ${WORK_DIR}/${name})
  endforeach()
else()
  set(checked ${TS_FILES})
endif()

set(failed FALSE)
foreach(ts IN LISTS checked)
  file(READ ${ts} content)
  # A list item ends at ";": keep the texts whole.
  string(REPLACE ";" "&#59;" content "${content}")
  # One <message> at a time, so that the report can name the source text.
  string(REGEX MATCHALL "<message[^>]*>([^<]|<[^/]|</[^m])*</message>" messages "${content}")
  foreach(message IN LISTS messages)
    if(message MATCHES "type=\"(unfinished|vanished|obsolete)\"")
      set(kind ${CMAKE_MATCH_1})
      string(REGEX MATCH "<source>([^<]*)</source>" source "${message}")
      get_filename_component(name ${ts} NAME)
      message(SEND_ERROR "${name}: ${kind}: ${CMAKE_MATCH_1}")
      set(failed TRUE)
    endif()
  endforeach()
  if(NOT messages)
    message(SEND_ERROR "${ts}: no texts")
    set(failed TRUE)
  endif()
endforeach()
if(failed)
  message(FATAL_ERROR "Translate the texts above in translations/*.ts (Qt Linguist), or remove the ones the program no longer has.")
endif()
