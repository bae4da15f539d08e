# The Debian packages, made in the build directory by `cpack -G DEB` (scripts/check-debs):
#   varnel          the tool, its man page and its bash completion
#   python3-varnel  the Python module, for Debian's python3
#   libvarnel-dev   the static library, its headers, the CMake package config and the .pc file
# The library is built static only, so there is no runtime library package: the tool and the
# Python module each carry the part of it they use, and programs built against libvarnel-dev
# need nothing of varnel's at run time either.
include(GNUInstallDirs)
set(CPACK_PACKAGE_NAME varnel)
set(CPACK_PACKAGE_VENDOR "varnel maintainers")
set(CPACK_PACKAGE_CONTACT "varnel maintainers <maintainers@varnel.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://varnel.example/")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL tool dev)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME varnel)
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_TOOL_DESCRIPTION "telephony signal generator: DTMF, call progress tones, Caller-ID, MF, TTY
varnel renders telephony signals bit-exactly to WAV files, raw PCM, the sound
card, RTP packets or pcap files: DTMF digits, national call progress tones,
Caller-ID FSK messages (Bellcore, ETSI, BT, NTT), MF and R2 signalling, modem
and fax tones, and TTY (Baudot and ASCII) text. Its detect command finds the
same signals in recordings and pcap files.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME libvarnel-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS "cmake, pkg-config")
set(CPACK_DEBIAN_DEV_DESCRIPTION "telephony signal generator library (development files)
varnel renders telephony signals bit-exactly: DTMF digits, call progress tones,
Caller-ID FSK messages, MF and R2 signalling, modem tones and TTY text, as PCM
blocks, WAV files or RTP packets, and detects them in PCM and pcap files.

This package holds the C++20 static library, its headers, its CMake package
configuration (find_package(varnel)) and its pkg-config file.")

if(VARNEL_PYTHON)
  list(APPEND CPACK_COMPONENTS_ALL python)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME python3-varnel)
  set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
  # The module is built for one Python version: the package takes that version's python3.
  math(EXPR _varnel_next_minor "${Python_VERSION_MINOR} + 1")
  set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS
    "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}~), python3 (<< ${Python_VERSION_MAJOR}.${_varnel_next_minor}), python3-numpy")
  set(CPACK_DEBIAN_PYTHON_DESCRIPTION "telephony signal generator (Python 3 module)
varnel renders telephony signals bit-exactly: DTMF digits, call progress tones,
Caller-ID FSK messages, MF and R2 signalling, modem tones and TTY text.

This package holds the Python 3 module: render requests into numpy arrays,
write WAV and pcap files, send RTP, and detect signals in samples.")
endif()

# Each package's /usr/share/doc: the copyright and the changelog Debian asks for.
set(_varnel_changelog ${PROJECT_BINARY_DIR}/packaging/changelog)
string(TIMESTAMP VARNEL_RELEASE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${CMAKE_CURRENT_LIST_DIR}/debian/changelog.in ${_varnel_changelog} @ONLY)
execute_process(COMMAND gzip -9nf ${_varnel_changelog} COMMAND_ERROR_IS_FATAL ANY)
foreach(component IN LISTS CPACK_COMPONENTS_ALL)
  string(TOUPPER ${component} _varnel_upper)
  install(FILES ${CMAKE_CURRENT_LIST_DIR}/debian/copyright ${_varnel_changelog}.gz
    DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_DEBIAN_${_varnel_upper}_PACKAGE_NAME}
    COMPONENT ${component} EXCLUDE_FROM_ALL)
endforeach()

include(CPack)
