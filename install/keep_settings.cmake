# Installs inifiles/fontkeus.ini only into a folder that has none: a suite
# that already names its own font keeps its choice.
# LOGSHIP_SETTINGS: the file to install (set by the install step before).
set(folder "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/inifiles")
if(EXISTS "${folder}/fontkeus.ini")
  message(STATUS "Kept: ${folder}/fontkeus.ini")
else()
  file(INSTALL DESTINATION "${folder}" TYPE FILE FILES "${LOGSHIP_SETTINGS}")
endif()
