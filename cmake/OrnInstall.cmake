# Installation (`cmake --install build --prefix P`) and the Debian packages
# (`./kit package`, CPack's DEB generator) from the same rules. Included last,
# when every target exists. The installed tree, in two components: "main"
# (the package orn-desk-kit) and "java" (orn-desk-kit-java):
#
#   bin/Glimpra, bin/Lumoret, bin/quillet-demo
#   bin/orn-setup                registers share/orn/ORN4.msg and the SysParam
#                                defaults in the registry of the user who runs it
#   bin/Quillet                  link to lib/orn/Quillet
#   lib/orn/Quillet              Quillet reads Quillet.ini in its own folder:
#   lib/orn/Quillet.ini          link to etc/orn/Quillet.ini (/etc/orn for /usr),
#                                the installed profile, which logs into each
#                                user's own state folder
#   lib/orn/demo-finish.png      the demo profile's finish image
#   lib/orn/controls/            pixobarctl, pixobindctl and the libraries of
#                                this project that they load, found by RUNPATH
#   share/orn/demo/              the demo profile, its operator script, the form
#                                the script drops and the scanner configuration
#                                of the demo (sane/: the test backend only)
#   share/orn/ORN4.msg           the message catalogue of the event source ORN4
#   share/applications, share/icons, share/man
#   share/doc/orn-desk-kit/      copyright, changelog.Debian.gz, README.md.gz
#   java: lib/<multiarch>/jni/libBrennix.so   on Debian's java.library.path
#         share/java/brennix-VERSION.jar, brennix.jar (a link to it)
#         share/doc/orn-desk-kit-java/        copyright, changelog.Debian.gz
include(GNUInstallDirs)

set(orn_version 1.0.0)
set(orn_debian_revision 1)
set(CMAKE_INSTALL_DEFAULT_COMPONENT_NAME main)
set(orn_quillet_dir ${CMAKE_INSTALL_LIBDIR}/orn)
set(orn_controls_dir ${CMAKE_INSTALL_LIBDIR}/orn/controls)
# The JNI folder of the architecture: on the virtual machine's default
# library path, and outside the linker's, so no ldconfig is needed.
if(CMAKE_LIBRARY_ARCHITECTURE)
  set(orn_jni_dir lib/${CMAKE_LIBRARY_ARCHITECTURE}/jni)
else()
  set(orn_jni_dir lib/jni)
endif()
set(orn_demo_dir ${CMAKE_INSTALL_DATADIR}/orn/demo)
set(orn_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(orn_generated ${CMAKE_BINARY_DIR}/packaging)

# The shared and module libraries of this project that `target` needs at run
# time: those it links, directly or through static and object libraries, and
# those it loads by name, which its CMakeLists names with add_dependencies().
function(orn_runtime_libraries target out)
  set(queue ${target})
  set(seen "")
  set(found "")
  while(queue)
    list(POP_FRONT queue t)
    get_target_property(aliased ${t} ALIASED_TARGET)
    if(aliased)
      set(t ${aliased})
    endif()
    get_target_property(imported ${t} IMPORTED)
    if(t IN_LIST seen OR imported)
      continue()
    endif()
    list(APPEND seen ${t})
    get_target_property(type ${t} TYPE)
    if(NOT t STREQUAL target AND type MATCHES "^(SHARED|MODULE)_LIBRARY$")
      list(APPEND found ${t})
    endif()
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES MANUALLY_ADDED_DEPENDENCIES)
      get_target_property(items ${t} ${property})
      foreach(item IN LISTS items)
        # A static library's private links reach its users as $<LINK_ONLY:x>.
        if(item MATCHES "^\\$<LINK_ONLY:([^$<>]+)>$")
          set(item ${CMAKE_MATCH_1})
        endif()
        if(TARGET "${item}")
          list(APPEND queue ${item})
        endif()
      endforeach()
    endforeach()
  endwhile()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# Installs `target` into `destination` (once) and every library of this
# project it needs into the controls folder, each with the RUNPATH that finds
# them there. An optional third argument names the component (default main).
function(orn_install_binary target destination)
  set(component main)
  if(ARGC GREATER 2)
    set(component ${ARGV2})
  endif()
  get_property(installed GLOBAL PROPERTY orn_installed_binaries)
  if(target IN_LIST installed)
    return()
  endif()
  set_property(GLOBAL APPEND PROPERTY orn_installed_binaries ${target})
  orn_runtime_libraries(${target} libraries)
  if(libraries)
    file(RELATIVE_PATH to_controls ${CMAKE_INSTALL_PREFIX}/${destination}
         ${CMAKE_INSTALL_PREFIX}/${orn_controls_dir})
    if(to_controls)
      set(to_controls "/${to_controls}")
    endif()
    set_target_properties(${target} PROPERTIES INSTALL_RPATH "$ORIGIN${to_controls}")
  endif()
  install(TARGETS ${target} RUNTIME DESTINATION ${destination} LIBRARY DESTINATION ${destination}
          COMPONENT ${component})
  foreach(library IN LISTS libraries)
    orn_install_binary(${library} ${orn_controls_dir} ${component})
  endforeach()
endfunction()

# The deliverables.
foreach(program Glimpra Lumoret)
  if(TARGET ${program})
    orn_install_binary(${program} ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
if(TARGET orn-setup)
  orn_install_binary(orn-setup ${CMAKE_INSTALL_BINDIR})
  install(FILES docviewer/framework/ORN4.msg DESTINATION ${CMAKE_INSTALL_DATADIR}/orn)
endif()
foreach(control pixobarctl pixobindctl)
  if(TARGET ${control})
    orn_install_binary(${control} ${orn_controls_dir})
  endif()
endforeach()
if(TARGET orn_pkcs11bridge AND TARGET brennix_jar)
  orn_install_binary(orn_pkcs11bridge ${orn_jni_dir} java)
  # The jar carries its version; the plain name links to it.
  get_target_property(orn_jar brennix_jar JAR_FILE)
  install(FILES ${orn_jar} DESTINATION ${CMAKE_INSTALL_DATADIR}/java RENAME brennix-${orn_version}.jar
          COMPONENT java)
  file(MAKE_DIRECTORY ${orn_generated}/java)
  file(CREATE_LINK brennix-${orn_version}.jar ${orn_generated}/java/brennix.jar SYMBOLIC)
  install(FILES ${orn_generated}/java/brennix.jar DESTINATION ${CMAKE_INSTALL_DATADIR}/java COMPONENT java)
  set_property(GLOBAL APPEND PROPERTY orn_installed_binaries brennix_jar)
endif()

if(TARGET Quillet)
  orn_install_binary(Quillet ${orn_quillet_dir})
  install(FILES demo/demo-finish.png DESTINATION ${orn_quillet_dir})
  # bin/Quillet links to the program; its folder is the resolved one.
  file(RELATIVE_PATH to_quillet ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${orn_quillet_dir}/Quillet)
  file(MAKE_DIRECTORY ${orn_generated}/bin)
  file(CREATE_LINK ${to_quillet} ${orn_generated}/bin/Quillet SYMBOLIC)
  install(FILES ${orn_generated}/bin/Quillet DESTINATION ${CMAKE_INSTALL_BINDIR})

  # The installed profile is the demo's, but shared by every user of the
  # computer in a folder only root may write: its log goes to each user's
  # own state folder ({USR.PATH}).
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/demo/Quillet.ini)
  file(READ ${CMAKE_SOURCE_DIR}/demo/Quillet.ini orn_profile_text)
  string(REPLACE "\nLogFile={APP.PATH}/Quillet.log\n" "\nLogFile={USR.PATH}/Quillet.log\n"
         orn_installed_profile "${orn_profile_text}")
  if(orn_installed_profile STREQUAL orn_profile_text)
    message(FATAL_ERROR "demo/Quillet.ini: no LogFile={APP.PATH}/Quillet.log line to point at the user's folder")
  endif()
  file(WRITE ${orn_generated}/etc/Quillet.ini.new "${orn_installed_profile}")
  file(COPY_FILE ${orn_generated}/etc/Quillet.ini.new ${orn_generated}/etc/Quillet.ini ONLY_IF_DIFFERENT)
  file(REMOVE ${orn_generated}/etc/Quillet.ini.new)
  # Quillet.ini is configuration: the file lives in etc/orn (/etc/orn under
  # the prefix /usr, where dpkg keeps an administrator's changes over
  # upgrades) and a link beside the program points to it. Decided when
  # installing, when the prefix is known.
  install(CODE "set(orn_program_dir \"${orn_quillet_dir}\")
    set(orn_profile \"${orn_generated}/etc/Quillet.ini\")")
  install(CODE [[
    if(CMAKE_INSTALL_PREFIX STREQUAL "/usr")
      set(orn_etc /etc/orn)
    else()
      set(orn_etc "${CMAKE_INSTALL_PREFIX}/etc/orn")
    endif()
    file(INSTALL "${orn_profile}" DESTINATION "${orn_etc}")
    set(orn_ini_dir "${CMAKE_INSTALL_PREFIX}/${orn_program_dir}")
    # Relative inside the prefix; absolute across top-level folders.
    if(orn_etc STREQUAL "/etc/orn")
      set(orn_ini_target /etc/orn/Quillet.ini)
    else()
      file(RELATIVE_PATH orn_ini_target "${orn_ini_dir}" "${orn_etc}/Quillet.ini")
    endif()
    message(STATUS "Installing: $ENV{DESTDIR}${orn_ini_dir}/Quillet.ini -> ${orn_ini_target}")
    file(MAKE_DIRECTORY "$ENV{DESTDIR}${orn_ini_dir}")
    file(CREATE_LINK "${orn_ini_target}" "$ENV{DESTDIR}${orn_ini_dir}/Quillet.ini" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${orn_ini_dir}/Quillet.ini")
  ]])

  install(FILES demo/Quillet.ini demo/operator.script demo/demo-finish.png DESTINATION ${orn_demo_dir})
  install(FILES demo/sane/dll.conf demo/sane/test.conf DESTINATION ${orn_demo_dir}/sane)
  # The form the operator script drops onto the third sheet.
  add_custom_command(OUTPUT ${orn_generated}/antrag.bmp
    COMMAND bash ${CMAKE_SOURCE_DIR}/demo/make-form.sh ${orn_generated}/antrag.bmp
    DEPENDS ${CMAKE_SOURCE_DIR}/demo/make-form.sh)
  add_custom_target(orn_demo_form ALL DEPENDS ${orn_generated}/antrag.bmp)
  set_property(GLOBAL APPEND PROPERTY orn_installed_binaries orn_demo_form)
  install(FILES ${orn_generated}/antrag.bmp DESTINATION ${orn_demo_dir})
  file(RELATIVE_PATH orn_demo_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${orn_demo_dir})
  configure_file(${orn_packaging}/quillet-demo.in ${orn_generated}/quillet-demo @ONLY)
  install(PROGRAMS ${orn_generated}/quillet-demo DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Desktop entries, icons (SVG, and 48x48 PNG drawn from them) and man pages
# (compressed, as Debian keeps them).
install(FILES ${orn_packaging}/orn-glimpra.desktop ${orn_packaging}/orn-lumoret.desktop
              ${orn_packaging}/orn-quillet-demo.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
find_program(ORN_RSVG_CONVERT rsvg-convert REQUIRED)
file(GLOB orn_icons ${orn_packaging}/icons/*.svg)
install(FILES ${orn_icons} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
set(orn_generated_files "")
foreach(icon IN LISTS orn_icons)
  get_filename_component(name ${icon} NAME_WE)
  set(png ${orn_generated}/icons/48x48/${name}.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${orn_generated}/icons/48x48
    COMMAND ${ORN_RSVG_CONVERT} -w 48 -h 48 -o ${png} ${icon}
    DEPENDS ${icon})
  list(APPEND orn_generated_files ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/48x48/apps)
endforeach()
file(GLOB orn_man_pages RELATIVE ${orn_packaging}/man ${orn_packaging}/man/*.1)
foreach(page IN LISTS orn_man_pages)
  add_custom_command(OUTPUT ${orn_generated}/man/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${orn_generated}/man
    COMMAND gzip -9nc ${orn_packaging}/man/${page} > ${orn_generated}/man/${page}.gz
    DEPENDS ${orn_packaging}/man/${page})
  list(APPEND orn_generated_files ${orn_generated}/man/${page}.gz)
  install(FILES ${orn_generated}/man/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()

# What Debian keeps in each package's documentation folder: the copyright,
# the changelog and (the main package) the README, compressed as Debian does
# for files of more than 4 kB.
foreach(doc changelog.Debian README.md)
  set(source ${orn_packaging}/debian/${doc})
  if(doc STREQUAL README.md)
    set(source ${CMAKE_SOURCE_DIR}/README.md)
  endif()
  add_custom_command(OUTPUT ${orn_generated}/doc/${doc}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${orn_generated}/doc
    COMMAND gzip -9nc ${source} > ${orn_generated}/doc/${doc}.gz
    DEPENDS ${source})
  list(APPEND orn_generated_files ${orn_generated}/doc/${doc}.gz)
endforeach()
add_custom_target(orn_generated_files ALL DEPENDS ${orn_generated_files})
set_property(GLOBAL APPEND PROPERTY orn_installed_binaries orn_generated_files)
install(FILES ${orn_packaging}/debian/copyright ${orn_generated}/doc/changelog.Debian.gz
              ${orn_generated}/doc/README.md.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orn-desk-kit)
if(TARGET brennix_jar)
  install(FILES ${orn_packaging}/debian/copyright ${orn_generated}/doc/changelog.Debian.gz
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orn-desk-kit-java COMPONENT java)
endif()

# Everything the install rules take, and nothing else: `./kit package`
# builds only this target (with CMAKE_SKIP_INSTALL_ALL_DEPENDENCY, so that
# installing does not build the tests too).
get_property(orn_package_targets GLOBAL PROPERTY orn_installed_binaries)
add_custom_target(orn_package_files)
add_dependencies(orn_package_files ${orn_package_targets})

# The Debian packages. Their dependencies on shared libraries come from what
# the installed binaries link (dpkg-shlibdeps); the main package adds what
# its programs need at run time without linking it: fonts for the toolkit's
# text (its font names map to the Liberation families). The Java package
# needs a Java 17 runtime for its jar.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL main)
if(TARGET brennix_jar)
  list(APPEND CPACK_COMPONENTS_ALL java)
endif()
set(CPACK_PACKAGE_NAME orn-desk-kit)
set(CPACK_PACKAGE_VERSION ${orn_version})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${orn_debian_revision})
set(CPACK_PACKAGE_CONTACT "ORN desk kit team <desk-kit@orn.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

set(CPACK_DEBIAN_MAIN_PACKAGE_NAME orn-desk-kit)
set(CPACK_DEBIAN_MAIN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_MAIN_PACKAGE_SECTION graphics)
# DejaVu Sans draws the Greek and the plainer ticks and bullets of symbol
# fonts; Symbola, or Noto's symbol faces, the tick boxes, arrows and other
# pictographs of Wingdings, Wingdings 2/3 and Webdings that it lacks.
set(CPACK_DEBIAN_MAIN_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-core, fonts-symbola | fonts-noto-core")
set(CPACK_DEBIAN_MAIN_PACKAGE_RECOMMENDS "fonts-noto-core")
set(CPACK_DEBIAN_MAIN_PACKAGE_SUGGESTS "orn-desk-kit-java, fonts-noto-cjk")
set(CPACK_COMPONENT_MAIN_DESCRIPTION "desk kit of the ORN card management suite
Quillet, the scanning client (scanners through SANE); Glimpra, an
image viewer; Lumoret, a document viewer that prints RTF and text documents;
and the imaging-toolkit controls pixobarctl and pixobindctl.
.
Every user runs orn-setup once before the first start of Lumoret.")
file(WRITE ${orn_generated}/conffiles "/etc/orn/Quillet.ini\n")
set(CPACK_DEBIAN_MAIN_PACKAGE_CONTROL_EXTRA ${orn_generated}/conffiles)

set(CPACK_DEBIAN_JAVA_PACKAGE_NAME orn-desk-kit-java)
set(CPACK_DEBIAN_JAVA_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_JAVA_PACKAGE_SECTION java)
set(CPACK_DEBIAN_JAVA_PACKAGE_DEPENDS "default-jre-headless (>= 2:1.17) | java17-runtime-headless")
# Up to 1.0.0 the jar and the bridge came with orn-desk-kit itself.
set(CPACK_DEBIAN_JAVA_PACKAGE_REPLACES "orn-desk-kit (<< 1.0.0-1)")
set(CPACK_DEBIAN_JAVA_PACKAGE_BREAKS "orn-desk-kit (<< 1.0.0-1)")
set(CPACK_COMPONENT_JAVA_DESCRIPTION "PKCS#11 bridge of the ORN desk kit for Java
Brennix, the native half of the Java class com.zo.pkcs11.Pkcs11Impl, and
its jar: a Java program signs, digests and manages keys on a PKCS#11
token through it.")
include(CPack)
