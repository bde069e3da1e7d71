# Runs at install time: writes the launcher for the prefix being installed to and installs it.
# Set before: ORM_LAUNCHER_TEMPLATE (the .desktop.in file), ORM_LAUNCHER_WORK (a file to write).

# The Exec argument as the desktop entry specification wants it: quoted when it holds anything
# but plain path characters (with " ` $ \ escaped), then backslashes doubled and % as %%.
set(exec "${CMAKE_INSTALL_PREFIX}/bin/ormensura")
if(NOT exec MATCHES "^[-A-Za-z0-9_/.+,@:%]+$")
  string(REPLACE "\\" "\\\\" exec "${exec}")
  string(REPLACE "\"" "\\\"" exec "${exec}")
  string(REPLACE "`" "\\`" exec "${exec}")
  string(REPLACE "$" "\\$" exec "${exec}")
  set(exec "\"${exec}\"")
endif()
string(REPLACE "\\" "\\\\" exec "${exec}")
string(REPLACE "%" "%%" exec "${exec}")

set(ORM_EXEC "${exec}")
set(ORM_ICON "ormensura")
configure_file("${ORM_LAUNCHER_TEMPLATE}" "${ORM_LAUNCHER_WORK}" @ONLY)
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/share/applications" TYPE FILE FILES "${ORM_LAUNCHER_WORK}")
