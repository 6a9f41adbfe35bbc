# The Windows package: `cpack -G ZIP` (or the target "package") makes
# quiltgrid-<version>-windows-x86_64.zip, a folder holding quiltgrid.exe,
# README.md and the manual page as plain text, quiltgrid.txt, both texts
# with Windows line ends. The manual page is rendered by man on the build
# machine; without man, the page's own source is shipped as the text.
find_program(QUILTGRID_MAN man)
find_program(QUILTGRID_COL col)

set(quiltgrid_manual_text ${CMAKE_BINARY_DIR}/quiltgrid.txt)
set(quiltgrid_readme_text ${CMAKE_BINARY_DIR}/README.md)
add_custom_command(
  OUTPUT ${quiltgrid_manual_text} ${quiltgrid_readme_text}
  COMMAND ${CMAKE_COMMAND} -DMAN=${QUILTGRID_MAN} -DCOL=${QUILTGRID_COL}
          -DSOURCE=${PROJECT_SOURCE_DIR}/doc/quiltgrid.1 -DTARGET=${quiltgrid_manual_text}
          -P ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
  COMMAND ${CMAKE_COMMAND} -DSOURCE=${PROJECT_SOURCE_DIR}/README.md
          -DTARGET=${quiltgrid_readme_text} -P ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
  DEPENDS ${PROJECT_SOURCE_DIR}/doc/quiltgrid.1 ${PROJECT_SOURCE_DIR}/README.md
          ${PROJECT_SOURCE_DIR}/cmake/windows_text.cmake
  COMMENT "Windows texts: the manual page and the README")
add_custom_target(windows_texts ALL DEPENDS ${quiltgrid_manual_text} ${quiltgrid_readme_text})

install(TARGETS quiltgrid RUNTIME DESTINATION .)
install(FILES ${quiltgrid_readme_text} ${quiltgrid_manual_text} DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME quiltgrid)
set(CPACK_PACKAGE_FILE_NAME quiltgrid-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Splices a regional and a forecast temperature grid file into one")
include(CPack)
