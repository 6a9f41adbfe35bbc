# cmake -DSOURCE=... -DTARGET=... [-DMAN=... -DCOL=...] -P windows_text.cmake
#
# Writes SOURCE to TARGET as a text for Windows, lines ended by CR LF. With
# MAN (and COL) given, SOURCE is a manual page and TARGET gets it as man
# renders it, in plain ASCII 80 columns wide, without overstrikes or tabs.
if(MAN AND COL)
  set(ENV{LC_ALL} C)
  set(ENV{MANWIDTH} 80)
  set(ENV{MAN_KEEP_FORMATTING})
  execute_process(COMMAND ${MAN} -l ${SOURCE} COMMAND ${COL} -bx
                  OUTPUT_VARIABLE text RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "man could not render ${SOURCE}: ${failed}")
  endif()
else()
  file(READ ${SOURCE} text)
endif()
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
file(WRITE ${TARGET} "${text}")
