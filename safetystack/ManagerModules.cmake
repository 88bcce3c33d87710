# The configuration manager, the SNMT master and the SSDO client of the safety
# stack. SCM_MANAGER_SOURCES lists their sources for whoever builds the stack;
# safetystack_manager is the library their tests link beside the core.
set(SCM_MANAGER_DIR ${CMAKE_CURRENT_LIST_DIR})
set(SCM_MANAGER_SOURCES
  ${SCM_MANAGER_DIR}/SCMmain.cpp
  ${SCM_MANAGER_DIR}/SCMsod.cpp
  ${SCM_MANAGER_DIR}/SCMfsm.cpp
  ${SCM_MANAGER_DIR}/SCMfsmOp.cpp
  ${SCM_MANAGER_DIR}/SNMTMmain.cpp
  ${SCM_MANAGER_DIR}/SNMTMfsm.cpp
  ${SCM_MANAGER_DIR}/SSDOCmain.cpp
  ${SCM_MANAGER_DIR}/SSDOCservice.cpp
  ${SCM_MANAGER_DIR}/SSDOCprotocol.cpp
  ${SCM_MANAGER_DIR}/SCMctCounter.cpp
  ${SCM_MANAGER_DIR}/SSDOCpreload.cpp
)
# What the older release's manager lacks: the 40-bit CT counter with the nodes'
# extended CT start, and the SSDO client's preload.
set(SCM_MANAGER_LEGACY_OMIT ${SCM_MANAGER_DIR}/SCMctCounter.cpp ${SCM_MANAGER_DIR}/SSDOCpreload.cpp)
# Linked beside the core objects (safetystack_core) and the doubles, never the whole stack.
scm_add_profile_library(safetystack_manager STATIC
  SOURCES ${SCM_MANAGER_SOURCES}
  LEGACY_OMIT ${SCM_MANAGER_LEGACY_OMIT}
  PUBLIC_INCLUDES ${SCM_MANAGER_DIR}
  LIBS safetystack_core_headers hostlib)
