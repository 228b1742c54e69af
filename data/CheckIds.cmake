# The AppStream metadata and the desktop entry belong together: the metadata's
# id and launchable are the desktop entry's file name, its release is the
# project version; every screenshot it lists is one of docs/screenshots, and
# the main window's and the history's are among them. Run with -DMETAINFO=
# -DAPP_ID= -DVERSION= -DDESKTOP_ENTRY= -DSCREENSHOTS=<docs/screenshots>.
file(READ ${METAINFO} text)
get_filename_component(entry_name ${DESKTOP_ENTRY} NAME)
foreach(expected "<id>${APP_ID}</id>" "<launchable type=\"desktop-id\">${entry_name}</launchable>"
        "<release version=\"${VERSION}\"")
  string(FIND "${text}" "${expected}" at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${METAINFO} lacks ${expected}")
  endif()
endforeach()
if(NOT entry_name STREQUAL "${APP_ID}.desktop")
  message(FATAL_ERROR "the desktop entry ${entry_name} is not named by the id ${APP_ID}")
endif()

string(REGEX MATCHALL "<image[^>]*>[^<]*</image>" images "${text}")
set(listed "")
foreach(image ${images})
  string(REGEX REPLACE ".*/([^/<]+)</image>$" "\\1" name "${image}")
  if(NOT EXISTS ${SCREENSHOTS}/${name})
    message(FATAL_ERROR "${METAINFO} lists the screenshot ${name}, which ${SCREENSHOTS} lacks")
  endif()
  list(APPEND listed ${name})
endforeach()
foreach(expected main.png history.png)
  list(FIND listed ${expected} at)
  if(at EQUAL -1)
    message(FATAL_ERROR "${METAINFO} lists no screenshot ${expected}")
  endif()
endforeach()
