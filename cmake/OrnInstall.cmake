# Installation (`cmake --install build --prefix P`) and the Debian package
# (`./kit package`, CPack's DEB generator) from the same rules. Included last,
# when every target exists. The installed tree:
#
#   bin/Glimpra, bin/Lumoret, bin/quillet-demo
#   bin/orn-setup                registers share/orn/ORN4.msg and the SysParam
#                                defaults in the registry of the user who runs it
#   bin/Quillet                  link to lib/orn/Quillet
#   lib/orn/Quillet              Quillet reads Quillet.ini in its own folder:
#   lib/orn/Quillet.ini          link to etc/orn/Quillet.ini (/etc/orn for /usr)
#   lib/orn/demo-finish.png      the demo profile's finish image
#   lib/orn/controls/            pixobarctl, pixobindctl and the libraries of
#                                this project that they load, found by RUNPATH
#   lib/jni/libBrennix.so        on Debian's java.library.path for /usr
#   share/java/brennix.jar       com.zo.pkcs11.Pkcs11Impl
#   share/orn/demo/              the demo profile and its operator script
#   share/orn/ORN4.msg           the message catalogue of the event source ORN4
#   share/applications, share/icons, share/man
include(GNUInstallDirs)

set(orn_quillet_dir ${CMAKE_INSTALL_LIBDIR}/orn)
set(orn_controls_dir ${CMAKE_INSTALL_LIBDIR}/orn/controls)
set(orn_jni_dir ${CMAKE_INSTALL_LIBDIR}/jni)
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
# them there.
function(orn_install_binary target destination)
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
  install(TARGETS ${target} RUNTIME DESTINATION ${destination} LIBRARY DESTINATION ${destination})
  foreach(library IN LISTS libraries)
    orn_install_binary(${library} ${orn_controls_dir})
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
if(TARGET orn_pkcs11bridge)
  orn_install_binary(orn_pkcs11bridge ${orn_jni_dir})
  include(UseJava)
  install_jar(brennix_jar DESTINATION ${CMAKE_INSTALL_DATADIR}/java)
endif()

if(TARGET Quillet)
  orn_install_binary(Quillet ${orn_quillet_dir})
  install(FILES demo/demo-finish.png DESTINATION ${orn_quillet_dir})
  # bin/Quillet links to the program; its folder is the resolved one.
  file(RELATIVE_PATH to_quillet ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${orn_quillet_dir}/Quillet)
  file(MAKE_DIRECTORY ${orn_generated}/bin)
  file(CREATE_LINK ${to_quillet} ${orn_generated}/bin/Quillet SYMBOLIC)
  install(FILES ${orn_generated}/bin/Quillet DESTINATION ${CMAKE_INSTALL_BINDIR})

  # Quillet.ini is configuration: the file lives in etc/orn (/etc/orn under
  # the prefix /usr, where dpkg keeps an administrator's changes over
  # upgrades) and a link beside the program points to it. Decided when
  # installing, when the prefix is known.
  install(CODE "set(orn_program_dir \"${orn_quillet_dir}\")
    set(orn_profile \"${CMAKE_SOURCE_DIR}/demo/Quillet.ini\")")
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
  file(RELATIVE_PATH orn_demo_from_bin ${CMAKE_INSTALL_FULL_BINDIR}
       ${CMAKE_INSTALL_PREFIX}/${orn_demo_dir})
  configure_file(${orn_packaging}/quillet-demo.in ${orn_generated}/quillet-demo @ONLY)
  install(PROGRAMS ${orn_generated}/quillet-demo DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

# Desktop entries, icons and man pages (compressed, as Debian keeps them).
install(FILES ${orn_packaging}/orn-glimpra.desktop ${orn_packaging}/orn-lumoret.desktop
              ${orn_packaging}/orn-quillet-demo.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
file(GLOB orn_icons ${orn_packaging}/icons/*.svg)
install(FILES ${orn_icons} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
file(GLOB orn_man_pages RELATIVE ${orn_packaging}/man ${orn_packaging}/man/*.1)
set(orn_man_gz "")
foreach(page IN LISTS orn_man_pages)
  add_custom_command(OUTPUT ${orn_generated}/man/${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${orn_generated}/man
    COMMAND gzip -9nc ${orn_packaging}/man/${page} > ${orn_generated}/man/${page}.gz
    DEPENDS ${orn_packaging}/man/${page})
  list(APPEND orn_man_gz ${orn_generated}/man/${page}.gz)
endforeach()
add_custom_target(orn_man_pages ALL DEPENDS ${orn_man_gz})
install(FILES ${orn_man_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

# The Debian package. Its dependencies on shared libraries come from what the
# installed binaries link (dpkg-shlibdeps); CPACK_DEBIAN_PACKAGE_DEPENDS adds
# what they need at run time without linking it: fonts for the toolkit's text
# (its font names map to the Liberation families) and a Java 17 runtime for
# the jar.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orn-desk-kit)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_CONTACT "ORN desk kit team <desk-kit@orn.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desk kit of the ORN card management suite")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Quillet, the scanning client (scanners through SANE); Glimpra, an
image viewer; Lumoret, a document viewer that prints RTF and text documents;
Brennix, the native half of the Java class com.zo.pkcs11.Pkcs11Impl, with its
jar; and the imaging-toolkit controls pixobarctl and pixobindctl.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# DejaVu Sans draws the tick boxes, bullets and arrows of symbol fonts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-dejavu-core, default-jre-headless (>= 2:1.17) | java17-runtime-headless")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-core")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
file(WRITE ${orn_generated}/conffiles "/etc/orn/Quillet.ini\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${orn_generated}/conffiles)
include(CPack)
