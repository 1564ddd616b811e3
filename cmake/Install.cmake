# Installing and packaging: the executable in bin/, its icons and example
# scripts in share/qarnest/, the manual page in share/man/man1/, and a Debian
# package of the same tree whose dependencies come from the linked libraries.
include(GNUInstallDirs)

# The program looks for its icons in <prefix>/bin/../share/qarnest: the data
# folder must stay beside bin/ whatever the prefix.
set(QARNEST_DATA_DIR share/qarnest)

install(TARGETS qarnest RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES context_icon.xpm properties_icon.xpm repere_icon.xpm DESTINATION ${QARNEST_DATA_DIR})
install(DIRECTORY examples/ DESTINATION ${QARNEST_DATA_DIR}/examples)
# The notebook kernel, where Jupyter looks for kernels under the prefix; it
# finds the program as <prefix>/bin/qarnest from there.
install(FILES jupyter/kernel.json jupyter/qarnest_kernel.py jupyter/qarnest_explorer.py
  DESTINATION share/jupyter/kernels/qarnest)
# An nbconvert template whose HTML pages keep the notebooks' SVG pictures:
# jupyter nbconvert --to html --template qarnest tour.ipynb
install(FILES jupyter/nbconvert-template/conf.json jupyter/nbconvert-template/index.html.j2
  DESTINATION share/jupyter/nbconvert/templates/qarnest)

# The page carries the version of project(), as the package name does;
# Debian installs manual pages compressed.
configure_file(docs/qarnest.1.in ${CMAKE_BINARY_DIR}/qarnest.1 @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/qarnest.1.gz
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/qarnest.1
  DEPENDS ${CMAKE_BINARY_DIR}/qarnest.1
  COMMENT "Compressing the manual page")
add_custom_target(qarnest_manual ALL DEPENDS ${CMAKE_BINARY_DIR}/qarnest.1.gz)
install(FILES ${CMAKE_BINARY_DIR}/qarnest.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qarnest)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Qarnest developers <qarnest@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive calculator for polyhedral domains, with a viewer")
set(CPACK_PACKAGE_DESCRIPTION
  "Qarnest reads statements that declare polyhedral domains and integer matrices, combines them (union, intersection, difference, image, preimage, convex hull, disjoint decomposition), counts their integer points with Ehrhart polynomials and finds their parametric vertices, all through PolyLib. A GTK 2 viewer draws the domains projected onto the plane.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The notebook kernel needs Debian's Jupyter kernel base; the calculator does not.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "python3-ipykernel, jupyter-client, jupyter-console, jupyter-nbconvert")
include(CPack)
