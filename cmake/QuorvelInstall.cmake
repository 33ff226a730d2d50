# What `cmake --install` puts under the prefix: the shared library (with its SONAME and version
# links), the public headers, a CMake package so that a C++ host writes find_package(QuorvelXml)
# and links QuorvelXml::quorvelxml, a pkg-config file for other builds, and the command-line host
# quorvel with its manual page and bash completion. The Python module is installed by
# python/CMakeLists.txt.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

# A host built against the installed tree finds the headers under the prefix.
set_property(TARGET quorvelxml PROPERTY INTERFACE_INCLUDE_DIRECTORIES
  "$<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>" "$<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>")

install(TARGETS quorvelxml EXPORT QuorvelXmlTargets LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quorvel DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(TARGETS quorvel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/cli/quorvel.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/cli/quorvel.bash
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME quorvel)

set(qv_config_dir ${CMAKE_INSTALL_LIBDIR}/cmake/QuorvelXml)
install(EXPORT QuorvelXmlTargets NAMESPACE QuorvelXml:: DESTINATION ${qv_config_dir})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuorvelXmlConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QuorvelXmlConfig.cmake INSTALL_DESTINATION ${qv_config_dir})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuorvelXmlConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuorvelXmlConfig.cmake ${PROJECT_BINARY_DIR}/QuorvelXmlConfigVersion.cmake
  DESTINATION ${qv_config_dir})

# The prefix is found from the file's own place, so the installed tree can be moved.
file(RELATIVE_PATH QV_PKGCONFIG_TO_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
string(REGEX REPLACE "/$" "" QV_PKGCONFIG_TO_PREFIX "${QV_PKGCONFIG_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/quorvelxml.pc.in ${PROJECT_BINARY_DIR}/quorvelxml.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quorvelxml.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(QV_BUILD_TESTS)
  # Installs into a temporary prefix, then builds and runs a C++ host (find_package), a C host
  # (pkg-config) and the installed Python module against it.
  if(QV_SANITIZE)
    set(qv_host_flags "-fsanitize=address,undefined -fno-sanitize=vptr -fno-omit-frame-pointer")
  else()
    set(qv_host_flags "")
  endif()
  if(QV_BUILD_PYTHON)
    set(qv_python ${Python3_EXECUTABLE})
  else()
    set(qv_python "")
  endif()
  add_test(NAME Install.Hosts
           COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/install_test.sh
                   ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR}/tests/install
                   ${CMAKE_C_COMPILER} ${CMAKE_CXX_COMPILER} "${qv_host_flags}"
                   "${qv_python}" "${QV_SANITIZER_RUNTIME}" "${QV_INSTALL_PYTHONDIR}")
  set_tests_properties(Install.Hosts PROPERTIES TIMEOUT 600)
endif()
