# The AppStream metadata and the desktop entry belong together: the metadata's
# id and launchable are the desktop entry's file name, its release is the
# project version. Run with -DMETAINFO= -DAPP_ID= -DVERSION= -DDESKTOP_ENTRY=.
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
