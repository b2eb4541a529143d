# What `cmake --install` puts where (GNUInstallDirs), and the Debian package CPack builds from it
# (`cpack -G DEB`; tools/setup.sh package runs both). Included last, after every target exists.

install(TARGETS pondera2d pondera2d-workbook RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

# Data the program finds relative to its executable, as <bindir>/../<datadir>/pondera2d, so an
# installation works wherever its prefix is (also unpacked into a scratch root).
set(PONDERA_INSTALL_DATA_DIR ${CMAKE_INSTALL_DATADIR}/pondera2d)

# Translations: every .qm file the build made (see resources/translations).
get_property(pondera_qm_files GLOBAL PROPERTY PONDERA_QM_FILES)
if(pondera_qm_files)
    install(FILES ${pondera_qm_files} DESTINATION ${PONDERA_INSTALL_DATA_DIR}/translations)
endif()

# The pose network and its licence are installed by the pose build (cmake/PoseBuild.cmake) into
# <datadir>/pondera2d when it made them.

# Desktop integration.
set(pondera_desktop ${PROJECT_SOURCE_DIR}/resources/desktop)
install(FILES ${pondera_desktop}/org.pondera2d.Pondera2D.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${pondera_desktop}/org.pondera2d.Pondera2D.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

# Manual pages and the package documentation, compressed as Debian installs them (gzip -n keeps
# the files free of time stamps, so equal sources give equal packages).
find_program(PONDERA_GZIP gzip REQUIRED)
set(pondera_doc_out ${PROJECT_BINARY_DIR}/doc)
set(pondera_doc_files)
foreach(page pondera2d.1 pondera2d-workbook.1 changelog)
    if(page STREQUAL "changelog")
        set(src ${PROJECT_SOURCE_DIR}/docs/changelog)
    else()
        set(src ${PROJECT_SOURCE_DIR}/docs/man/${page})
    endif()
    add_custom_command(OUTPUT ${pondera_doc_out}/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${pondera_doc_out}
        COMMAND ${PONDERA_GZIP} -9 -n -c ${src} > ${pondera_doc_out}/${page}.gz
        DEPENDS ${src} VERBATIM)
    list(APPEND pondera_doc_files ${pondera_doc_out}/${page}.gz)
endforeach()
add_custom_target(pondera2d-docs ALL DEPENDS ${pondera_doc_files})
install(FILES ${pondera_doc_out}/pondera2d.1.gz ${pondera_doc_out}/pondera2d-workbook.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${pondera_doc_out}/changelog.gz ${PROJECT_SOURCE_DIR}/docs/copyright
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The Debian package.
set(PONDERA_PACKAGE_MAINTAINER "Pondera2D maintainers <maintainers@pondera2d.example>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_NAME pondera2d)
set(CPACK_PACKAGE_VENDOR "Pondera2D")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${PONDERA_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "estimate a human body's centre of gravity from one photograph")
# Lines of the extended description, each under 80 columns as Debian wants them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "Pondera2D loads a photograph of a person; the user clicks 22 anatomical\n"
    "landmarks and a 15-segment body model gives the centre of gravity of every\n"
    "segment and of the whole body, drawn over the picture and shown as numbers.\n"
    "Coaches, therapists and sport scientists get a quick, reproducible estimate\n"
    "from an ordinary photograph.\n"
    "\n"
    "Every record is kept in one Excel 97-2003 workbook that spreadsheet programs\n"
    "open, journalled as it changes so that nothing is lost in a crash. The\n"
    "interface is Japanese, or English under a non-Japanese locale.\n"
    "\n"
    "The package also holds pondera2d-workbook, a command-line tool that dumps,\n"
    "copies and generates these workbooks and exports them as CSV.")
set(CPACK_PACKAGE_INSTALL_DIRECTORY pondera2d)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${PONDERA_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Information window is set in Noto Sans CJK JP, the PDF report's Latin text in DejaVu Sans;
# without them the texts fall back to other fonts.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, fonts-dejavu-core")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
