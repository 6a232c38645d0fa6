# What `cmake --install` puts under the prefix.
#
# Linux: the three programs, their man pages, the desktop entry with its
# icons, and the README. Windows: flashloader.exe and a short readme with
# Windows line ends, at the top of the prefix (the zip's layout).

if(UNIX)
  include(GNUInstallDirs)
  foreach(program flashloader flashloader-cli modemsim)
    if(TARGET ${program})  # flashloader needs GTK 3
      install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
      install(FILES ${PROJECT_SOURCE_DIR}/docs/man/${program}.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
    endif()
  endforeach()

  if(TARGET flashloader)
    set(icons ${PROJECT_SOURCE_DIR}/packaging/icons)
    set(hicolor ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
    install(FILES ${PROJECT_SOURCE_DIR}/packaging/flashloader.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${icons}/flashloader.svg DESTINATION ${hicolor}/scalable/apps)
    foreach(size 48 256)
      install(FILES ${icons}/flashloader-${size}.png DESTINATION ${hicolor}/${size}x${size}/apps RENAME flashloader.png)
    endforeach()
  endif()

  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

if(WIN32)
  install(TARGETS flashloader RUNTIME DESTINATION .)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/README-windows.txt ${CMAKE_BINARY_DIR}/README-windows.txt
                 @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/README-windows.txt DESTINATION .)
  # The zip needs only flashloader.exe: installing and packaging do not
  # build the test programs of the cross build first.
  set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY TRUE)
endif()
