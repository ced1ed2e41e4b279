# Install rules: public headers, libvorant.so (with its SONAME), the tools, a
# CMake package (find_package(vorant) -> vorant::vorant) and vorant.pc.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(VORANT_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/vorant)

install(TARGETS vorant EXPORT vorantTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${CMAKE_SOURCE_DIR}/include/vorant
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
  FILES_MATCHING PATTERN "*.h" PATTERN "*.hpp")

# Installed tools find the library beside them, wherever the prefix is.
foreach(tool vorant-call vorant-server vorant-protect)
  if(TARGET ${tool})
    set_property(TARGET ${tool} PROPERTY INSTALL_RPATH "\$ORIGIN/../${CMAKE_INSTALL_LIBDIR}")
    install(TARGETS ${tool} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()

install(EXPORT vorantTargets NAMESPACE vorant:: DESTINATION ${VORANT_CMAKE_DIR})
configure_package_config_file(${CMAKE_SOURCE_DIR}/cmake/vorantConfig.cmake.in
  ${CMAKE_BINARY_DIR}/cmake/vorantConfig.cmake
  INSTALL_DESTINATION ${VORANT_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/cmake/vorantConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/cmake/vorantConfig.cmake ${CMAKE_BINARY_DIR}/cmake/vorantConfigVersion.cmake
  DESTINATION ${VORANT_CMAKE_DIR})

# vorant.pc names its prefix relative to its own folder, so an installed tree
# can be moved (or installed with --prefix) and still be found.
file(RELATIVE_PATH VORANT_PC_TO_PREFIX "/p/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/p")
string(REGEX REPLACE "/$" "" VORANT_PC_TO_PREFIX "${VORANT_PC_TO_PREFIX}")
configure_file(${CMAKE_SOURCE_DIR}/cmake/vorant.pc.in ${CMAKE_BINARY_DIR}/cmake/vorant.pc @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/cmake/vorant.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# The Python package, with _location.py naming the library relative to the
# package's folder, so the installed tree can be moved as a whole.
set(VORANT_PYTHON_INSTALL_DIR "lib/python3/dist-packages" CACHE STRING
  "Where cmake --install puts the Python package, relative to the prefix")
if(EXISTS ${CMAKE_SOURCE_DIR}/python/vorant/__init__.py AND NOT IS_ABSOLUTE "${CMAKE_INSTALL_LIBDIR}")
  install(DIRECTORY ${CMAKE_SOURCE_DIR}/python/vorant DESTINATION ${VORANT_PYTHON_INSTALL_DIR}
    FILES_MATCHING PATTERN "*.py" PATTERN "py.typed" PATTERN "__pycache__" EXCLUDE)
  file(RELATIVE_PATH VORANT_PY_TO_LIB "/p/${VORANT_PYTHON_INSTALL_DIR}/vorant"
    "/p/${CMAKE_INSTALL_LIBDIR}/libvorant.so.${PROJECT_VERSION_MAJOR}")
  file(WRITE ${CMAKE_BINARY_DIR}/python/_location.py
    "# Written by cmake --install: the library, relative to this folder.\nLIBRARY = \"${VORANT_PY_TO_LIB}\"\n")
  install(FILES ${CMAKE_BINARY_DIR}/python/_location.py DESTINATION ${VORANT_PYTHON_INSTALL_DIR}/vorant)
endif()
