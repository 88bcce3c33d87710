# scm_add_program(<name> SOURCES ... [LIBS ...])
#
# The file is named <name> plus the build variant's SCM_PROGRAM_SUFFIX (e.g.
# scmfirmware-arm); the target keeps <name>.
#
# Adds a program and, as the last step after its link, writes its CRC companion
# "<exe>.vxe" (one little-endian CRC-32 per 16 KiB block) that the executable
# self-test checks at start-up. Nothing may rewrite the program after this step:
# no strip, no install-time RPATH edit (the build tree keeps its RPATH as linked).
function(scm_add_program name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  set_target_properties(${name} PROPERTIES BUILD_WITH_INSTALL_RPATH OFF SKIP_BUILD_RPATH OFF
                        OUTPUT_NAME ${name}${SCM_PROGRAM_SUFFIX})
  add_dependencies(${name} scm_vxegen)
  add_custom_command(TARGET ${name} POST_BUILD
    COMMAND $<TARGET_FILE:scm_vxegen> $<TARGET_FILE:${name}> $<TARGET_FILE:${name}>.vxe
    COMMENT "CRC companion for ${name}"
    VERBATIM)
endfunction()

# scm_link_protected_sections(<target>)
#
# Links the target with the fragment that brackets the protected sections
# (.init, .text, .fini, .rodata, .rodata1) by Ld*Start/Ld*End symbols and
# reserves their reference-CRC tables (Ld*CrcStart/Ld*CrcEnd).
function(scm_link_protected_sections name)
  set(fragment ${PROJECT_SOURCE_DIR}/cmake/ScmProtectedSections.ld)
  target_link_options(${name} PRIVATE "LINKER:-T,${fragment}")
  set_property(TARGET ${name} APPEND PROPERTY LINK_DEPENDS ${fragment})
endfunction()
