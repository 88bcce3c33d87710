# The two build profiles: the current release and the older release.
#
# Every library with a profile-dependent line is built once per profile from
# one source list; the older build's list is the current one minus what the
# older release lacks (LEGACY_OMIT) plus the few files that replace a
# counterpart (LEGACY_SOURCES). Each build of a library carries the compile
# definition SCM_PROFILE_LEGACY (0 or 1) that hostlib/ScmProfile.h turns into
# constants. The older build's targets are named with the suffix "_legacy".
# No binary links both profiles: a profile library's dependencies on other
# profile libraries are mapped to the same profile.
#
#   scm_add_profile_library(<name> <STATIC|OBJECT|INTERFACE> SOURCES ... [LEGACY_OMIT ...]
#       [LEGACY_SOURCES ...] [PUBLIC_INCLUDES ...] [PRIVATE_INCLUDES ...] [LIBS ...]
#       [PRIVATE_LIBS ...] [DEFINITIONS ...] [LEGACY_DEFINITIONS ...])
#     "@P@" in a source stands for the profile's suffix (e.g. $<TARGET_OBJECTS:core@P@>).
#   scm_profile_libs(<out> <suffix> <libs...>)      maps names of profile libraries
#   scm_add_profile_gtest(<name> SOURCES ... [LEGACY_OMIT ...] [LEGACY_SOURCES ...] LIBS ...)
#     one test binary per profile; the older binary's tests carry ".legacy".

# Suffixes of the two profiles, current first.
set(SCM_PROFILE_SUFFIXES "" _legacy)

# Every library built per profile, named before any folder is read, so that a
# folder read early maps a library that a later folder defines.
set_property(GLOBAL PROPERTY SCM_PROFILE_TARGETS
  hostlib safetystack_core safetystack_core_headers safetystack_slave safetystack_manager safetystack
  firmware_app firmware_platform
  stack_testsupport stack_doubles slave_testsupport manager_testsupport)

function(scm_profile_register name)
  get_property(profiled GLOBAL PROPERTY SCM_PROFILE_TARGETS)
  if(NOT name IN_LIST profiled)
    set_property(GLOBAL APPEND PROPERTY SCM_PROFILE_TARGETS ${name})
  endif()
endfunction()

function(scm_profile_libs out suffix)
  get_property(profiled GLOBAL PROPERTY SCM_PROFILE_TARGETS)
  set(mapped "")
  foreach(lib IN LISTS ARGN)
    if(lib IN_LIST profiled)
      list(APPEND mapped ${lib}${suffix})
    else()
      list(APPEND mapped ${lib})
    endif()
  endforeach()
  set(${out} ${mapped} PARENT_SCOPE)
endfunction()

# The source list of one profile.
function(scm_profile_sources out suffix)
  cmake_parse_arguments(ARG "" "" "SOURCES;LEGACY_OMIT;LEGACY_SOURCES" ${ARGN})
  set(sources ${ARG_SOURCES})
  if(suffix STREQUAL "_legacy")
    foreach(omit IN LISTS ARG_LEGACY_OMIT)
      list(FIND sources ${omit} at)
      if(at EQUAL -1)
        message(FATAL_ERROR "LEGACY_OMIT names ${omit}, which the source list does not hold")
      endif()
      list(REMOVE_ITEM sources ${omit})
    endforeach()
    list(APPEND sources ${ARG_LEGACY_SOURCES})
  endif()
  set(result "")
  foreach(source IN LISTS sources)
    string(REPLACE "@P@" "${suffix}" source "${source}")
    list(APPEND result ${source})
  endforeach()
  set(${out} ${result} PARENT_SCOPE)
endfunction()

function(scm_add_profile_library name type)
  cmake_parse_arguments(ARG "" ""
    "SOURCES;LEGACY_OMIT;LEGACY_SOURCES;PUBLIC_INCLUDES;PRIVATE_INCLUDES;LIBS;PRIVATE_LIBS;DEFINITIONS;LEGACY_DEFINITIONS"
    ${ARGN})
  scm_profile_register(${name})
  foreach(suffix IN LISTS SCM_PROFILE_SUFFIXES)
    set(target ${name}${suffix})
    if(suffix STREQUAL "_legacy")
      set(legacy 1)
      set(definitions ${ARG_LEGACY_DEFINITIONS})
    else()
      set(legacy 0)
      set(definitions ${ARG_DEFINITIONS})
    endif()
    scm_profile_libs(libs "${suffix}" ${ARG_LIBS})
    scm_profile_libs(private_libs "${suffix}" ${ARG_PRIVATE_LIBS})
    if(type STREQUAL "INTERFACE")
      add_library(${target} INTERFACE)
      target_include_directories(${target} INTERFACE ${ARG_PUBLIC_INCLUDES})
      target_link_libraries(${target} INTERFACE ${libs})
      target_compile_definitions(${target} INTERFACE SCM_PROFILE_LEGACY=${legacy} ${definitions})
    else()
      scm_profile_sources(sources "${suffix}" SOURCES ${ARG_SOURCES}
                          LEGACY_OMIT ${ARG_LEGACY_OMIT} LEGACY_SOURCES ${ARG_LEGACY_SOURCES})
      add_library(${target} ${type} ${sources})
      target_include_directories(${target} PUBLIC ${ARG_PUBLIC_INCLUDES} PRIVATE ${ARG_PRIVATE_INCLUDES})
      target_link_libraries(${target} PUBLIC ${libs} PRIVATE ${private_libs})
      target_compile_definitions(${target} PUBLIC SCM_PROFILE_LEGACY=${legacy} ${definitions})
    endif()
  endforeach()
endfunction()

function(scm_add_profile_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LEGACY_OMIT;LEGACY_SOURCES;LIBS" ${ARGN})
  foreach(suffix IN LISTS SCM_PROFILE_SUFFIXES)
    scm_profile_sources(sources "${suffix}" SOURCES ${ARG_SOURCES}
                        LEGACY_OMIT ${ARG_LEGACY_OMIT} LEGACY_SOURCES ${ARG_LEGACY_SOURCES})
    scm_profile_libs(libs "${suffix}" ${ARG_LIBS})
    if(suffix STREQUAL "_legacy")
      scm_add_gtest(${name}${suffix} SOURCES ${sources} LIBS ${libs} TEST_SUFFIX .legacy)
    else()
      scm_add_gtest(${name} SOURCES ${sources} LIBS ${libs})
    endif()
  endforeach()
endfunction()
